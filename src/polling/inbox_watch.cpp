#include "polling/inbox_watch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>
#include <utility>

#include "polling/mailbox_probe.h"
#include "polling/probe_error.h"
#include "polling/socket.h"
#include "settings/live_settings.h"

namespace pigeonet {

namespace {

using Clock = WatchEnvironment::Clock;
using std::chrono::milliseconds;

// Servers may end an IDLE that lasts 30 minutes (RFC 2177): it is renewed a minute before.
constexpr auto kIdleRenewal = std::chrono::minutes(29);
constexpr auto kNoticeGap = std::chrono::seconds(1);
constexpr auto kOfflineRecheck = std::chrono::seconds(3);
constexpr std::int32_t kConnectLimitMs = 30000;
// Each reply (the greeting, LOGIN's, DONE's completion, one response while idling) within a minute.
constexpr std::int32_t kReplyLimitMs = 60000;
// How often a predecessor's end is looked for while the stop flag is watched, in real time.
constexpr auto kPredecessorCheck = milliseconds(100);

// Keepalive probes after a minute of silence, then every 5 s: with the system's 10 probes a dead link fails after
// 110 s. A healthy idle link carries one probe a minute, and the server's own "still here" lines reset the count.
constexpr std::chrono::seconds kKeepAliveIdle{60};
constexpr std::chrono::seconds kKeepAliveInterval{5};

std::int32_t MillisecondsUntil(Clock::time_point from, Clock::time_point until) {
    const auto left = std::chrono::duration_cast<milliseconds>(until - from).count();
    return static_cast<std::int32_t>(std::clamp<long long>(left, 1, std::numeric_limits<std::int32_t>::max()));
}

// The environment's sockets with keepalive switched on for each. It asks for the environment's layer at each call
// rather than keeping it, so an environment whose layer changes (a test's) is followed.
class KeepAliveSockets final : public SocketLayer {
  public:
    explicit KeepAliveSockets(WatchEnvironment& environment) : environment_(environment) {}

    std::unique_ptr<TcpSocket> CreateSocket() override {
        std::unique_ptr<TcpSocket> socket = environment_.Sockets().CreateSocket();
        // A system that refuses leaves the link to the renewal's limit, as before.
        socket->KeepAlive(kKeepAliveIdle, kKeepAliveInterval);
        return socket;
    }
    std::uint32_t ResolveHost(const std::string& host) override { return environment_.Sockets().ResolveHost(host); }
    std::int64_t NowMilliseconds() override { return environment_.Sockets().NowMilliseconds(); }

  private:
    WatchEnvironment& environment_;
};

}  // namespace

WatchEnvironment::WatchEnvironment() : watch_sockets_(std::make_unique<KeepAliveSockets>(*this)) {}

WatchEnvironment::~WatchEnvironment() = default;

std::optional<WatchedAccount> WatchedAccountOf(const Account& account) {
    if (ParseMailProtocol(account.protocol) != MailProtocol::Imap) {
        return std::nullopt;
    }
    const std::optional<int> port = PortNumber(account.port);
    if (!port) {
        return std::nullopt;
    }
    // As a check round connects: an unknown security leaves the choice to the port.
    const ConnectionSecurity security =
        ParseConnectionSecurity(account.security).value_or(DefaultSecurity(MailProtocol::Imap, *port));
    return WatchedAccount{account.server, *port, account.login, account.password, security};
}

std::chrono::milliseconds WatchBackoff::NextWait(bool login_refused, std::uint32_t random) {
    if (login_refused) {
        base_ = kLongest;
    } else {
        base_ = base_.count() == 0 ? kFirst : std::min<std::chrono::seconds>(base_ * 2, kLongest);
    }
    // The jitter only lengthens a wait (by 0 to 20 %), so no step comes sooner than its table says: a refused login
    // is never tried again within 5 minutes, and watchers that failed together spread out.
    const milliseconds base = base_;
    return base + base * static_cast<long long>(random % 2001) / 10000;
}

void WatchBackoff::ConnectionStood(std::chrono::milliseconds healthy) {
    if (healthy >= kHealthy) {
        base_ = std::chrono::seconds(0);
    }
}

// One account's watcher. Everything its thread touches lives here, owned through shared_ptr by the thread and by the
// InboxWatchers that started it, so a thread left behind by Stop touches nothing that goes away with InboxWatchers
// (the environment, which the program keeps for its whole run, aside).
class InboxWatchers::Watcher {
  public:
    Watcher(WatchEnvironment& environment,
            WatchedAccount account,
            int index,
            std::function<void(int)> on_change,
            std::vector<std::shared_ptr<Watcher>> predecessors)
        : environment_(environment),
          account_(std::move(account)),
          index_(index),
          on_change_(std::move(on_change)),
          predecessors_(std::move(predecessors)) {}

