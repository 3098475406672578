#include "app/application_win32.h"
#include "app/main_form_win32.h"
#include "app/menu_commands.h"
#include "app/platform_win32.h"
#include "scripted-server/pop3_steps.h"
#include "scripted-server/scripted_server.h"
#include "support/main_form_fakes_win32.h"
#include "support/main_form_fixture_win32.h"
#include "support/recording_error_display_win32.h"
#include "support/registry_fixture_win32.h"
#include "settings/live_settings.h"
#include "settings/settings_store.h"
#include "util/handles_win32.h"
#include "util/unicode_win32.h"
#include "util/window_win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace pigeonet {
namespace {

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The main window as start-up builds it, over a registry root of the test's own, a recording launcher and an
// offline system, with live settings held in memory.
class MainFormTest : public testing::MainFormFixture {
  protected:
    MainFormTest() : MainFormFixture(L"Software\\PigeonetTests\\MainForm") {}

    std::vector<std::string>& LauncherCalls() { return bench_->launcher.calls; }
    void Command(UINT id) { SendMessageW(form_->Handle(), WM_COMMAND, id, 0); }
    // `Timer1` is an object of its own; the others are timers of the main window.
    void Tick(int timer) {
        if (timer == 1) {
            bench_->timer1.Tick();
        } else {
            SendMessageW(form_->Handle(), WM_TIMER, static_cast<WPARAM>(timer), 0);
        }
    }
    std::string MenuText(UINT id) {
        wchar_t text[128] = {};
        GetMenuStringW(form_->PopupMenu1(), id, text, 128, MF_BYCOMMAND);
        return Narrow(text);
    }
    bool Checked(UINT id) { return GetMenuState(form_->PopupMenu1(), id, MF_BYCOMMAND) & MF_CHECKED; }
};

TEST_F(MainFormTest, OpenMailOpensWebAddressesAndStartsProgramsOnlyWhenNotFlashing) {
    TForm1& form = Start();
    const struct {
        const char* target;
        bool flashing;
        const char* expected;
    } cases[] = {
        {"http://mail.example.org", false, "open http://mail.example.org"},
        {"HTTP://MAIL.EXAMPLE.ORG", true, "open HTTP://MAIL.EXAMPLE.ORG"},
        {"msimn.exe", false, "start msimn.exe"},
        {"msimn.exe", true, nullptr},
        {"Http://mail.example.org", false, "open Http://mail.example.org"},
        {"HTTPS://mail.example.org/inbox", false, "open HTTPS://mail.example.org/inbox"},
        {"C:\\Mail\\mail.exe https://mail.example.org", false, "start C:\\Mail\\mail.exe https://mail.example.org"},
    };
    for (const auto& c : cases) {
        live_.Values().mailProgram = c.target;
        form.Tray().SetCycleInterval(c.flashing ? 400 : 0);
        LauncherCalls().clear();
        Command(kMenuN6);
        const std::vector<std::string> expected =
            c.expected ? std::vector<std::string>{c.expected} : std::vector<std::string>{};
        EXPECT_EQ(LauncherCalls(), expected) << c.target << (c.flashing ? " while flashing" : "");
        EXPECT_EQ(form.Tray().CycleInterval(), 0u) << "open mail always stops the flashing";
        EXPECT_EQ(form.Tray().IconIndex(), 0);
    }
}

TEST_F(MainFormTest, AutostartWritesThisExecutableThenTheEmptyTextAndReadsTheMarkBack) {
    Win32RegistryHive hive(root_.get());
    ASSERT_TRUE(hive.CreateKey(kRunKey));
    Start();
    EXPECT_FALSE(Checked(kMenuN2));
    Command(kMenuN2);
    EXPECT_TRUE(Checked(kMenuN2));
    EXPECT_EQ(hive.ReadValue(kRunKey, "pg")->text, ExecutablePath());
    Command(kMenuN2);
    EXPECT_FALSE(Checked(kMenuN2));
    const auto value = hive.ReadValue(kRunKey, "pg");
    ASSERT_TRUE(value.has_value()) << "the value stays, empty";
    EXPECT_EQ(value->text, "");

    hive.WriteText(kRunKey, "pg", "C:\\Tools\\pg.exe");
    Start();
    EXPECT_TRUE(Checked(kMenuN2)) << "a Run value containing \"pg\" checks the item at start";
}

TEST_F(MainFormTest, CheckNowMakesTheNextTickStartARound) {
    TForm1& form = Start();
    live_.Values().intervalPosition = 9;
    Command(kMenuN7);
    EXPECT_EQ(form.PollCounter, 601);
    Tick(1);
    EXPECT_EQ(form.PollCounter, 0) << "the round began and restarted the count";
    EXPECT_TRUE(form.TimerEnabled(1)) << "the poll tick resumes after the round";
}

TEST_F(MainFormTest, CheckNowDuringARoundStartsTheNextRoundAtTheFirstTickAfterIt) {
    scripted::ScriptedServer server(scripted::LoginThenStat("+OK 0 0\r\n"));
    live_.AddAccount({"box@example.org", "127.0.0.1", "u", "p", "0", std::to_string(server.port())});
    TForm1& form = Start(true);
    live_.Values().intervalPosition = 9;
    Command(kMenuN7);
    // The tick arrives while the round pumps messages.
    testing::PostTick(bench_->timer1);
    form.CheckMailboxes();
    EXPECT_GT(form.PollCounter, 601) << "the check-now request outlives the round";
    Tick(1);
    EXPECT_EQ(form.PollCounter, 0) << "the first tick after the round starts the next one";
}

TEST_F(MainFormTest, ExitDuringARoundRemovesTheIconAtOnceAndClosesWhenTheRoundHasStopped) {
    scripted::ScriptedServer server(scripted::LoginThenStat("+OK 3 300\r\n"));
    live_.AddAccount({"box@example.org", "127.0.0.1", "u", "p", "0", std::to_string(server.port())});
    TForm1& form = Start(true);
    const HWND window = form.Handle();
    // The exit command is handled by the round's first message pump.
    Command(kMenuN4);
    form.CheckMailboxes();
    EXPECT_FALSE(form.Tray().IconVisible());
    EXPECT_FALSE(IsWindowVisible(window)) << "nothing is announced";
    EXPECT_EQ(server.ReceivedSoFar(), "") << "no mailbox is asked";
    EXPECT_TRUE(IsWindow(window)) << "the window outlives the round that used it";
    ProcessPendingMessages();
    EXPECT_FALSE(IsWindow(window)) << "and closes right after it";
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the program's message loop ends";
}

TEST_F(MainFormTest, ExitWhileAServerKeepsTheRoundWaitingEndsTheWaitAtOnce) {
    // Logged in, then no answer to STAT: the round waits up to its 5 s read timeout, or, while blank lines trickle
    // in, up to its minute for the reply.
    auto trickle = scripted::LoginThenStat("");
    trickle.push_back(scripted::Trickle(std::string(300, '\n'), 100));
    const struct {
        const char* server;
        scripted::Script script;
    } cases[] = {{"silent", scripted::LoginThenStat("")}, {"trickling", trickle}};
    for (const auto& c : cases) {
        scripted::ScriptedServer server(c.script);
        live_.AddAccount({"box@example.org", "127.0.0.1", "u", "p", "0", std::to_string(server.port())});
        TForm1& form = Start(true);
        const HWND window = form.Handle();
        std::thread user([window] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            PostMessageW(window, WM_CLOSE, 0, 0);
        });
        const auto start = std::chrono::steady_clock::now();
        form.CheckMailboxes();
        const auto elapsed = std::chrono::steady_clock::now() - start;
        user.join();
        EXPECT_LT(elapsed, std::chrono::milliseconds(3500)) << c.server << ": the wait ends with the exit";
        EXPECT_FALSE(form.Tray().IconVisible()) << c.server;
        ProcessPendingMessages();
        EXPECT_FALSE(IsWindow(window)) << c.server;
        MSG quit;
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        live_.RemoveAccount(0);
    }
}

