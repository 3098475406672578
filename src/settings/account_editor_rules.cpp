#include "settings/account_editor_rules.h"

#include "util/errors.h"
#include "util/utf8.h"

namespace pigeonet {

namespace {

bool NamesRow(const AccountRows& rows, int mode) {
    return mode >= 0 && mode < rows.RowCount();
}

}  // namespace

bool CanAcceptAccount(const AccountFields& fields) {
    return fields.email.find('@') != std::string::npos && !fields.server.empty() && !fields.login.empty() &&
           !fields.password.empty();
}

std::optional<std::string> AutoFilledServer(std::string_view email) {
    const std::size_t at = email.find('@');
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t length = CountCodePoints(email);
    const std::size_t position = CountCodePoints(email.substr(0, at)) + 1;  // of the "@", counting from 1
    if (length > 7 && position + 4 < length) {
        return "pop." + std::string(email.substr(at + 1));
    }
    return std::nullopt;
}

AccountFields FieldsForMode(const AccountRows& rows, int mode, const std::string& currentPort) {
    AccountFields fields;
    if (mode == kAddAccountMode) {
        fields.port = currentPort;
    } else if (NamesRow(rows, mode)) {
        const Account row = rows.RowAt(mode);
        fields = {row.email, row.server, row.login, row.password, row.port};
    }
    return fields;
}

void AcceptAccount(AccountRows& rows, int mode, const AccountFields& fields) {
    if (!PortNumber(fields.port)) {
        throw AppError(FormatMessageText("The port must be a whole number from 1 to 65535, not '%s'", fields.port));
    }
    if (mode == kAddAccountMode) {
        rows.AppendRow({fields.email, fields.server, fields.login, fields.password, "0", fields.port});
    } else if (NamesRow(rows, mode)) {
        const std::string count = rows.RowAt(mode).count;
        rows.ReplaceRow(mode, {fields.email, fields.server, fields.login, fields.password, count, fields.port});
    }
}

}  // namespace pigeonet
