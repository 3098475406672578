#pragma once

#include <cstdint>
#include <string>

namespace pigeonet {

struct Account;
class SocketLayer;

// What checking one account once found: its count (the message count for POP3, the unread count for IMAP), or the
// failure, told as the error display would tell it.
struct AccountTestResult {
    enum class Outcome {
        Count,         // `count` holds the count
        OpenFailure,   // connect, TLS, greeting or login failed: `message` says how
        CountFailure,  // the mailbox opened but STAT or STATUS failed: `message` says how
    };
    Outcome outcome = Outcome::OpenFailure;
    std::int32_t count = 0;
    std::string message;  // UTF-8
};

// Checks `account` as typed, once, with the check round's bounds (connect, read and reply limits), serving the GUI
// through the idle pump while it waits as a round does. Never throws: a port that is not a number from 1 to 65535 is
// an OpenFailure saying so. `layer` null: this platform's sockets.
AccountTestResult TestAccountOnce(const Account& account, SocketLayer* layer = nullptr);

}  // namespace pigeonet
