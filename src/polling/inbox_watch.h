#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "settings/account_protocol.h"

namespace pigeonet {

struct Account;
class SocketLayer;

// What a watcher connects with: the fields of an IMAP account that decide its connection. A change to any of them
// restarts the account's watcher; other edits (the address, the last count) leave it alone.
struct WatchedAccount {
    std::string server;
    int port = 143;
    std::string login;
    std::string password;
    ConnectionSecurity security = ConnectionSecurity::None;

    bool operator==(const WatchedAccount&) const = default;
};

// The connection fields of `account` when it is an IMAP account with a usable port; nullopt for a POP3 account or
// one whose port is not a number from 1 to 65535 (polling still covers those).
std::optional<WatchedAccount> WatchedAccountOf(const Account& account);

// What watchers need from the world, shared by all of them and called from their own threads (so every member must
// be safe to call from any thread). The program's implementation uses the platform's sockets, the steady clock and
// the system's connection state; tests hand in scripted sockets and a clock they drive.
class WatchEnvironment {
  public:
    using Clock = std::chrono::steady_clock;

    WatchEnvironment();
    virtual ~WatchEnvironment();
    WatchEnvironment(const WatchEnvironment&) = delete;
    WatchEnvironment& operator=(const WatchEnvironment&) = delete;

    virtual SocketLayer& Sockets() = 0;
    // Sockets() as a watcher connects with them: each socket asks the system to probe the idle connection, so a
    // link that dies without a close (a cable pulled, a router restarted) fails within about two minutes instead
    // of at the next renewal.
    SocketLayer& WatchSockets() { return *watch_sockets_; }
    virtual Clock::time_point Now() = 0;
    // Waits until `until`, or less when `stop_requested` becomes true (checked at least every 100 ms of real time);
    // returns false when it ended because of the stop.
    virtual bool SleepUntil(Clock::time_point until, const std::function<bool()>& stop_requested) = 0;
    // True when the system reports an Internet connection; no watcher connects while it is false.
    virtual bool IsOnline() = 0;
    // A uniformly random number for the backoff's jitter.
    virtual std::uint32_t Random() = 0;

  private:
    std::unique_ptr<SocketLayer> watch_sockets_;
};

// The watchers of every IMAP account whose server offers IDLE: one long-lived connection each, on a thread of its
// own, that tells `on_change` (from that thread) when the server reports a change to the INBOX, at most once per
// second per account. Polling stays as the fallback: an account whose server lacks IDLE is simply not watched.
// Everything here is called on one thread (the GUI's). The environment must outlive every watcher's thread, those
// Stop leaves behind included (the program keeps it for its whole run).
class InboxWatchers {
  public:
    // `on_change(index)`: the mailbox of the account at `index` of the last Follow() changed. It is called on a
    // watcher's thread and must only hand the news over (the program posts a message to its main window).
    InboxWatchers(WatchEnvironment& environment, std::function<void(int index)> on_change);
    // Ends every watcher as Stop() does.
    ~InboxWatchers();
    InboxWatchers(const InboxWatchers&) = delete;
    InboxWatchers& operator=(const InboxWatchers&) = delete;

    // Brings the watchers in line with `accounts`: starts one for each new IMAP account, restarts those whose
    // WatchedAccount changed, ends those of accounts that are gone or no longer IMAP, and leaves the rest running.
    void Follow(const std::vector<Account>& accounts);
    // Tells every watcher to end, without waiting: each winds down while the caller does something else first.
    void BeginStop();
    // Ends every watcher: each sends LOGOUT when it can be sent at once and closes; returns when all have ended or
    // `limit` has passed (a watcher still blocked then is left to end on its own, never touching anything shared).
    void Stop(std::chrono::milliseconds limit);
    // How many watchers run now (for tests and the closing note's measurements).
    std::size_t Running() const;

  private:
    class Watcher;
    WatchEnvironment& environment_;
    std::function<void(int)> on_change_;
    std::vector<std::shared_ptr<Watcher>> watchers_;  // by account index; null where none watches
    std::vector<std::shared_ptr<Watcher>> retired_;   // told to stop by Follow, perhaps still closing
};

// The waits between attempts of one watcher: 5 s after the first failure, doubling up to 5 minutes, each with up to
// 20 % of jitter; back to 5 s once a connection has stayed healthy for 10 minutes. A refused login waits the full 5
// minutes at once.
class WatchBackoff {
  public:
    static constexpr std::chrono::seconds kFirst{5};
    static constexpr std::chrono::seconds kLongest{300};
    static constexpr std::chrono::seconds kHealthy{600};

    // The wait before the next attempt after a failure; `login_refused` for a login the server refused.
    std::chrono::milliseconds NextWait(bool login_refused, std::uint32_t random);
    // A connection that stood for `healthy` before it failed: from kHealthy on the waits start over.
    void ConnectionStood(std::chrono::milliseconds healthy);

  private:
    std::chrono::seconds base_{0};
};

}  // namespace pigeonet
