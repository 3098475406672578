#include "app/application_win32.h"
#include "app/main_form_win32.h"
#include "scripted-server/pop3_steps.h"
#include "scripted-server/scripted_server.h"
#include "support/main_form_fakes_win32.h"
#include "support/registry_fixture_win32.h"
#include "settings/live_settings.h"
#include "util/window_win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace pigeonet {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::int64_t NowMs() {
    return std::chrono::duration_cast<milliseconds>(Clock::now().time_since_epoch()).count();
}

// An IMAP mailbox for watchers and rounds alike, on every connection at once: the greeting offers IDLE, every
// command gets its answer, and IDLE is confirmed, at once followed by a new message's EXISTS when `notice` is set.
class WatchedMailbox {
  public:
    explicit WatchedMailbox(bool notice)
        : state_(std::make_shared<State>()),
          server_({scripted::Send("* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN IDLE] ready\r\n"),
                   scripted::Converse(
                       [state = state_, notice](std::string_view line) { return Answer(*state, notice, line); })},
                  0) {}

    std::uint16_t port() const { return server_.port(); }
    int Logins() const { return state_->logins; }
    int Idles() const { return state_->idles; }
    int Rounds() const { return state_->statuses; }
    // When the last EXISTS went out and when the last round was answered (milliseconds of the steady clock).
    std::int64_t NoticeAt() const { return state_->noticeAt; }
    std::int64_t RoundAt() const { return state_->statusAt; }

  private:
    struct State {
        std::atomic<int> logins = 0;
        std::atomic<int> idles = 0;
        std::atomic<int> statuses = 0;
        std::atomic<std::int64_t> noticeAt = 0;
        std::atomic<std::int64_t> statusAt = 0;
    };

    static scripted::Reply Answer(State& state, bool notice, std::string_view line) {
        // Each connection is served on a thread of its own: the tag of its IDLE is that thread's.
        thread_local std::string idleTag;
        if (line == "DONE") {
            return {idleTag + " OK IDLE terminated\r\n"};
        }
        const std::string tag(line.substr(0, line.find(' ')));
        const std::string_view command = line.substr(tag.size() + 1);
        if (command.starts_with("LOGIN")) {
            ++state.logins;
        } else if (command.starts_with("IDLE")) {
            idleTag = tag;
            ++state.idles;
            if (notice) {
                state.noticeAt = NowMs();
                return {"+ idling\r\n* 5 EXISTS\r\n"};
            }
            return {"+ idling\r\n"};
        } else if (command.starts_with("STATUS")) {
            ++state.statuses;
            state.statusAt = NowMs();
            return {"* STATUS INBOX (MESSAGES 5 UNSEEN 2 UIDNEXT 6 UIDVALIDITY 1)\r\n" + tag + " OK done\r\n"};
        } else if (command.starts_with("LOGOUT")) {
            return {"* BYE\r\n" + tag + " OK bye\r\n", true};
        }
        return {tag + " OK done\r\n"};
    }

    std::shared_ptr<State> state_;
    scripted::ScriptedServer server_;
};

Account ImapAccount(std::uint16_t port) {
    return {"box@example.org", "127.0.0.1", "u", "p", "0", std::to_string(port), "imap", "none"};
}

// The main window online, with its first round (Timer3) switched off so only the watchers' news starts rounds.
class InboxWatchersTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(root_.Open(L"Software\\PigeonetTests\\InboxWatchers")); }
    void TearDown() override {
        form_.reset();
        bench_.reset();
        application_.reset();
        root_.Close();
    }

    TForm1& Start() {
        live_.Values().intervalPosition = kMaxIntervalPosition;
        application_ = std::make_unique<ApplicationWindow>();
        bench_ = std::make_unique<testing::MainFormBench>(root_.get());
        bench_->platform.online = true;
        bench_->watchEnvironment.online = true;
        form_ = std::make_unique<TForm1>(*application_, bench_->Parts(live_), bench_->StoredLanguage());
        form_->SetTimerEnabled(3, false);
        return *form_;
    }
    // Serves the GUI until `done` holds or `limit` has passed; returns whether it holds.
    static bool PumpUntil(const std::function<bool()>& done, milliseconds limit = milliseconds(5000)) {
        const auto end = Clock::now() + limit;
        while (!done() && Clock::now() < end) {
            ProcessPendingMessages();
            std::this_thread::sleep_for(milliseconds(10));
        }
        return done();
    }
    // The settings dialog shown and closed with OK, after `edit` changed what it holds.
    void SettingsOk(const std::function<void()>& edit) {
        SendMessageW(form_->Handle(), WM_COMMAND, kMenuN1, 0);
        edit();
        bench_->settingsClosed();
    }

    testing::ScratchRegistryKey root_;
    MemoryLiveSettings live_;
    std::unique_ptr<ApplicationWindow> application_;
    std::unique_ptr<testing::MainFormBench> bench_;
    std::unique_ptr<TForm1> form_;
};

