#include "polling/inbox_watch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

#include "polling/socket.h"
#include "scripted-server/imap_steps.h"
#include "scripted-server/script_text.h"
#include "scripted-server/scripted_server.h"
#include "settings/live_settings.h"

namespace pigeonet {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using namespace std::chrono_literals;

// A real socket that tells its owner while it is open, and to which port.
class CountedSocket final : public TcpSocket {
  public:
    using Opened = std::function<void(std::uint16_t port, int change)>;
    CountedSocket(std::unique_ptr<TcpSocket> socket, Opened opened)
        : socket_(std::move(socket)), opened_(std::move(opened)) {}
    ~CountedSocket() override { Close(); }

    bool IsOpen() const override { return socket_->IsOpen(); }
    bool WaitReadable(int milliseconds) override { return socket_->WaitReadable(milliseconds); }
    std::size_t Receive(char* buffer, std::size_t capacity) override { return socket_->Receive(buffer, capacity); }
    std::size_t Send(const char* data, std::size_t size) override { return socket_->Send(data, size); }
    void Close() override {
        socket_->Close();
        if (port_ != 0) {
            opened_(std::exchange(port_, 0), -1);
        }
    }
    ConnectProgress StartConnect(std::uint32_t address, std::uint16_t port) override {
        port_ = port;
        opened_(port, 1);
        return socket_->StartConnect(address, port);
    }
    ConnectProgress WaitConnect(int milliseconds) override { return socket_->WaitConnect(milliseconds); }
    bool KeepAlive(std::chrono::seconds idle, std::chrono::seconds interval) override {
        return socket_->KeepAlive(idle, interval);
    }

  private:
    std::unique_ptr<TcpSocket> socket_;
    Opened opened_;
    std::uint16_t port_ = 0;
};

// Real sockets, and a clock that stands still until the test moves it: every timed wait of a watcher (the backoff,
// the renewal of IDLE, a reply's minute, the second between two calls) ends only when the test says.
class FakeEnvironment final : public WatchEnvironment, public SocketLayer {
  public:
    std::atomic<std::int64_t> now_ms{1000000};
    std::atomic<bool> online{true};
    std::atomic<std::uint32_t> random{0};
    std::atomic<int> sleeps{0};
    std::atomic<std::int64_t> sleeping_until{-1};  // the target of the sleep under way; -1 for none

    SocketLayer& Sockets() override { return *this; }
    Clock::time_point Now() override { return Clock::time_point(milliseconds(now_ms.load())); }
    bool SleepUntil(Clock::time_point until, const std::function<bool()>& stop_requested) override {
        ++sleeps;
        sleeping_until = std::chrono::duration_cast<milliseconds>(until.time_since_epoch()).count();
        bool stopped = false;
        while (now_ms < sleeping_until && !(stopped = stop_requested())) {
            std::this_thread::sleep_for(1ms);
        }
        sleeping_until = -1;
        return !stopped;
    }
    bool IsOnline() override { return online; }
    std::uint32_t Random() override { return random; }

    std::unique_ptr<TcpSocket> CreateSocket() override {
        return std::make_unique<CountedSocket>(PlatformSocketLayer().CreateSocket(),
                                               [this](std::uint16_t port, int change) {
                                                   const std::lock_guard lock(sockets_mutex);
                                                   const int now = open_sockets[port] += change;
                                                   most_open[port] = std::max(most_open[port], now);
                                               });
    }
    // The most connections to `port` that were open at the same moment, as the watchers' own sockets tell it.
    int MostOpenAtOnce(std::uint16_t port) {
        const std::lock_guard lock(sockets_mutex);
        return most_open[port];
    }
    std::uint32_t ResolveHost(const std::string& host) override { return PlatformSocketLayer().ResolveHost(host); }
    std::int64_t NowMilliseconds() override { return now_ms; }

    void Advance(milliseconds by) { now_ms += by.count(); }

    std::mutex sockets_mutex;
    std::map<std::uint16_t, int> open_sockets;
    std::map<std::uint16_t, int> most_open;
    // How long the sleep under way lasts, once one has begun.
    std::int64_t NextSleep() {
        EXPECT_TRUE(Eventually([this] { return sleeping_until >= 0; }));
        return sleeping_until - now_ms;
    }

