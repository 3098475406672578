#pragma once

#include "settings/live_settings.h"

#include <optional>
#include <string>
#include <string_view>

namespace pigeonet {

// The account editor's mode: adding a row, or the index of the row being edited.
inline constexpr int kAddAccountMode = -1;

// The editor's five fields, UTF-8, exactly as typed (nothing is trimmed).
struct AccountFields {
    std::string email;
    std::string server;
    std::string login;
    std::string password;
    std::string port;

    bool operator==(const AccountFields&) const = default;
};

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

// The server the editor proposes for an address: "pop." + everything after the first "@", once the address has
// at least 8 characters of which at least 5 follow that "@"; nullopt leaves the server field as it is. Characters
// are counted as code points, so a non-ASCII address counts as the user sees it.
std::optional<std::string> AutoFilledServer(std::string_view email);

// The fields shown when the editor opens: empty in add mode except the port, which keeps `currentPort` (the text
// of the previous opening); the row's values in edit mode. A mode naming no row shows empty fields.
AccountFields FieldsForMode(const AccountRows& rows, int mode, const std::string& currentPort);

// Writes the fields into the list: a new row with last count "0" in add mode; in edit mode the row's fields except
// its last count, which the check round keeps up to date. A mode naming no row changes nothing. A port that is not
// a whole number from 1 to 65535 is refused with an AppError saying so, and nothing changes.
void AcceptAccount(AccountRows& rows, int mode, const AccountFields& fields);

}  // namespace pigeonet
