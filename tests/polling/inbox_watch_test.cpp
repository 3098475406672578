#include "polling/inbox_watch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "polling/socket.h"
#include "scripted-server/imap_steps.h"
#include "scripted-server/scripted_server.h"
#include "settings/live_settings.h"

namespace pigeonet {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using namespace std::chrono_literals;

// Real sockets, and a clock that stands still until the test moves it: every wait of a watcher that is timed (the
// backoff, the renewal of IDLE, a reply's minute, the second between two calls) ends only when the test says.
class FakeEnvironment final : public WatchEnvironment {
  public:
    std::atomic<std::int64_t> now_ms{1000000};
    std::atomic<bool> online{true};
    std::atomic<std::uint32_t> random{0};
    std::atomic<int> sleeps{0};
    std::atomic<std::int64_t> sleeping_until{-1};  // the target of the sleep under way; -1 for none

    SocketLayer& Sockets() override { return layer_; }
    Clock::time_point Now() override { return Clock::time_point(milliseconds(now_ms.load())); }
    bool SleepUntil(Clock::time_point until, const std::function<bool()>& stop_requested) override {
        const std::int64_t target = std::chrono::duration_cast<milliseconds>(until.time_since_epoch()).count();
        ++sleeps;
        sleeping_until = target;
        bool stopped = false;
        while (now_ms < target && !(stopped = stop_requested())) {
            std::this_thread::sleep_for(1ms);
        }
        sleeping_until = -1;
        return !stopped;
    }
    bool IsOnline() override { return online; }
    std::uint32_t Random() override { return random; }

    void Advance(milliseconds by) { now_ms += by.count(); }

  private:
    class Layer final : public SocketLayer {
      public:
        explicit Layer(FakeEnvironment& environment) : environment_(environment) {}
        std::unique_ptr<TcpSocket> CreateSocket() override { return PlatformSocketLayer().CreateSocket(); }
        std::uint32_t ResolveHost(const std::string& host) override { return PlatformSocketLayer().ResolveHost(host); }
        std::int64_t NowMilliseconds() override { return environment_.now_ms; }