    const WatchedAccount& account() const { return account_; }
    int index() const { return index_; }

    static void Start(const std::shared_ptr<Watcher>& watcher) {
        watcher->thread_ = std::thread([self = watcher] { self->Run(); });
    }

    // From here on on_change is not called, not even by a call under way: one under way has returned.
    void RequestStop() {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }

    bool Ended() {
        std::lock_guard lock(mutex_);
        return ended_;
    }

    // Real time: the thread's end is no decision of the watch.
    bool WaitEnded(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        return ended_changed_.wait_until(lock, deadline, [this] { return ended_; });
    }

    // The GUI thread's side: joins a thread that has ended, leaves one that has not to end on its own.
    void Release(bool ended) {
        if (!thread_.joinable()) {
            return;
        }
        if (ended) {
            thread_.join();
        } else {
            thread_.detach();
        }
    }

  private:
    enum class SessionEnd { Stopped, NoIdle, Failed, LoginRefused };

    bool Stopping() const { return stop_.load(); }

    void Run() {
        try {
            Watch();
        } catch (...) {
            // Nothing may leave a thread; the account is still polled.
        }
        std::lock_guard lock(mutex_);
        ended_ = true;
        ended_changed_.notify_all();
    }

    void Watch() {
        // At most one connection per account: a restarted watcher's old thread must have closed its connection
        // first. Its waits notice its stop within a slice, so this costs a fraction of a second.
        for (const auto& predecessor : predecessors_) {
            while (!predecessor->WaitEnded(std::chrono::steady_clock::now() + kPredecessorCheck)) {
                if (Stopping()) {
                    return;
                }
            }
        }
        predecessors_.clear();

        MailboxProbe probe(environment_.WatchSockets());
        probe.set_host(account_.server);
        probe.set_port(account_.port);
        probe.set_user(account_.login);
        probe.set_password(account_.password);
        probe.set_protocol(MailProtocol::Imap);
        probe.set_security(account_.security);
        probe.set_read_timeout(kReplyLimitMs);
        probe.set_reply_timeout(kReplyLimitMs);
        probe.set_abandon_check([this] { return Stopping(); });
        const auto stopping = [this] { return Stopping(); };

        WatchBackoff backoff;
        while (!Stopping()) {
            while (!environment_.IsOnline()) {
                if (!environment_.SleepUntil(environment_.Now() + kOfflineRecheck, stopping)) {
                    return;
                }
            }
            if (Stopping()) {
                return;
            }
            milliseconds stood{0};
            const SessionEnd end = Session(probe, stood);
            if (end == SessionEnd::Stopped || end == SessionEnd::NoIdle) {
                return;
            }
            backoff.ConnectionStood(stood);
            const milliseconds wait = backoff.NextWait(end == SessionEnd::LoginRefused, environment_.Random());
            if (!environment_.SleepUntil(environment_.Now() + wait, stopping)) {
                return;
            }
        }
    }

    // One connection from connect to close; `stood` is how long it stayed idling before it failed.
    SessionEnd Session(MailboxProbe& probe, milliseconds& stood) {
        const bool reopened = attempts_++ > 0;
        try {
            probe.ConnectMailbox(kConnectLimitMs);
        } catch (const ProbeError& error) {
            if (Stopping()) {
                return SessionEnd::Stopped;
            }
            // Only a negative reply comes from the conversation's own open, which says whether it was LOGIN's.
            const bool refused = error.kind() == ProbeErrorKind::Reply && probe.imap().login_refused();
            return refused ? SessionEnd::LoginRefused : SessionEnd::Failed;
        }
        ImapConversation& imap = probe.imap();
        std::optional<Clock::time_point> idling_since;
        try {
            if (!imap.HasCapability("IDLE")) {
                Close(probe);
                return SessionEnd::NoIdle;
            }
            imap.Examine();
            Noticed(imap.BeginIdle());
            // Mail that came while the watch was down was told to nobody: a reopened watch asks for a check at once
            // (the count rule keeps it from announcing anything twice).
            Noticed(reopened);
            idling_since = environment_.Now();
            Clock::time_point renewal = *idling_since + kIdleRenewal;
            while (!Stopping()) {
                const Clock::time_point now = environment_.Now();
                DeliverPending(now);
                if (now >= renewal) {
                    Noticed(imap.EndIdle());
                    Noticed(imap.BeginIdle());
                    renewal = environment_.Now() + kIdleRenewal;
                    continue;
                }
                const Clock::time_point next = pending_ ? std::min(renewal, *last_call_ + kNoticeGap) : renewal;
                Noticed(imap.AwaitIdleChange(MillisecondsUntil(now, next)));
            }
        } catch (const ProbeError&) {
            if (idling_since) {
                stood = std::chrono::duration_cast<milliseconds>(environment_.Now() - *idling_since);
            }
            Close(probe);
            return Stopping() ? SessionEnd::Stopped : SessionEnd::Failed;
        }
        Close(probe);
        return SessionEnd::Stopped;
    }