TEST_F(MainFormTest, SettingsCommandStopsThePollTickAndTheTickKeepsItsCount) {
    TForm1& form = Start();
    form.PollCounter = 42;
    Command(kMenuN1);
    EXPECT_EQ(bench_->settingsDialog.calls, std::vector<std::string>{"show"});
    EXPECT_FALSE(form.TimerEnabled(1));
    EXPECT_EQ(form.PollCounter, 42);
}

TEST_F(MainFormTest, ADoubleClickOnTheFlashingIconStartsAProgramOnceAndOpensAnAddressTwice) {
    TForm1& form = Start();
    const struct {
        const char* target;
        std::vector<std::string> expected;
    } cases[] = {
        {"msimn.exe", {"start msimn.exe"}},
        {"http://mail.example.org", {"open http://mail.example.org", "open http://mail.example.org"}},
    };
    for (const auto& c : cases) {
        live_.Values().mailProgram = c.target;
        form.Tray().SetCycleInterval(400);
        LauncherCalls().clear();
        // A double click reaches the icon as press, release, double-click message, release.
        for (UINT mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) {
            form.Tray().HandleCallback(mouse);
        }
        EXPECT_EQ(LauncherCalls(), c.expected) << c.target;
        EXPECT_EQ(form.Tray().CycleInterval(), 0u);
    }
}

