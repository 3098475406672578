#include "settings/account_protocol.h"

namespace pigeonet {

std::optional<MailProtocol> ParseMailProtocol(std::string_view text) {
    if (text == "pop3") {
        return MailProtocol::Pop3;
    }
    if (text == "imap") {
        return MailProtocol::Imap;
    }
    return std::nullopt;
}

std::string_view MailProtocolText(MailProtocol protocol) {
    return protocol == MailProtocol::Imap ? "imap" : "pop3";
}

std::optional<ConnectionSecurity> ParseConnectionSecurity(std::string_view text) {
    if (text == "none") {
        return ConnectionSecurity::None;
    }
    if (text == "starttls") {
        return ConnectionSecurity::StartTls;
    }
    if (text == "tls") {
        return ConnectionSecurity::Tls;
    }
    return std::nullopt;
}

std::string_view ConnectionSecurityText(ConnectionSecurity security) {
    switch (security) {
        case ConnectionSecurity::StartTls:
            return "starttls";
        case ConnectionSecurity::Tls:
            return "tls";
        case ConnectionSecurity::None:
            break;
    }
    return "none";
}

ConnectionSecurity DefaultSecurity(MailProtocol protocol, int port) {
    return port == StandardPort(protocol, ConnectionSecurity::Tls) ? ConnectionSecurity::Tls : ConnectionSecurity::None;
}

int StandardPort(MailProtocol protocol, ConnectionSecurity security) {
    const bool tls = security == ConnectionSecurity::Tls;
    if (protocol == MailProtocol::Imap) {
        return tls ? 993 : 143;
    }
    return tls ? 995 : 110;
}

}  // namespace pigeonet