    // LOGOUT when it can be sent at once (after DONE while idling), then the close.
    static void Close(MailboxProbe& probe) {
        try {
            probe.CloseMailbox();
        } catch (const ProbeError&) {
        }
    }

    // A flood of change notices costs at most one call a second: the first at once, the rest folded into one more
    // once the second is over.
    void Noticed(bool changed) {
        if (!changed) {
            return;
        }
        pending_ = true;
        DeliverPending(environment_.Now());
    }

    void DeliverPending(Clock::time_point now) {
        if (!pending_ || (last_call_ && now < *last_call_ + kNoticeGap)) {
            return;
        }
        pending_ = false;
        last_call_ = now;
        std::lock_guard lock(mutex_);
        if (!stop_) {
            on_change_(index_);
        }
    }

    WatchEnvironment& environment_;
    const WatchedAccount account_;
    const int index_;
    const std::function<void(int)> on_change_;
    std::vector<std::shared_ptr<Watcher>> predecessors_;  // the thread's own until they have ended
    std::thread thread_;                                  // the GUI thread's own

    // The thread's own.
    bool pending_ = false;
    std::optional<Clock::time_point> last_call_;
    int attempts_ = 0;  // connections begun

    // Shared between the thread and the GUI thread.
    std::atomic<bool> stop_{false};
    std::mutex mutex_;  // guards ended_, and a call of on_change against RequestStop
    std::condition_variable ended_changed_;
    bool ended_ = false;
};

InboxWatchers::InboxWatchers(WatchEnvironment& environment, std::function<void(int index)> on_change)
    : environment_(environment), on_change_(std::move(on_change)) {}

InboxWatchers::~InboxWatchers() {
    Stop(std::chrono::milliseconds(1000));
}

void InboxWatchers::Follow(const std::vector<Account>& accounts) {
    // Retired watchers that have ended since are joined now.
    std::erase_if(retired_, [](const std::shared_ptr<Watcher>& watcher) {
        if (!watcher->Ended()) {
            return false;
        }
        watcher->Release(true);
        return true;
    });
    std::vector<std::shared_ptr<Watcher>> next(accounts.size());
    std::vector<std::pair<int, WatchedAccount>> started;
    for (std::size_t i = 0; i < accounts.size(); ++i) {
        std::optional<WatchedAccount> watched = WatchedAccountOf(accounts[i]);
        if (!watched) {
            continue;
        }
        if (i < watchers_.size() && watchers_[i] && watchers_[i]->account() == *watched) {
            // Unchanged: running, or ended for good because its server offers no IDLE.
            next[i] = std::move(watchers_[i]);
            continue;
        }
        started.emplace_back(static_cast<int>(i), std::move(*watched));
    }
    for (auto& watcher : watchers_) {
        if (watcher) {
            watcher->RequestStop();
            retired_.push_back(std::move(watcher));
        }
    }
    for (auto& [index, watched] : started) {
        // The same mailbox may still be held by the watcher that had this row, or, after rows moved, by one of
        // another row: the new one waits for those to close.
        std::vector<std::shared_ptr<Watcher>> predecessors;
        for (const auto& old : retired_) {
            const WatchedAccount& held = old->account();
            const bool same_mailbox =
                held.server == watched.server && held.port == watched.port && held.login == watched.login;
            if (!old->Ended() && (old->index() == index || same_mailbox)) {
                predecessors.push_back(old);
            }
        }
        auto watcher =
            std::make_shared<Watcher>(environment_, std::move(watched), index, on_change_, std::move(predecessors));
        Watcher::Start(watcher);
        next[static_cast<std::size_t>(index)] = std::move(watcher);
    }
    watchers_ = std::move(next);
}

void InboxWatchers::BeginStop() {
    for (const auto* list : {&watchers_, &retired_}) {
        for (const auto& watcher : *list) {
            if (watcher) {
                watcher->RequestStop();
            }
        }
    }
}

void InboxWatchers::Stop(std::chrono::milliseconds limit) {
    std::vector<std::shared_ptr<Watcher>> all = std::move(retired_);
    retired_.clear();
    for (auto& watcher : watchers_) {
        if (watcher) {
            all.push_back(std::move(watcher));
        }
    }
    watchers_.clear();
    for (const auto& watcher : all) {
        watcher->RequestStop();
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (const auto& watcher : all) {
        watcher->Release(watcher->WaitEnded(deadline));
    }
}

std::size_t InboxWatchers::Running() const {
    std::size_t running = 0;
    for (const auto* list : {&watchers_, &retired_}) {
        for (const auto& watcher : *list) {
            if (watcher && !watcher->Ended()) {
                ++running;
            }
        }
    }
    return running;
}

}  // namespace pigeonet