    static bool Eventually(const std::function<bool()>& condition) {
        const auto until = std::chrono::steady_clock::now() + 10s;
        while (!condition() && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(2ms);
        }
        return condition();
    }
};

class InboxWatchersTest : public ::testing::Test {
  protected:
    // Enough real time for a watcher to do what it should not.
    static void Settle() { std::this_thread::sleep_for(300ms); }
    static bool Eventually(const std::function<bool()>& condition) { return FakeEnvironment::Eventually(condition); }
    static int Count(const std::string& text, const std::string& what) {
        int count = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
            ++count;
        }
        return count;
    }
    static Account ImapAccount(std::uint16_t port, const std::string& login = "x") {
        Account account;
        account.server = "127.0.0.1";
        account.port = std::to_string(port);
        account.login = login;
        account.password = "y";
        account.protocol = "imap";
        return account;
    }
    static int Logins(scripted::ScriptedServer& server) { return Count(server.ReceivedSoFar(), " LOGIN "); }

    FakeEnvironment environment;
    std::atomic<int> calls{0};
    std::atomic<int> last_index{-1};
    InboxWatchers watchers{environment, [this](int index) {
                               last_index = index;
                               ++calls;
                           }};
};

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
    // A refused login waits the full five minutes at once, and so does what follows it.
    WatchBackoff refused;
    EXPECT_EQ(refused.NextWait(true, 0), seconds(300));
    EXPECT_EQ(refused.NextWait(false, 1000), seconds(330));
}

TEST_F(InboxWatchersTest, WatchesOnlyImapAccountsWithAUsablePort) {
    Account account = ImapAccount(993);
    account.security = "unknown";
    EXPECT_EQ(WatchedAccountOf(account), (WatchedAccount{"127.0.0.1", 993, "x", "y", ConnectionSecurity::Tls}));
    account.port = "65536";
    EXPECT_FALSE(WatchedAccountOf(account));
    account = ImapAccount(143);
    account.protocol = "pop3";
    EXPECT_FALSE(WatchedAccountOf(account));
}

TEST_F(InboxWatchersTest, CallsOnceForANoticeAndAtMostOnceASecondForAFlood) {
    std::string flood;
    for (int i = 3; i < 300; ++i) {
        flood += "* " + std::to_string(i) + " EXISTS\r\n* 1 RECENT\r\n";
    }
    scripted::Script script = scripted::ImapIdleSession();
    script.push_back(scripted::Send(flood));
    scripted::ScriptedServer server(script);
    watchers.Follow({ImapAccount(scripted::RefusingPort()), ImapAccount(server.port())});
    ASSERT_TRUE(Eventually([&] { return calls == 1; }));
    environment.Advance(999ms);
    Settle();
    EXPECT_EQ(calls, 1);
    environment.Advance(1ms);
    ASSERT_TRUE(Eventually([&] { return calls == 2; }));
    environment.Advance(5s);
    Settle();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(last_index, 1);
    EXPECT_EQ(watchers.Running(), 2u);
    watchers.Stop(1s);
    EXPECT_EQ(watchers.Running(), 0u);
    // Read-only and nothing but the watch on the wire; DONE and LOGOUT at once on the stop.
    EXPECT_EQ(server.Received(), "A1 LOGIN \"x\" \"y\"\r\nA2 EXAMINE \"INBOX\"\r\nA3 IDLE\r\nDONE\r\nA4 LOGOUT\r\n");
}