TEST_F(InboxWatchersTest, AChangeNoticeLeadsToARoundWithinASecond) {
    WatchedMailbox mailbox(true);
    live_.AddAccount(ImapAccount(mailbox.port()));
    Start();
    ASSERT_TRUE(PumpUntil([&] { return live_.AccountAt(0).count == "2"; })) << "no round after the notice";
    EXPECT_EQ(mailbox.Rounds(), 1);
    EXPECT_LT(mailbox.RoundAt() - mailbox.NoticeAt(), 1000) << "milliseconds from EXISTS to the round's STATUS";
    EXPECT_TRUE(IsWindowVisible(form_->Handle())) << "the new mail is announced as a round announces it";
}

TEST_F(InboxWatchersTest, NoticesDuringARoundGiveExactlyOneMoreRound) {
    scripted::ScriptedServer server(scripted::LoginThenStat("+OK 3 300\r\n"), 0);
    live_.AddAccount({"box@example.org", "127.0.0.1", "u", "p", "3", std::to_string(server.port())});
    TForm1& form = Start();
    // Handled by the round's message pump, while the round runs.
    for (int notice = 0; notice < 3; ++notice) {
        PostMessageW(form.Handle(), kInboxChangedMessage, 0, 0);
    }
    form.CheckMailboxes();
    const auto rounds = [&] {
        const std::string received = server.ReceivedSoFar();
        int count = 0;
        for (auto at = received.find("STAT"); at != std::string::npos; at = received.find("STAT", at + 1)) {
            ++count;
        }
        return count;
    };
    EXPECT_TRUE(PumpUntil([&] { return rounds() == 2; }, milliseconds(1000))) << "the pending round follows";
    PumpUntil([] { return false; }, milliseconds(1500));
    EXPECT_EQ(rounds(), 2) << "never more than one round waits";
    EXPECT_TRUE(form.TimerEnabled(1)) << "the poll tick resumes after the extra round";
}

TEST_F(InboxWatchersTest, ExitWhileThreeWatchersIdleEndsTheMessageLoopWithinASecond) {
    WatchedMailbox mailbox(false);
    for (int account = 0; account < 3; ++account) {
        Account imap = ImapAccount(mailbox.port());
        imap.login = "u" + std::to_string(account);
        live_.AddAccount(imap);
    }
    TForm1& form = Start();
    ASSERT_TRUE(PumpUntil([&] { return mailbox.Idles() == 3; })) << "three watchers idle";
    EXPECT_EQ(form.Watchers().Running(), 3u);
    const auto start = Clock::now();
    SendMessageW(form.Handle(), WM_COMMAND, kMenuN4, 0);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    EXPECT_LT(Clock::now() - start, milliseconds(1000));
    EXPECT_EQ(form.Watchers().Running(), 0u);
}

TEST_F(InboxWatchersTest, SettingsOkKeepsAnUnchangedWatcherAndRestartsAChangedOne) {
    WatchedMailbox first(false);
    WatchedMailbox second(false);
    live_.AddAccount(ImapAccount(first.port()));
    Start();
    ASSERT_TRUE(PumpUntil([&] { return first.Idles() == 1; }));
    SettingsOk([&] { live_.Values().accounts[0].count = "7"; });
    PumpUntil([] { return false; }, milliseconds(1000));
    EXPECT_EQ(first.Logins(), 1) << "the same session goes on";

    SettingsOk([&] { live_.Values().accounts[0].port = std::to_string(second.port()); });
    EXPECT_TRUE(PumpUntil([&] { return second.Idles() == 1; })) << "the watcher follows the new server";
    EXPECT_EQ(first.Logins(), 1);
    EXPECT_TRUE(PumpUntil([&] { return form_->Watchers().Running() == 1; }, milliseconds(1000)))
        << "the old connection has ended";
}

}  // namespace
}  // namespace pigeonet
