#include "polling/check_round.h"
#include "polling/mailbox_probe.h"
#include "polling/poll_schedule.h"
#include "polling/probe_error.h"
#include "settings/live_settings.h"
#include "settings/settings_store.h"
#include "scripted-server/imap_steps.h"
#include "scripted-server/pop3_steps.h"
#include "scripted-server/scripted_server.h"
#include "util/errors.h"
#include "util/memory_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pigeonet {
namespace {

using scripted::LoginThenStat;
using scripted::Script;
using scripted::ScriptedServer;

// Records what the round does to the rest of the program, as one line per effect.
class RecordingEffects final : public RoundEffects {
  public:
    bool online = true;
    bool closing = false;
    NotificationState state = NotificationState::AcceptsNotifications;
    std::string firstStartHint;  // none, as for a language without texts
    std::function<void()> onProcessMessages;
    std::vector<std::string> log;

    bool IsOnline() override { return online; }
    std::string StatusCaption() override { return "checking e-mail"; }
    void SetTrayHint(const std::string& hint) override { log.push_back("hint " + hint); }
    void SetTrayIconIndex(int index) override { log.push_back("index " + std::to_string(index)); }
    NotificationState UserNotificationState() override { return state; }
    std::string FirstStartHint() override { return firstStartHint; }
    void ShowTrayBalloon(const std::string& title, const std::string& text, int kind, int seconds) override {
        log.push_back("balloon " + title + "|" + text + "|" + std::to_string(kind) + "|" + std::to_string(seconds));
    }
    void SetTrayCycleInterval(unsigned milliseconds) override {
        log.push_back("flash " + std::to_string(milliseconds));
    }
    void ProcessMessages() override {
        if (onProcessMessages) {
            onProcessMessages();
        }
    }
    bool ProgramClosing() override { return closing; }
    void ShowEnvelope(int count, const std::string& email) override {
        log.push_back("envelope " + std::to_string(count) + " " + email);
    }
    void SlideIn() override { log.push_back("slide in"); }
    void PlayAlertSound() override { log.push_back("sound"); }
    void StartDisplayTimer() override { log.push_back("timer2"); }

    bool Announced() const { return Logged("envelope"); }
    bool Logged(const std::string& start) const {
        for (const auto& line : log) {
            if (line.rfind(start, 0) == 0) {
                return true;
            }
        }
        return false;
    }
};

class CheckRoundTest : public ::testing::Test {
  protected:
    void AddAccount(const std::string& email, std::uint16_t port, const std::string& lastCount) {
        live_.AddAccount({email, "127.0.0.1", "user", "secret", lastCount, std::to_string(port)});
    }
    void Check() { round_.CheckMailboxes(); }
    std::string StoredCount(int index) { return store_.LoadText("pg", "count" + std::to_string(index), "(absent)"); }

