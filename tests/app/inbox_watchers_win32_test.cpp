#include "app/application_win32.h"
#include "app/main_form_win32.h"
#include "scripted-server/pop3_steps.h"
#include "scripted-server/scripted_server.h"
#include "settings/live_settings.h"
#include "support/main_form_fixture_win32.h"
#include "support/watched_mailbox_win32.h"
#include "util/window_win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace pigeonet {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using testing::ImapAccount;
using testing::WatchedMailbox;

// The main window online, with its first round (Timer3) switched off so only the watchers' news starts rounds.
class InboxWatchersTest : public testing::MainFormFixture {
  protected:
    InboxWatchersTest() : MainFormFixture(L"Software\\PigeonetTests\\InboxWatchers") {}

    TForm1& Start() {
        live_.Values().intervalPosition = kMaxIntervalPosition;
        TForm1& form = MainFormFixture::Start(true);
        form.SetTimerEnabled(3, false);
        return form;
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
