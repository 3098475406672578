#pragma once

#include "settings/account_protocol.h"
#include "settings/live_settings.h"

#include <optional>
#include <string>
#include <string_view>

namespace pigeonet {

// The account editor's mode: adding a row, or the index of the row being edited.
inline constexpr int kAddAccountMode = -1;

// The editor's fields, UTF-8, exactly as typed (nothing is trimmed); protocol and security as stored
// ("pop3"/"imap", "none"/"starttls"/"tls").
struct AccountFields {
    std::string email;
    std::string server;
    std::string login;
    std::string password;
    std::string port;
    std::string protocol = "pop3";
    std::string security = "none";

    bool operator==(const AccountFields&) const = default;
};

// The fields' protocol and security; a text that names none reads as POP3, and as the security its port gives.
MailProtocol ProtocolOf(const AccountFields& fields);
ConnectionSecurity SecurityOf(const AccountFields& fields);

// The account list as the editor reads and writes it: the settings dialog's rows.
class AccountRows {
  public:
    virtual ~AccountRows() = default;
    virtual int RowCount() const = 0;
    virtual Account RowAt(int index) const = 0;
    virtual void AppendRow(const Account& account) = 0;
    virtual void ReplaceRow(int index, const Account& account) = 0;
};

// OK may be pressed when the address holds an "@" and server, login and password are all filled in. The port is
// examined only when OK is pressed (AcceptAccount).
bool CanAcceptAccount(const AccountFields& fields);

// The server the editor proposes for an address: "pop." (POP3) or "imap." (IMAP) + everything after the first "@",
// once the address has at least 8 characters of which at least 5 follow that "@"; nullopt leaves the server field
// as it is. Characters are counted as code points, so a non-ASCII address counts as the user sees it.
std::optional<std::string> AutoFilledServer(std::string_view email, MailProtocol protocol = MailProtocol::Pop3);

// A key released in the address field: for a known provider's domain (KnownProviderServer) its host, port and
// security for the fields' protocol, whatever the address's length; otherwise the server AutoFilledServer proposes,
// the port and security left alone.
void AutoFill(AccountFields& fields);

// The choices of protocol and security move a standard port (110, 995, 143, 993) to the standard port of the new
// pair and leave any other port alone. A server that the auto-fill had written for the old protocol is written
// again for the new one, so "pop.example.org" follows to "imap.example.org", and a known provider's host, port and
// security follow too.
void ChooseProtocol(AccountFields& fields, MailProtocol protocol);
void ChooseSecurity(AccountFields& fields, ConnectionSecurity security);

// A port picked from the port list: 995 or 993 while the security is none switches it to TLS, 110 or 143 while it
// is TLS switches it to none, as the port alone chose TLS before the security could be chosen. Typed ports never
// change the security.
void ChoosePort(AccountFields& fields, const std::string& port);

// The fields shown when the editor opens. Add mode: empty but for the port, which keeps `currentPort` (the text of
// the previous opening), with POP3 and the security that port gives (TLS on 995, as before the security could be
// chosen; none otherwise); IMAP's 143 and 993 become POP3's 110 and 995 (TLS). Edit mode: the row's values. A mode
// naming no row shows empty fields.
AccountFields FieldsForMode(const AccountRows& rows, int mode, const std::string& currentPort);

// Writes the fields into the list. Add mode: a new row with last count "0" and no IMAP marks ("0"). Edit mode: the
// row's fields except its last count, which the check round keeps up to date; its IMAP marks stay unless the
// server, login, port or protocol changed, when they name another mailbox and go back to "0". A mode naming no row
// changes nothing. A port that is not a whole number from 1 to 65535 is refused with an AppError saying so, and
// nothing changes.
void AcceptAccount(AccountRows& rows, int mode, const AccountFields& fields);

// The account as typed, for a test of it: last count and IMAP marks "0".
Account AccountFromFields(const AccountFields& fields);

}  // namespace pigeonet
