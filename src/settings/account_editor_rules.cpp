#include "settings/account_editor_rules.h"

#include "settings/mail_providers.h"
#include "util/errors.h"
#include "util/utf8.h"

namespace pigeonet {

namespace {

bool NamesRow(const AccountRows& rows, int mode) {
    return mode >= 0 && mode < rows.RowCount();
}

// The ports the editor offers for the two protocols; any other port text was typed and is the user's own.
bool IsStandardPort(std::string_view port) {
    return port == "110" || port == "995" || port == "143" || port == "993";
}

// What the auto-fill would write for `fields` with `protocol`: the server, and for a known provider also its port
// and security. Nullopt when it would write nothing.
std::optional<AccountFields> AutoFilledFields(const AccountFields& fields, MailProtocol protocol) {
    AccountFields filled = fields;
    filled.protocol = std::string(MailProtocolText(protocol));
    const std::size_t at = fields.email.find('@');
    if (at != std::string::npos) {
        if (const auto provider = KnownProviderServer(std::string_view(fields.email).substr(at + 1), protocol)) {
            filled.server = provider->host;
            filled.port = std::to_string(provider->port);
            filled.security = std::string(ConnectionSecurityText(provider->security));
            return filled;
        }
    }
    if (auto server = AutoFilledServer(fields.email, protocol)) {
        filled.server = std::move(*server);
        return filled;
    }
    return std::nullopt;
}

}  // namespace

MailProtocol ProtocolOf(const AccountFields& fields) {
    return ParseMailProtocol(fields.protocol).value_or(MailProtocol::Pop3);
}

ConnectionSecurity SecurityOf(const AccountFields& fields) {
    if (const auto security = ParseConnectionSecurity(fields.security)) {
        return *security;
    }
    return DefaultSecurity(ProtocolOf(fields), PortNumber(fields.port).value_or(0));
}

bool CanAcceptAccount(const AccountFields& fields) {
    return fields.email.find('@') != std::string::npos && !fields.server.empty() && !fields.login.empty() &&
           !fields.password.empty();
}

std::optional<std::string> AutoFilledServer(std::string_view email, MailProtocol protocol) {
    const std::size_t at = email.find('@');
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t length = CountCodePoints(email);
    const std::size_t position = CountCodePoints(email.substr(0, at)) + 1;  // of the "@", counting from 1
    if (length > 7 && position + 4 < length) {
        return (protocol == MailProtocol::Imap ? "imap." : "pop.") + std::string(email.substr(at + 1));
    }
    return std::nullopt;
}

void AutoFill(AccountFields& fields) {
    if (auto filled = AutoFilledFields(fields, ProtocolOf(fields))) {
        fields = std::move(*filled);
    }
}

void ChooseProtocol(AccountFields& fields, MailProtocol protocol) {
    const auto before = AutoFilledFields(fields, ProtocolOf(fields));
    const bool serverWasFilled = before && !fields.server.empty() && before->server == fields.server;
    const ConnectionSecurity security = SecurityOf(fields);
    fields.protocol = std::string(MailProtocolText(protocol));
    fields.security = std::string(ConnectionSecurityText(security));
    if (IsStandardPort(fields.port)) {
        fields.port = std::to_string(StandardPort(protocol, security));
    }
    if (serverWasFilled) {
        AutoFill(fields);
    }
}

void ChooseSecurity(AccountFields& fields, ConnectionSecurity security) {
    fields.security = std::string(ConnectionSecurityText(security));
    if (IsStandardPort(fields.port)) {
        fields.port = std::to_string(StandardPort(ProtocolOf(fields), security));
    }
}

void ChoosePort(AccountFields& fields, const std::string& port) {
    const ConnectionSecurity security = SecurityOf(fields);
    fields.port = port;
    if ((port == "995" || port == "993") && security == ConnectionSecurity::None) {
        fields.security = std::string(ConnectionSecurityText(ConnectionSecurity::Tls));
    } else if ((port == "110" || port == "143") && security == ConnectionSecurity::Tls) {
        fields.security = std::string(ConnectionSecurityText(ConnectionSecurity::None));
    }
}

AccountFields FieldsForMode(const AccountRows& rows, int mode, const std::string& currentPort) {
    AccountFields fields;
    if (mode == kAddAccountMode) {
        // The port as the previous opening left it and the security it always gave; a new account is POP3, so an
        // IMAP port moves to its POP3 counterpart.
        fields.port = currentPort;
        fields.protocol = currentPort == "143" || currentPort == "993" ? "imap" : "pop3";
        fields.security = std::string(
            ConnectionSecurityText(DefaultSecurity(ProtocolOf(fields), PortNumber(currentPort).value_or(0))));
        ChooseProtocol(fields, MailProtocol::Pop3);
    } else if (NamesRow(rows, mode)) {
        const Account row = rows.RowAt(mode);
        fields = {row.email, row.server, row.login, row.password, row.port, row.protocol, row.security};
    }
    return fields;
}

Account AccountFromFields(const AccountFields& fields) {
    return {fields.email, fields.server, fields.login,    fields.password,
            "0",          fields.port,   fields.protocol, fields.security};
}

void AcceptAccount(AccountRows& rows, int mode, const AccountFields& fields) {
    if (!PortNumber(fields.port)) {
        throw AppError(FormatMessageText("The port must be a whole number from 1 to 65535, not '%s'", fields.port));
    }
    Account account = AccountFromFields(fields);
    if (mode == kAddAccountMode) {
        rows.AppendRow(account);
    } else if (NamesRow(rows, mode)) {
        const Account row = rows.RowAt(mode);
        account.count = row.count;
        const bool sameMailbox = row.server == fields.server && row.login == fields.login && row.port == fields.port &&
                                 row.protocol == fields.protocol;
        if (sameMailbox) {
            account.uidnext = row.uidnext;
            account.uidvalidity = row.uidvalidity;
        }
        rows.ReplaceRow(mode, account);
    }
}

}  // namespace pigeonet