    MemoryRegistry registry_;
    SettingsStore store_{registry_};
    MemoryLiveSettings live_;
    RecordingEffects effects_;
    CheckRound round_{effects_, live_, store_, [] { return std::make_unique<MailboxProbe>(); }};
};

TEST_F(CheckRoundTest, DoesNothingAtAllWhileOffline) {
    effects_.online = false;
    ScriptedServer server(LoginThenStat("+OK 3 300\r\n"));
    AddAccount("a@example.org", server.port(), "0");
    Check();
    EXPECT_TRUE(effects_.log.empty());
    EXPECT_FALSE(round_.ConnectNoticeShown);
    EXPECT_EQ(StoredCount(0), "(absent)");
}

TEST_F(CheckRoundTest, WithNoAccountsSetsTheCheckingHintAndDecidesTheNoticeOnce) {
    store_.SaveFlag("pg", "infoconect", true);
    Check();
    Check();
    const std::vector<std::string> expected = {
        "hint Pigeonet - checking e-mail...", "index 0", "balloon Pigeonet|Подключение к e-mail выполнено!|0|10",
        "hint Pigeonet - checking e-mail...", "index 0",
    };
    EXPECT_EQ(effects_.log, expected);
}

TEST_F(CheckRoundTest, MarksTheNoticeShownEvenWhenTheOptionIsOff) {
    Check();
    EXPECT_TRUE(round_.ConnectNoticeShown);
    store_.SaveFlag("pg", "infoconect", true);
    Check();
    for (const auto& line : effects_.log) {
        EXPECT_NE(line.rfind("balloon", 0), 0u) << line;
    }
}

TEST_F(CheckRoundTest, AnUnreadableNoticeOptionCountsAsOffIsNotedAndTheRoundGoesOn) {
    registry_.PutNonText("Software\\Zelvik\\pg", "infoconect");
    ScriptedServer server(LoginThenStat("+OK 3 300\r\n"));
    AddAccount("a@example.org", server.port(), "0");
    Check();
    EXPECT_TRUE(effects_.Announced());
    EXPECT_EQ(StoredCount(0), "3");
    EXPECT_TRUE(round_.ConnectNoticeShown);
    EXPECT_EQ(store_.Unreadable().TakeReport(), "Invalid data type for 'infoconect'");
}

TEST_F(CheckRoundTest, StoresEveryCountAndAnnouncesOnlyAChangeToANonZeroValue) {
    const struct {
        const char* stored;
        const char* reply;
        bool announced;
        const char* storedAfter;
    } cases[] = {
        {"2", "+OK 3 300\r\n", true, "3"},  {"5", "+OK 3 300\r\n", false, "3"}, {"0", "+OK 1 10\r\n", true, "1"},
        {"2", "+OK 2 200\r\n", false, "2"}, {"3", "+OK 0 0\r\n", false, "0"},
    };
    for (const auto& c : cases) {
        MemoryLiveSettings live;
        RecordingEffects effects;
        CheckRound round(effects, live, store_, [] { return std::make_unique<MailboxProbe>(); });
        ScriptedServer server(LoginThenStat(c.reply));
        live.AddAccount({"a@example.org", "127.0.0.1", "user", "secret", c.stored, std::to_string(server.port())});
        round.CheckMailboxes();
        EXPECT_EQ(effects.Announced(), c.announced) << c.stored << " -> " << c.reply;
        EXPECT_EQ(live.AccountAt(0).count, c.storedAfter);
        EXPECT_EQ(StoredCount(0), c.storedAfter);
        const bool quitSent = server.Received().find("QUIT\r\n") != std::string::npos;
        EXPECT_EQ(quitSent, !c.announced) << "the announced account's connection ends without QUIT";
    }
}

TEST_F(CheckRoundTest, AnnouncesOnlyARiseUnlessEveryChangeIsAsked) {
    const struct {
        bool onlyNew;
        const char* stored;
        const char* count;  // the server's
        bool announced;
    } cases[] = {
        {true, "7", "2", false}, {false, "7", "2", true}, {true, "2", "7", true},
        {false, "2", "7", true}, {true, "0", "3", true},  {false, "3", "0", false},
    };
    for (const auto& c : cases) {
        MemoryLiveSettings live;
        live.Values().announceOnlyNew = c.onlyNew;
        RecordingEffects effects;
        CheckRound round(effects, live, store_, [] { return std::make_unique<MailboxProbe>(); });
        ScriptedServer server(LoginThenStat("+OK " + std::string(c.count) + " 100\r\n"));
        live.AddAccount({"a@example.org", "127.0.0.1", "user", "secret", c.stored, std::to_string(server.port())});
        round.CheckMailboxes();
        const std::string context =
            std::string(c.onlyNew ? "only new, " : "every change, ") + c.stored + " -> " + c.count;
        EXPECT_EQ(effects.Announced(), c.announced) << context;
        EXPECT_EQ(effects.Logged("flash"), c.announced) << context;
        EXPECT_EQ(live.AccountAt(0).count, c.count) << context << ": stored all the same";
    }
}

TEST_F(CheckRoundTest, KeepsEnvelopeAndSoundToItselfWhileTheUserAsksForQuiet) {
    using S = NotificationState;
    const struct {
        S state;
        bool quietOption;
        bool loud;  // envelope, sound and display timer
    } cases[] = {
        {S::AcceptsNotifications, true, true},
        {S::NotPresent, true, true},
        {S::App, true, true},
        {S::Busy, true, false},
        {S::RunningDirect3dFullScreen, true, false},
        {S::PresentationMode, true, false},
        {S::QuietTime, true, false},
        {S::PresentationMode, false, true},
        {S::QuietTime, false, true},
    };
    for (const auto& c : cases) {
        for (const bool flash : {true, false}) {
            MemoryLiveSettings live;
            live.Values().quietWhileBusy = c.quietOption;
            live.Values().flashIcon = flash;
            RecordingEffects effects;
            effects.state = c.state;
            CheckRound round(effects, live, store_, [] { return std::make_unique<MailboxProbe>(); });
            ScriptedServer server(LoginThenStat("+OK 5 500\r\n"));
            live.AddAccount({"a@example.org", "127.0.0.1", "user", "secret", "2", std::to_string(server.port())});
            round.CheckMailboxes();
            const std::string context = "state " + std::to_string(static_cast<int>(c.state)) +
                                        (c.quietOption ? ", quiet on" : ", quiet off") + (flash ? ", flash" : "");
            EXPECT_EQ(effects.Announced(), c.loud) << context;
            EXPECT_EQ(effects.Logged("slide in"), c.loud) << context;
            EXPECT_EQ(effects.Logged("sound"), c.loud) << context;
            EXPECT_EQ(effects.Logged("timer2"), c.loud) << context;
            EXPECT_EQ(effects.Logged("flash 400"), flash) << context;
            EXPECT_EQ(StoredCount(0), "5") << context;
            EXPECT_EQ(AccountsHint(live), "Pigeonet\ra@example.org - 5") << context << ": the tooltip";
        }
    }
}

TEST_F(CheckRoundTest, TheFirstRoundWithoutAccountsTellsHowToAddOne) {
    effects_.firstStartHint = "Right-click this icon";
    Check();
    Check();
    EXPECT_EQ(std::count(effects_.log.begin(), effects_.log.end(), "balloon Pigeonet|Right-click this icon|1|20"), 1);

    RecordingEffects effects;
    effects.firstStartHint = "Right-click this icon";
    CheckRound round(effects, live_, store_, [] { return std::make_unique<MailboxProbe>(); });
    AddAccount("a@example.org", scripted::RefusingPort(), "0");
    round.CheckMailboxes();
    EXPECT_FALSE(effects.Logged("balloon")) << "never when accounts exist";
}

TEST_F(CheckRoundTest, AnnouncesInOrderFlashEnvelopeSlideSoundTimer) {
    ScriptedServer server(LoginThenStat("+OK 7 700\r\n"));
    AddAccount("first@example.org", server.port(), "2");
    Check();
    const std::vector<std::string> tail(effects_.log.end() - 5, effects_.log.end());
    const std::vector<std::string> expected = {"flash 400", "envelope 7 first@example.org", "slide in", "sound",
                                               "timer2"};
    EXPECT_EQ(tail, expected);

    live_.Values().flashIcon = false;
    live_.SetAccountCount(0, "1");
    effects_.log.clear();
    ScriptedServer again(LoginThenStat("+OK 7 700\r\n"));
    live_.Values().accounts[0].port = std::to_string(again.port());
    Check();
    for (const auto& line : effects_.log) {
        EXPECT_NE(line, "flash 400") << "no flashing with the option off";
    }
}

TEST_F(CheckRoundTest, SkipsAnUnreachableAccountAndAnnouncesTheNext) {
    ScriptedServer server(LoginThenStat("+OK 4 400\r\n"));
    AddAccount("gone@example.org", scripted::RefusingPort(), "0");
    AddAccount("here@example.org", server.port(), "0");
    Check();
    EXPECT_EQ(live_.AccountAt(0).count, "0");
    EXPECT_EQ(StoredCount(0), "(absent)");
    EXPECT_EQ(StoredCount(1), "4");
    EXPECT_TRUE(effects_.Announced());
}

TEST_F(CheckRoundTest, AnnouncesOnlyTheFirstChangedAccountAndLeavesTheRestForTheNextRound) {
    ScriptedServer first(LoginThenStat("+OK 1 100\r\n"));
    ScriptedServer second(LoginThenStat("+OK 2 200\r\n"));
    AddAccount("first@example.org", first.port(), "0");
    AddAccount("second@example.org", second.port(), "0");
    Check();
    EXPECT_EQ(StoredCount(0), "1");
    EXPECT_EQ(StoredCount(1), "(absent)");
    EXPECT_EQ(second.ReceivedSoFar(), "") << "the second mailbox is not asked this round";
}

TEST_F(CheckRoundTest, LetsAStatFailureEndTheRoundAndReachTheCaller) {
    ScriptedServer failing({scripted::Send("+OK ready\r\n"), scripted::ReadLine(), scripted::Send("+OK\r\n"),
                            scripted::ReadLine(), scripted::Send("+OK\r\n"), scripted::ReadLine(),
                            scripted::Send("-ERR mailbox locked\r\n")});
    ScriptedServer later(LoginThenStat("+OK 1 100\r\n"));
    AddAccount("locked@example.org", failing.port(), "0");
    AddAccount("later@example.org", later.port(), "0");
    EXPECT_THROW(Check(), ReplyError);
    EXPECT_FALSE(round_.Running());
    EXPECT_EQ(later.ReceivedSoFar(), "");
    EXPECT_EQ(StoredCount(1), "(absent)");
}

TEST_F(CheckRoundTest, RefusesAPortTextThatIsNotANumber) {
    live_.AddAccount({"a@example.org", "127.0.0.1", "user", "pw", "0", "pop3"});
    try {
        Check();
        FAIL() << "no failure";
    } catch (const AppError& error) {
        EXPECT_STREQ(error.what(), "'pop3' is not a valid integer value");
    }
}

TEST_F(CheckRoundTest, NeverWritesACountToAnotherAccountWhenRowsChangeMidRound) {
    ScriptedServer first(LoginThenStat("+OK 9 900\r\n"));
    ScriptedServer second(LoginThenStat("+OK 9 900\r\n"));
    AddAccount("first@example.org", first.port(), "9");
    AddAccount("second@example.org", second.port(), "0");
    // The user deletes the first account while the round waits on it.
    bool deleted = false;
    effects_.onProcessMessages = [&] {
        if (!deleted && live_.AccountCount() == 2 && first.ReceivedSoFar().find("PASS") != std::string::npos) {
            live_.RemoveAccount(0);
            deleted = true;
        }
    };
    Check();
    EXPECT_TRUE(deleted);
    ASSERT_EQ(live_.AccountCount(), 1);
    EXPECT_EQ(live_.AccountAt(0).count, "0") << "the second account keeps its own count";
    EXPECT_FALSE(effects_.Announced());
}

TEST_F(CheckRoundTest, StopsAtItsNextStepWhenTheProgramIsClosingAndAnnouncesNothing) {
    const struct {
        const char* when;
        bool afterFirstLogin;
        std::string firstStatReply;
    } cases[] = {
        {"before the first account", false, "+OK 5 500\r\n"},
        {"while the first account is open", true, "+OK 5 500\r\n"},
        {"with the first account's STAT failing", true, "-ERR mailbox locked\r\n"},
    };
    for (const auto& c : cases) {
        ScriptedServer first(LoginThenStat(c.firstStatReply));
        ScriptedServer second(LoginThenStat("+OK 2 200\r\n"));
        live_ = MemoryLiveSettings();
        AddAccount("first@example.org", first.port(), "0");
        AddAccount("second@example.org", second.port(), "0");
        effects_ = RecordingEffects();
        effects_.onProcessMessages = [&] {
            // The exit command is handled by one of the round's pumps.
            if (!c.afterFirstLogin || first.ReceivedSoFar().find("PASS") != std::string::npos) {
                effects_.closing = true;
            }
        };
        EXPECT_NO_THROW(Check()) << c.when;
        EXPECT_FALSE(effects_.Announced()) << c.when;
        EXPECT_EQ(second.ReceivedSoFar(), "") << c.when << ": no further mailbox is asked";
        EXPECT_FALSE(round_.Running()) << c.when;
    }
}

// An IMAP account of this fixture's store with the given marks, asking `server`.
Account ImapAccount(const ScriptedServer& server, const char* count, const char* uidnext, const char* uidvalidity) {
    return {"i@example.org", "127.0.0.1", "user",  "secret",   count, std::to_string(server.port()),
            "imap",          "none",      uidnext, uidvalidity};
}

std::string Status(int unseen, int uidnext, int uidvalidity) {
    return "* STATUS INBOX (MESSAGES 9 UNSEEN " + std::to_string(unseen) + " UIDNEXT " + std::to_string(uidnext) +
           " UIDVALIDITY " + std::to_string(uidvalidity) + ")\r\n";
}

TEST_F(CheckRoundTest, AnnouncesImapUnreadMailOnlyWhenMailArrivedAndStoresTheMarks) {
    const struct {
        const char* what;
        const char* count;
        const char* uidnext;
        const char* uidvalidity;
        std::string status;
        bool announced;
        const char* countAfter;
        const char* uidnextAfter;
        const char* uidvalidityAfter = "5";
    } cases[] = {
        {"first check", "0", "0", "0", Status(2, 10, 5), true, "2", "10"},
        {"nothing readable stored", "0", "x", "5", Status(2, 10, 5), true, "2", "10"},
        {"UIDNEXT grew", "2", "10", "5", Status(3, 11, 5), true, "3", "11"},
        {"unread fell, same UIDNEXT", "3", "11", "5", Status(1, 11, 5), false, "1", "11"},
        {"unread fell as mail arrived and was read", "3", "11", "5", Status(0, 12, 5), false, "0", "12"},
        {"UIDVALIDITY changed", "3", "11", "5", Status(4, 20, 6), false, "4", "20", "6"},
    };
    for (const auto& c : cases) {
        MemoryLiveSettings live;
        RecordingEffects effects;
        CheckRound round(effects, live, store_, [] { return std::make_unique<MailboxProbe>(); });
        ScriptedServer server(scripted::ImapLoginThenStatus(c.status));
        live.AddAccount(ImapAccount(server, c.count, c.uidnext, c.uidvalidity));
        round.CheckMailboxes();
        EXPECT_EQ(effects.Announced(), c.announced) << c.what;
        if (c.announced) {
            EXPECT_EQ(effects.log[effects.log.size() - 4], "envelope " + std::string(c.countAfter) + " i@example.org");
        }
        EXPECT_EQ(live.AccountAt(0).count, c.countAfter) << c.what;
        EXPECT_EQ(live.AccountAt(0).uidnext, c.uidnextAfter) << c.what;
        EXPECT_EQ(StoredCount(0), c.countAfter) << c.what;
        EXPECT_EQ(store_.LoadText("pg", "uidnext0", ""), c.uidnextAfter) << c.what;
        EXPECT_EQ(live.AccountAt(0).uidvalidity, c.uidvalidityAfter) << c.what;
        EXPECT_EQ(store_.LoadText("pg", "uidvalidity0", ""), c.uidvalidityAfter) << c.what;
        const bool logoutSent = server.Received().find("LOGOUT\r\n") != std::string::npos;
        EXPECT_EQ(logoutSent, !c.announced) << c.what << ": the announced account's connection ends without LOGOUT";
    }
}

TEST_F(CheckRoundTest, SkipsAnImapLoginFailureAndLetsAStatusFailureReachTheCaller) {
    ScriptedServer refused({scripted::Send("* OK [CAPABILITY IMAP4rev1] ready\r\n"),
                            scripted::ImapTagged("NO [AUTHENTICATIONFAILED] wrong")});
    live_.AddAccount(ImapAccount(refused, "0", "0", "0"));
    EXPECT_NO_THROW(Check());
    EXPECT_FALSE(effects_.Announced());
    EXPECT_EQ(StoredCount(0), "(absent)");

    Script locked = scripted::ImapLogin();
    locked.push_back(scripted::ImapTagged("NO mailbox locked"));
    ScriptedServer failing(locked);
    live_ = MemoryLiveSettings();
    live_.AddAccount(ImapAccount(failing, "0", "0", "0"));
    try {
        Check();
        FAIL() << "no failure";
    } catch (const ReplyError& error) {
        EXPECT_STREQ(error.what(), " mailbox locked\r\n");
    }
    EXPECT_EQ(StoredCount(0), "(absent)");

    ScriptedServer huge(
        scripted::ImapLoginThenStatus("* STATUS INBOX (MESSAGES 1 UNSEEN 2147483648 UIDNEXT 2 UIDVALIDITY 3)\r\n"));
    live_ = MemoryLiveSettings();
    live_.AddAccount(ImapAccount(huge, "0", "0", "0"));
    try {
        Check();
        FAIL() << "no failure";
    } catch (const ConversionError& error) {
        EXPECT_STREQ(error.what(), "'2147483648' is not a valid integer value");
    }
}

TEST_F(CheckRoundTest, RefusesARoundStartedWhileOneRuns) {
    int nested = 0;
    effects_.onProcessMessages = [&] {
        if (nested++ == 0) {
            Check();
        }
    };
    Check();
    const auto hints = std::count(effects_.log.begin(), effects_.log.end(), "hint Pigeonet - checking e-mail...");
    EXPECT_EQ(hints, 1);
}

}  // namespace
}  // namespace pigeonet