      private:
        FakeEnvironment& environment_;
    };
    Layer layer_{*this};
};

bool Eventually(const std::function<bool()>& condition) {
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// Enough real time for a watcher to do what it should not.
void Settle() {
    std::this_thread::sleep_for(300ms);
}

int Count(const std::string& text, const std::string& what) {
    int count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

Account ImapAccount(std::uint16_t port, const std::string& login = "x") {
    Account account;
    account.server = "127.0.0.1";
    account.port = std::to_string(port);
    account.login = login;
    account.password = "y";
    account.protocol = "imap";
    return account;
}

// The calls of on_change, from the watchers' threads.
struct Calls {
    std::mutex mutex;
    std::vector<int> indexes;
    std::size_t size() {
        std::lock_guard lock(mutex);
        return indexes.size();
    }
    std::function<void(int)> Recorder() {
        return [this](int index) {
            std::lock_guard lock(mutex);
            indexes.push_back(index);
        };
    }
};

std::string Logins(scripted::ScriptedServer& server) {
    return std::to_string(Count(server.ReceivedSoFar(), " LOGIN "));
}

TEST(WatchBackoff, DoublesFromFiveSecondsToFiveMinutesAndStartsOverAfterTenHealthyMinutes) {
    WatchBackoff backoff;
    for (int expected : {5, 10, 20, 40, 80, 160, 300, 300}) {
        EXPECT_EQ(backoff.NextWait(false, 0), seconds(expected));
    }
    backoff.ConnectionStood(seconds(599));
    EXPECT_EQ(backoff.NextWait(false, 0), seconds(300));
    backoff.ConnectionStood(seconds(600));
    EXPECT_EQ(backoff.NextWait(false, 0), seconds(5));
    // The jitter: up to 20 % longer, never shorter.
    EXPECT_EQ(backoff.NextWait(false, 2000), milliseconds(12000));
    EXPECT_EQ(backoff.NextWait(false, 2001), seconds(20));
    EXPECT_EQ(backoff.NextWait(false, 1000), milliseconds(44000));
    // A refused login waits the full five minutes at once, and so does what follows it.
    WatchBackoff refused;
    EXPECT_EQ(refused.NextWait(true, 0), seconds(300));
    EXPECT_EQ(refused.NextWait(false, 0), seconds(300));
    EXPECT_EQ(refused.NextWait(true, 2000), seconds(360));
}

TEST(WatchedAccount, IsAnImapAccountWithAUsablePort) {
    Account account = ImapAccount(993);
    account.security = "unknown";
    ASSERT_TRUE(WatchedAccountOf(account));
    EXPECT_EQ(WatchedAccountOf(account)->security, ConnectionSecurity::Tls);
    EXPECT_EQ(WatchedAccountOf(account)->port, 993);
    account.security = "starttls";
    EXPECT_EQ(WatchedAccountOf(account)->security, ConnectionSecurity::StartTls);
    for (const char* port : {"0", "65536", "x", ""}) {
        account.port = port;
        EXPECT_FALSE(WatchedAccountOf(account)) << port;
    }
    account = ImapAccount(143);
    account.protocol = "pop3";
    EXPECT_FALSE(WatchedAccountOf(account));
}

TEST(InboxWatchers, CallsOnceForANoticeAndAtMostOnceASecondForAFlood) {
    std::string flood;
    for (int i = 3; i < 300; ++i) {
        flood += "* " + std::to_string(i) + " EXISTS\r\n* 1 RECENT\r\n";
    }
    scripted::Script script = scripted::ImapIdleSession();
    script.push_back(scripted::Send(flood));
    scripted::ScriptedServer server(script);
    FakeEnvironment environment;
    Calls calls;
    InboxWatchers watchers(environment, calls.Recorder());
    watchers.Follow({ImapAccount(scripted::RefusingPort()), ImapAccount(server.port())});
    ASSERT_TRUE(Eventually([&] { return calls.size() == 1; }));
    Settle();
    EXPECT_EQ(calls.size(), 1u);
    environment.Advance(999ms);
    Settle();
    EXPECT_EQ(calls.size(), 1u);
    environment.Advance(1ms);
    ASSERT_TRUE(Eventually([&] { return calls.size() == 2; }));
    environment.Advance(5s);
    Settle();
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls.indexes, (std::vector<int>{1, 1}));
    EXPECT_EQ(watchers.Running(), 2u);
    watchers.Stop(1s);
    EXPECT_EQ(watchers.Running(), 0u);
    // Read-only and nothing but the watch on the wire; DONE and LOGOUT at once on the stop.
    EXPECT_EQ(server.Received(), "A1 LOGIN \"x\" \"y\"\r\nA2 EXAMINE \"INBOX\"\r\nA3 IDLE\r\nDONE\r\nA4 LOGOUT\r\n");
}

TEST(InboxWatchers, ReopensADroppedConnectionAfterTheBackoffWithoutRepeatingANotice) {
    scripted::Script script = scripted::ImapIdleSession();
    script.insert(script.end(), {scripted::Send("* 3 EXISTS\r\n"), scripted::Pause(50), scripted::Close()});
    scripted::ScriptedServer server(script, 2);
    FakeEnvironment environment;
    environment.random = 1000;  // 10 % longer
    Calls calls;
    InboxWatchers watchers(environment, calls.Recorder());
    watchers.Follow({ImapAccount(server.port())});
    ASSERT_TRUE(Eventually([&] { return environment.sleeping_until >= 0; }));
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(environment.sleeping_until - environment.now_ms, 5500);
    environment.Advance(5499ms);
    Settle();
    EXPECT_EQ(Logins(server), "1");
    environment.Advance(1ms);
    ASSERT_TRUE(Eventually([&] { return Logins(server) == "2"; }));
    // The second connection's notice is a notice of its own; it drops too, and the next wait is doubled.
    ASSERT_TRUE(Eventually([&] { return environment.sleeping_until >= 0; }));
    EXPECT_EQ(environment.sleeping_until - environment.now_ms, 11000);
    EXPECT_EQ(calls.size(), 2u);
}

TEST(InboxWatchers, RenewsIdleWithin29MinutesAndReopensWhenDoneGoesUnanswered) {
    scripted::Script script = scripted::ImapIdleSession();
    script.push_back(scripted::Send("* 3 EXISTS\r\n"));  // then silence, DONE unanswered
    scripted::ScriptedServer server(script, 2);
    FakeEnvironment environment;
    Calls calls;
    InboxWatchers watchers(environment, calls.Recorder());
    watchers.Follow({ImapAccount(server.port())});
    ASSERT_TRUE(Eventually([&] { return calls.size() == 1; }));
    environment.Advance(28min + 59s);
    Settle();
    EXPECT_EQ(Count(server.ReceivedSoFar(), "DONE"), 0);
    environment.Advance(1s);
    ASSERT_TRUE(Eventually([&] { return Count(server.ReceivedSoFar(), "DONE") == 1; }));
    environment.Advance(59s);
    Settle();
    EXPECT_EQ(environment.sleeps, 0);
    environment.Advance(1s);
    ASSERT_TRUE(Eventually([&] { return environment.sleeping_until >= 0; }));
    EXPECT_EQ(environment.sleeping_until - environment.now_ms, 5000);
    environment.Advance(5s);
    ASSERT_TRUE(Eventually([&] { return Logins(server) == "2"; }));
}

TEST(InboxWatchers, WaitsFiveMinutesAfterARefusedLogin) {
    scripted::ScriptedServer server({scripted::Send("* OK [CAPABILITY IMAP4rev1 IDLE] hi\r\n"),
                                     scripted::ImapTagged("NO [AUTHENTICATIONFAILED] bad")},
                                    2);
    FakeEnvironment environment;
    Calls calls;
    InboxWatchers watchers(environment, calls.Recorder());
    watchers.Follow({ImapAccount(server.port())});
    ASSERT_TRUE(Eventually([&] { return environment.sleeping_until >= 0; }));
    EXPECT_EQ(environment.sleeping_until - environment.now_ms, 300000);
    environment.Advance(299s);
    Settle();
    EXPECT_EQ(Logins(server), "1");
    environment.Advance(1s);
    ASSERT_TRUE(Eventually([&] { return Logins(server) == "2"; }));
    EXPECT_EQ(calls.size(), 0u);
}

TEST(InboxWatchers, EndsForGoodWhenTheServerOffersNoIdle) {
    scripted::ScriptedServer server(scripted::ImapLogin(), 2);
    FakeEnvironment environment;
    Calls calls;
    InboxWatchers watchers(environment, calls.Recorder());
    watchers.Follow({ImapAccount(server.port())});
    ASSERT_TRUE(Eventually([&] { return watchers.Running() == 0; }));
    environment.Advance(1h);
    Settle();
    EXPECT_EQ(environment.sleeps, 0);
    EXPECT_EQ(server.ReceivedSoFar(), "A1 LOGIN \"x\" \"y\"\r\nA2 LOGOUT\r\n");
    // The same account again is left as it is: no second try.
    watchers.Follow({ImapAccount(server.port())});
    Settle();
    EXPECT_EQ(Logins(server), "1");
}

TEST(InboxWatchers, ConnectsOnlyOnlineAndRestartsOnlyChangedAccountsOneConnectionAtATime) {
    scripted::ScriptedServer server(scripted::ImapIdleSession(), 0);
    FakeEnvironment environment;
    environment.online = false;
    Calls calls;
    InboxWatchers watchers(environment, calls.Recorder());
    std::vector<Account> accounts{ImapAccount(server.port(), "a"), ImapAccount(server.port(), "b")};
    watchers.Follow(accounts);
    Settle();
    EXPECT_EQ(Logins(server), "0");
    environment.online = true;
    environment.Advance(3s);
    ASSERT_TRUE(Eventually([&] { return Count(server.ReceivedSoFar(), " IDLE\r\n") == 2; }));
    accounts[0].email = "renamed@example.org";
    accounts[1].password = "changed";
    watchers.Follow(accounts);
    ASSERT_TRUE(Eventually([&] { return Count(server.ReceivedSoFar(), " IDLE\r\n") == 3; }));
    const std::string received = server.ReceivedSoFar();
    EXPECT_EQ(Count(received, "LOGIN \"a\""), 1);
    // The old connection of "b" was closed before the new one logged in.
    EXPECT_LT(received.find("A4 LOGOUT"), received.find("LOGIN \"b\" \"changed\""));
    watchers.Follow({});
    ASSERT_TRUE(Eventually([&] { return Count(server.ReceivedSoFar(), "LOGOUT") == 3; }));
    ASSERT_TRUE(Eventually([&] { return watchers.Running() == 0; }));
}

TEST(InboxWatchers, StopEndsThreeIdlingWatchersWellWithinASecond) {
    scripted::ScriptedServer server(scripted::ImapIdleSession(), 0);
    FakeEnvironment environment;
    Calls calls;
    InboxWatchers watchers(environment, calls.Recorder());
    watchers.Follow(
        {ImapAccount(server.port(), "a"), ImapAccount(server.port(), "b"), ImapAccount(server.port(), "c")});
    ASSERT_TRUE(Eventually([&] { return Count(server.ReceivedSoFar(), " IDLE\r\n") == 3; }));
    Settle();
    const auto start = std::chrono::steady_clock::now();
    watchers.Stop(1s);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_EQ(watchers.Running(), 0u);
    ASSERT_TRUE(Eventually([&] { return Count(server.ReceivedSoFar(), "DONE\r\nA4 LOGOUT\r\n") == 3; }));
}

}  // namespace
}  // namespace pigeonet