TEST_F(InboxWatchersTest, ReopensADroppedConnectionAfterTheBackoffWithoutRepeatingANotice) {
    scripted::Script script = scripted::ImapIdleSession();
    script.insert(script.end(), {scripted::Send("* 3 EXISTS\r\n"), scripted::Pause(50), scripted::Close()});
    scripted::ScriptedServer server(script, 2);
    environment.random = 1000;  // 10 % longer
    watchers.Follow({ImapAccount(server.port())});
    EXPECT_EQ(environment.NextSleep(), 5500);
    EXPECT_EQ(calls, 1);
    environment.Advance(5499ms);
    Settle();
    EXPECT_EQ(Logins(server), 1);
    environment.Advance(1ms);
    // The reopened watch asks for a check at once (mail may have come meanwhile), its notice folded into that call;
    // it drops too, and the next wait is doubled.
    EXPECT_TRUE(Eventually([&] { return Logins(server) == 2; }));
    EXPECT_EQ(environment.NextSleep(), 11000);
    EXPECT_EQ(calls, 2);
}

TEST_F(InboxWatchersTest, RenewsIdleWithin29MinutesAndReopensWhenDoneGoesUnanswered) {
    // As the command line spells it: the first renewal is answered, the second is not.
    const scripted::Script script =
        scripted::ParseScript({"imap-idle", "send:* 3 EXISTS\\r\\n", "idle-done", "idle", "send:* 4 EXISTS\\r\\n"},
                              {scripted::ImapShorthand});
    scripted::ScriptedServer server(script, 2);
    watchers.Follow({ImapAccount(server.port())});
    ASSERT_TRUE(Eventually([&] { return calls == 1; }));
    environment.Advance(28min + 59s);
    Settle();
    EXPECT_EQ(Count(server.ReceivedSoFar(), "DONE"), 0);
    environment.Advance(1s);
    ASSERT_TRUE(Eventually([&] { return calls == 2; }));
    environment.Advance(29min);
    ASSERT_TRUE(Eventually([&] { return Count(server.ReceivedSoFar(), "DONE") == 2; }));
    environment.Advance(59s);
    Settle();
    EXPECT_EQ(environment.sleeps, 0);
    environment.Advance(1s);
    EXPECT_EQ(environment.NextSleep(), 5000);
    // The server reads on a thread of its own: the LOGOUT written before the wait may reach its record a moment later.
    const std::string expected =
        "A1 LOGIN \"x\" \"y\"\r\nA2 EXAMINE \"INBOX\"\r\nA3 IDLE\r\nDONE\r\nA4 IDLE\r\nDONE\r\nA5 LOGOUT\r\n";
    EXPECT_TRUE(Eventually([&] { return server.ReceivedSoFar() == expected; })) << server.ReceivedSoFar();
    environment.Advance(5s);
    EXPECT_TRUE(Eventually([&] { return Logins(server) == 2; }));
}

TEST_F(InboxWatchersTest, WaitsFiveMinutesAfterARefusedLogin) {
    scripted::ScriptedServer server({scripted::Send("* OK [CAPABILITY IMAP4rev1 IDLE] hi\r\n"),
                                     scripted::ImapTagged("NO [AUTHENTICATIONFAILED] x")},
                                    2);
    watchers.Follow({ImapAccount(server.port())});
    EXPECT_EQ(environment.NextSleep(), 300000);
    environment.Advance(299s);
    Settle();
    EXPECT_EQ(Logins(server), 1);
    environment.Advance(1s);
    EXPECT_TRUE(Eventually([&] { return Logins(server) == 2; }));
}

TEST_F(InboxWatchersTest, EndsForGoodWhenTheServerOffersNoIdle) {
    scripted::ScriptedServer server(scripted::ImapLogin(), 2);
    watchers.Follow({ImapAccount(server.port())});
    ASSERT_TRUE(Eventually([&] { return watchers.Running() == 0; }));
    // The same account again is left as it is: no second try.
    watchers.Follow({ImapAccount(server.port())});
    environment.Advance(1h);
    Settle();
    EXPECT_EQ(environment.sleeps, 0);
    EXPECT_EQ(server.ReceivedSoFar(), "A1 LOGIN \"x\" \"y\"\r\nA2 LOGOUT\r\n");
}

