#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pigeonet {

// The protocol a mailbox is asked in: POP3 counts every message left in the maildrop, IMAP the INBOX's unread ones.
enum class MailProtocol { Pop3, Imap };

// How the connection is protected: not at all, upgraded by STARTTLS (STLS in POP3) before any credential, or TLS
// from the first byte.
enum class ConnectionSecurity { None, StartTls, Tls };

// The stored texts: "pop3", "imap"; "none", "starttls", "tls". Any other text is no protocol or security at all.
std::optional<MailProtocol> ParseMailProtocol(std::string_view text);
std::string_view MailProtocolText(MailProtocol protocol);
std::optional<ConnectionSecurity> ParseConnectionSecurity(std::string_view text);
std::string_view ConnectionSecurityText(ConnectionSecurity security);

// The security of an account that names none: TLS on the protocol's TLS port (995 for POP3, 993 for IMAP), none on
// every other port, as accounts were always checked.
ConnectionSecurity DefaultSecurity(MailProtocol protocol, int port);

// The standard port of a protocol spoken plainly or through STARTTLS (110, 143) or in TLS from the start (995, 993).
int StandardPort(MailProtocol protocol, ConnectionSecurity security);

}  // namespace pigeonet