TEST_F(MainFormTest, AClickOnTheSteadyIconDoesNothing) {
    TForm1& form = Start();
    live_.Values().mailProgram = "msimn.exe";
    form.Tray().HandleCallback(WM_LBUTTONDOWN);
    form.Tray().HandleCallback(WM_LBUTTONUP);
    EXPECT_TRUE(LauncherCalls().empty());
}

TEST_F(MainFormTest, AClickOnTheEnvelopeOpensMailOnceEvenWhenDoubled) {
    TForm1& form = Start();
    live_.Values().mailProgram = "msimn.exe";
    const HWND envelope = form.Handle();

    SendMessageW(envelope, WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(LauncherCalls().empty()) << "a release without a press on the envelope is no click";

    // The second click of a double click arrives while the first one's slide-out pumps messages.
    SendMessageW(envelope, WM_LBUTTONDOWN, 0, 0);
    PostMessageW(envelope, WM_LBUTTONDOWN, 0, 0);
    PostMessageW(envelope, WM_LBUTTONUP, 0, 0);
    SendMessageW(envelope, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(LauncherCalls(), std::vector<std::string>{"start msimn.exe"});

    SendMessageW(envelope, WM_LBUTTONDOWN, 0, 0);
    SendMessageW(envelope, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(LauncherCalls().size(), 2u) << "a later click opens mail again";
}

TEST_F(MainFormTest, WebSiteItemOpensTheProgramsPage) {
    Start();
    Command(kMenuN3);
    EXPECT_EQ(LauncherCalls(), std::vector<std::string>{"open " + std::string(kWebSiteAddress)});
}

TEST_F(MainFormTest, AtPositionZeroARoundStartsEveryTwentySixTicks) {
    TForm1& form = Start();
    live_.Values().intervalPosition = 0;
    for (int tick = 1; tick <= 25; ++tick) {
        Tick(1);
        EXPECT_EQ(form.PollCounter, tick);
    }
    Tick(1);
    EXPECT_EQ(form.PollCounter, 0) << "the 26th tick starts a round";
}

TEST_F(MainFormTest, CheckNowWhileTheSettingsAreOpenWaitsForThePollTick) {
    TForm1& form = Start();
    live_.Values().intervalPosition = 9;
    Command(kMenuN1);
    Command(kMenuN7);
    EXPECT_FALSE(form.TimerEnabled(1));
    EXPECT_EQ(form.PollCounter, 601) << "no round until the dialog enables the tick again";
    form.SetTimerEnabled(1, true);
    Tick(1);
    EXPECT_EQ(form.PollCounter, 0);
}

TEST_F(MainFormTest, EachTickSetsTheAccountsHint) {
    TForm1& form = Start();
    live_.AddAccount({"first@example.org", "pop", "u", "p", "3", "110"});
    live_.AddAccount({"second@example.org", "pop", "u", "p", "0", "110"});
    Tick(1);
    EXPECT_EQ(form.Tray().Hint(), "Pigeonet\rfirst@example.org - 3\rsecond@example.org");
}

// The box's own message loop runs the poll tick: a round that fails again meanwhile opens no second box, and the
// tooltip names the failure instead; a round that succeeds brings the count back.
class BoxRunningTheNextRound final : public ErrorDisplay {
  public:
    explicit BoxRunningTheNextRound(std::function<void()> nextRound) : nextRound_(std::move(nextRound)) {}
    void Show(const std::string& text) override {
        shown.push_back(text);
        if (shown.size() == 1) {
            nextRound_();
        }
    }
    std::vector<std::string> shown;

  private:
    std::function<void()> nextRound_;
    ErrorDisplayScope installed_{*this};
};

TEST_F(MainFormTest, AFailingRoundWhileTheBoxIsOpenOpensNoSecondBoxAndTheTooltipNamesTheFailure) {
    scripted::ScriptedServer locked(scripted::LoginThenStat("-ERR mailbox is locked\r\n"), 2);
    live_.AddAccount({"box@example.org", "127.0.0.1", "u", "p", "5", std::to_string(locked.port())});
    TForm1& form = Start(true);
    std::string hintDuringBox;
    BoxRunningTheNextRound display([&] {
        Command(kMenuN7);
        Tick(1);
        hintDuringBox = form.Tray().Hint();
    });
    Command(kMenuN7);
    Tick(1);
    ASSERT_EQ(display.shown.size(), 1u) << "one box, however many rounds fail while it is open";
    EXPECT_NE(display.shown[0].find("mailbox is locked"), std::string::npos) << display.shown[0];
    EXPECT_EQ(hintDuringBox, "Pigeonet\rbox@example.org - mailbox is locked");
    EXPECT_TRUE(form.TimerEnabled(1)) << "the poll tick goes on";
    EXPECT_EQ(locked.Received(), "USER u\r\nPASS p\r\nSTAT\r\nUSER u\r\nPASS p\r\nSTAT\r\n");

    live_.Values().accounts.front().port = std::to_string(scripted::RefusingPort());
    Command(kMenuN7);
    Tick(1);
    EXPECT_EQ(form.Tray().Hint(), "Pigeonet\rbox@example.org - нет соединения") << "in the applied language";
    EXPECT_EQ(display.shown.size(), 1u) << "a mailbox that cannot be opened is skipped silently";
}

TEST_F(MainFormTest, ARoundAgainstAServerAnnouncesAChangedCountAndFlashesTheIconWhenAsked) {
    const struct {
        const char* storedCount;
        bool flashIcon;
        bool announced;
        unsigned cycleInterval;
    } cases[] = {
        {"1", true, true, 400},
        {"1", false, true, 0},
        {"3", true, false, 0},
    };
    for (const auto& c : cases) {
        scripted::ScriptedServer server(scripted::LoginThenStat("+OK 3 1200\r\n"));
        live_ = MemoryLiveSettings();
        live_.Values().flashIcon = c.flashIcon;
        live_.AddAccount({"box@example.org", "127.0.0.1", "u", "p", c.storedCount, std::to_string(server.port())});
        TForm1& form = Start(true);
        form.CheckMailboxes();
        const std::string which = std::string("stored ") + c.storedCount + (c.flashIcon ? ", flashing on" : "");
        EXPECT_EQ(IsWindowVisible(form.Handle()) != FALSE, c.announced) << which;
        EXPECT_EQ(form.TimerEnabled(2), c.announced) << which << ": the display time runs while the envelope is up";
        EXPECT_EQ(form.Tray().CycleInterval(), c.cycleInterval) << which;
        EXPECT_EQ(live_.AccountAt(0).count, "3") << which;
        EXPECT_EQ(form.Store().LoadText(kSettingsSection, "count0", ""), "3") << which;
        const std::string quit = c.announced ? "" : "QUIT\r\n";
        EXPECT_EQ(server.Received(), "USER u\r\nPASS p\r\nSTAT\r\n" + quit)
            << which << ": an announcement ends the round before QUIT";
    }
}

TEST_F(MainFormTest, StoredLanguageMarksTheMenuAndTheFirstApplicationSavesIt) {
    const struct {
        const char* stored;
        UINT checked;  // 0: none
        const char* saved;
        const char* exitCaption;
    } cases[] = {
        {"1", kMenuEnglish, "1", "Close"}, {"2", kMenuDeutsch, "2", "Beenden"}, {"7", 0, "0", "Выход"},
        {"-1", 0, "0", "Выход"},           {"0", kMenuRusha, "0", "Выход"},
    };
    Win32RegistryHive hive(root_.get());
    for (const auto& c : cases) {
        hive.CreateKey("Software\\Zelvik\\pg");
        hive.WriteText("Software\\Zelvik\\pg", "lang", c.stored);
        Start();
        for (UINT item : {kMenuRusha, kMenuEnglish, kMenuDeutsch}) {
            EXPECT_EQ(Checked(item), item == c.checked) << "lang " << c.stored << ", item " << item;
        }
        Tick(4);
        EXPECT_EQ(hive.ReadValue("Software\\Zelvik\\pg", "lang")->text, c.saved) << "lang " << c.stored;
        EXPECT_EQ(MenuText(kMenuN4), c.exitCaption) << "lang " << c.stored;
        EXPECT_FALSE(form_->TimerEnabled(4)) << "the language is applied once";
    }
}

TEST_F(MainFormTest, FirstStartSpeaksTheDisplayLanguageAndSavesIt) {
    const struct {
        std::uint16_t displayLanguage;
        UINT checked;
        const char* saved;
        const char* exitCaption;
    } cases[] = {
        {0x0409, kMenuEnglish, "1", "Close"},
        {0x0807, kMenuDeutsch, "2", "Beenden"},
        {0x0419, kMenuRusha, "0", "Выход"},
        {0x040c, kMenuEnglish, "1", "Close"},
    };
    Win32RegistryHive hive(root_.get());
    for (const auto& c : cases) {
        RegDeleteTreeW(root_.get(), L"Software\\Zelvik");
        displayLanguage_ = c.displayLanguage;
        Start();
        Tick(4);
        EXPECT_TRUE(Checked(c.checked)) << std::hex << c.displayLanguage;
        EXPECT_EQ(hive.ReadValue("Software\\Zelvik\\pg", "lang")->text, c.saved) << std::hex << c.displayLanguage;
        EXPECT_EQ(MenuText(kMenuN4), c.exitCaption) << std::hex << c.displayLanguage;
    }
}

TEST_F(MainFormTest, EnglishItemTranslatesTheMenu) {
    Start();
    Command(kMenuEnglish);
    const std::pair<UINT, const char*> captions[] = {
        {kMenuN7, "Check your mail"}, {kMenuN6, "Open mail"}, {kMenuN1, "Settings..."},
        {kMenuN2, "Startup"},         {kMenuN3, "Website"},
    };
    for (const auto& [item, caption] : captions) {
        EXPECT_EQ(MenuText(item), caption);
    }
    EXPECT_TRUE(Checked(kMenuEnglish));
    EXPECT_FALSE(Checked(kMenuRusha));
}

TEST_F(MainFormTest, TheLanguageSwitchHandsEachDialogTextToTheWindowThatShowsIt) {
    Start();
    Command(kMenuEnglish);
    const auto& settings = bench_->settingsTexts.texts;
    const auto& editor = bench_->editorTexts.texts;
    EXPECT_FALSE(settings.empty());
    EXPECT_FALSE(editor.empty());
    for (const auto& [target, text] : settings) {
        EXPECT_EQ(WindowOfTarget(target), LangWindow::Settings) << text;
    }
    for (const auto& [target, text] : editor) {
        EXPECT_EQ(WindowOfTarget(target), LangWindow::Editor) << text;
    }
}

TEST_F(MainFormTest, TheEndOfTheSessionRemovesTheIconAndClosesTheWindow) {
    TForm1& form = Start();
    EXPECT_EQ(SendMessageW(form.Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP), TRUE);
    SendMessageW(form.Handle(), WM_ENDSESSION, FALSE, ENDSESSION_CLOSEAPP);
    EXPECT_TRUE(form.Tray().IconVisible()) << "a session end called off changes nothing";
    EXPECT_TRUE(form.TimerEnabled(1));

    SendMessageW(form.Handle(), WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
    EXPECT_FALSE(form.Tray().IconVisible()) << "the icon is gone before the answer";
    EXPECT_FALSE(form.TimerEnabled(1)) << "no round starts any more";
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    EXPECT_FALSE(IsWindow(form.Handle())) << "the window closed as Exit closes it";
}

}  // namespace
}  // namespace pigeonet