TEST_F(InboxWatchersTest, ConnectsOnlyOnlineAndRestartsOnlyChangedAccountsOneConnectionAtATime) {
    scripted::ScriptedServer server(scripted::ImapIdleSession(), 0);
    // "b" on a server of its own, so its connections are told apart from those of "a" by the port.
    scripted::ScriptedServer server_b(scripted::ImapIdleSession(), 0);
    environment.online = false;
    std::vector<Account> accounts{ImapAccount(server.port(), "a"), ImapAccount(server_b.port(), "b")};
    watchers.Follow(accounts);
    Settle();
    EXPECT_EQ(Logins(server), 0);
    environment.online = true;
    environment.Advance(3s);
    const auto idles = [&] { return Count(server.ReceivedSoFar() + server_b.ReceivedSoFar(), " IDLE\r\n"); };
    const auto logouts = [&] { return Count(server.ReceivedSoFar() + server_b.ReceivedSoFar(), "LOGOUT"); };
    ASSERT_TRUE(Eventually([&] { return idles() == 2; }));
    accounts[0].email = "renamed@example.org";
    accounts[1].password = "changed";
    watchers.Follow(accounts);
    ASSERT_TRUE(Eventually([&] { return idles() == 3; }));
    EXPECT_EQ(Count(server.ReceivedSoFar(), "LOGIN \"a\""), 1);
    // The old connection of "b" said LOGOUT and was closed before the new one was opened.
    EXPECT_TRUE(Eventually([&] { return logouts() == 1; })) << server_b.ReceivedSoFar();
    EXPECT_EQ(Count(server_b.ReceivedSoFar(), "LOGIN \"b\""), 2);
    EXPECT_EQ(environment.MostOpenAtOnce(server_b.port()), 1) << "never two connections for one account";
    watchers.Follow({});
    EXPECT_TRUE(Eventually([&] { return logouts() == 3 && watchers.Running() == 0; }));
}

TEST_F(InboxWatchersTest, StopEndsThreeIdlingWatchersWellWithinASecond) {
    scripted::ScriptedServer server(scripted::ImapIdleSession(), 0);
    watchers.Follow(
        {ImapAccount(server.port(), "a"), ImapAccount(server.port(), "b"), ImapAccount(server.port(), "c")});
    ASSERT_TRUE(Eventually([&] { return Count(server.ReceivedSoFar(), " IDLE\r\n") == 3; }));
    Settle();
    const auto start = std::chrono::steady_clock::now();
    watchers.Stop(1s);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_EQ(watchers.Running(), 0u);
    // The three sessions are recorded side by side, each in its own order.
    EXPECT_TRUE(Eventually([&] {
        const std::string received = server.ReceivedSoFar();
        return Count(received, "DONE\r\n") == 3 && Count(received, "A4 LOGOUT\r\n") == 3;
    })) << server.ReceivedSoFar();
}

// The kernel's timer on the client side of the loopback connection to `port`, from /proc/net/tcp: its kind (2 is
// keepalive) and the seconds until it fires; nullopt when there is no such connection.
std::optional<std::pair<int, int>> ClientTimer(std::uint16_t port) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the heading
    char remote[16];
    std::snprintf(remote, sizeof(remote), "0100007F:%04X", port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, peer, state, queues, timer;
        fields >> slot >> local >> peer >> state >> queues >> timer;
        if (peer == remote && state == "01") {
            // "KK:TTTTTTTT": the kind, then the clock ticks left (100 a second).
            return std::make_pair(std::stoi(timer.substr(0, 2), nullptr, 16),
                                  static_cast<int>(std::stoul(timer.substr(3), nullptr, 16) / 100));
        }
    }
    return std::nullopt;
}

TEST_F(InboxWatchersTest, AnIdlingConnectionIsProbedByTheSystemAfterAMinuteOfSilence) {
    scripted::ScriptedServer server(scripted::ImapIdleSession());
    watchers.Follow({ImapAccount(server.port())});
    ASSERT_TRUE(Eventually([&] { return Count(server.ReceivedSoFar(), " IDLE\r\n") == 1; }));
    const auto timer = ClientTimer(server.port());
    ASSERT_TRUE(timer) << "no established connection to the server";
    EXPECT_EQ(timer->first, 2) << "the keepalive timer runs";
    EXPECT_GT(timer->second, 50);
    EXPECT_LE(timer->second, 60);
}

}  // namespace
}  // namespace pigeonet
