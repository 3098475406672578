#include "polling/check_round.h"
#include "polling/mailbox_health.h"
#include "polling/mailbox_probe.h"
#include "polling/poll_schedule.h"
#include "polling/support/dovecot_server.h"
#include "polling/tls_stream.h"
#include "scripted-server/pop3_steps.h"
#include "scripted-server/scripted_server.h"
#include "settings/live_settings.h"
#include "settings/settings_store.h"
#include "util/memory_registry.h"
#include "util/utf8.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace pigeonet {
namespace {

using scripted::ScriptedServer;

// A round's effects that only say what is needed: online, and the failures nobody sees.
class QuietEffects final : public RoundEffects {
  public:
    bool IsOnline() override { return true; }
    std::string StatusCaption() override { return "checking e-mail"; }
    void SetTrayHint(const std::string&) override {}
    void SetTrayIconIndex(int) override {}
    void ShowTrayBalloon(const std::string&, const std::string&, int, int) override {}
    void SetTrayCycleInterval(unsigned) override {}
    void ProcessMessages() override {}
    bool ProgramClosing() override { return false; }
    void ShowEnvelope(int, const std::string&) override {}
    void SlideIn() override {}
    void PlayAlertSound() override {}
    void StartDisplayTimer() override {}
    NotificationState UserNotificationState() override { return NotificationState::AcceptsNotifications; }
    std::string FirstStartHint() override { return ""; }
};

// The round over one account "box@example.org" and the tooltip the poll tick builds after it, in English.
class FailingMailboxTest : public ::testing::Test {
  protected:
    void SetAccount(std::uint16_t port,
                    const std::string& security = "none",
                    const std::string& login = "user",
                    const std::string& password = "secret") {
        live_ = MemoryLiveSettings();
        live_.AddAccount(
            {"box@example.org", "127.0.0.1", login, password, "4", std::to_string(port), "pop3", security});
    }
    std::string HintAfterRound() {
        round_.CheckMailboxes();
        return AccountsHint(live_, round_.Health(), LanguageIndex::English);
    }

    MemoryRegistry registry_;
    SettingsStore store_{registry_};
    MemoryLiveSettings live_;
    QuietEffects effects_;
    CheckRound round_{effects_, live_, store_, [] { return std::make_unique<MailboxProbe>(); }};
};

scripted::Script RefusedLogin() {
    return {scripted::Send("+OK ready\r\n"),
            scripted::ReadLine(),
            scripted::Send("+OK\r\n"),
            scripted::ReadLine(),
            scripted::Send("-ERR [AUTH] Authentication failed.\r\n"),
            scripted::ReadLine()};
}

TEST_F(FailingMailboxTest, EachFailureToOpenNamesItsClassUntilTheMailboxAnswersAgain) {
    const struct {
        const char* name;
        scripted::Script script;
        const char* security;
        const char* hint;
    } cases[] = {
        {"login refused", RefusedLogin(), "none", "Pigeonet\rbox@example.org - login refused"},
        {"plain text to a TLS account",
         {scripted::Send("+OK ready\r\n"), scripted::Pause(500)},
         "tls",
         "Pigeonet\rbox@example.org - TLS refused"},
        {"silence",
         {scripted::Pause(CheckRound::kReadTimeoutMs + 1500)},
         "none",
         "Pigeonet\rbox@example.org - timed out"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint16_t port = 0;
        {
            ScriptedServer failing(c.script);
            port = failing.port();
            SetAccount(port, c.security);
            EXPECT_EQ(HintAfterRound(), c.hint);
            EXPECT_EQ(live_.AccountAt(0).count, "4") << "the failing account keeps its count";
        }
        // The fault is gone: the same account answers on the same port.
        SetAccount(port);
        ScriptedServer working(scripted::LoginThenStat("+OK 6 600\r\n"), 1, port);
        EXPECT_EQ(HintAfterRound(), "Pigeonet\rbox@example.org - 6");
        EXPECT_TRUE(round_.Health().Empty());
    }
}

TEST_F(FailingMailboxTest, ARefusedPortCannotConnect) {
    SetAccount(scripted::RefusingPort());
    EXPECT_EQ(HintAfterRound(), "Pigeonet\rbox@example.org - cannot connect");
    EXPECT_EQ(AccountsHint(live_, round_.Health(), LanguageIndex::Russian),
              "Pigeonet\rbox@example.org - нет соединения");
    EXPECT_EQ(AccountsHint(live_), "Pigeonet\rbox@example.org - 4") << "the plain hint knows of no failures";
}

TEST_F(FailingMailboxTest, AFailureThatEndsTheRoundStaysInTheLineWithItsOwnWords) {
    {
        ScriptedServer locked(scripted::LoginThenStat("-ERR mailbox is locked\r\n"));
        SetAccount(locked.port());
        EXPECT_THROW(round_.CheckMailboxes(), ProbeError) << "the failure still goes on to the error display";
        EXPECT_EQ(AccountsHint(live_, round_.Health(), LanguageIndex::English),
                  "Pigeonet\rbox@example.org - mailbox is locked");
    }
    ScriptedServer working(scripted::LoginThenStat("+OK 4 400\r\n"));
    SetAccount(working.port());
    EXPECT_EQ(HintAfterRound(), "Pigeonet\rbox@example.org - 4") << "a changed port is another way in: no record";
}

TEST_F(FailingMailboxTest, RecordsFollowTheAccountAndLeaveWithIt) {
    SetAccount(scripted::RefusingPort());
    round_.CheckMailboxes();
    const Account failing = live_.AccountAt(0);
    live_.AddAccount({"other@example.org", "127.0.0.1", "u", "p", "2", "110"});
    live_.RemoveAccount(0);
    live_.AddAccount(failing);
    EXPECT_EQ(AccountsHint(live_, round_.Health(), LanguageIndex::German),
              "Pigeonet\rother@example.org - 2\rbox@example.org - keine Verbindung");
    live_.RemoveAccount(1);
    live_.RemoveAccount(0);
    round_.CheckMailboxes();
    EXPECT_TRUE(round_.Health().Empty()) << "a round forgets the accounts no longer listed";
}

TEST(AccountsHintWithFailures, KeepsWithinTheTooltipAtACharacterBoundary) {
    MemoryLiveSettings settings;
    MailboxHealth health;
    for (int i = 0; i < 6; ++i) {
        settings.AddAccount({"почта" + std::to_string(i) + "@пример.рф", "pop", "u", "p", "3", "110"});
        health.RecordFailure(settings.AccountAt(i), MailboxFailure::LoginRefused);
    }
    const std::string hint = AccountsHint(settings, health, LanguageIndex::Russian);
    EXPECT_EQ(CutToUnits(hint, kTrayHintUnits), hint);
    EXPECT_EQ(CountCodePoints(hint), kTrayHintUnits) << "every character here is one UTF-16 unit";
    EXPECT_EQ(CutToUnits("ab\xF0\x9F\x93\xAB", 3), "ab") << "a pair is never halved";
    EXPECT_EQ(CutToUnits("я\xFFz", 2), "я\xFF") << "an invalid byte shows as one unit";
    EXPECT_EQ(MailboxFailureText(MailboxFailure::TimedOut, LanguageIndex::Kazakh), "timed out");
}

TEST(ClassifyOpenFailure, TellsEveryCertificateRefusalFromOtherTlsFailures) {
    for (const char* certificate : {kTlsUntrusted, kTlsWrongHost, kTlsExpired, kTlsHostUnchecked}) {
        EXPECT_EQ(ClassifyOpenFailure(TlsError(certificate)), MailboxFailure::CertificateNotTrusted) << certificate;
    }
    EXPECT_EQ(ClassifyOpenFailure(TlsError(kTlsClosed)), MailboxFailure::TlsRefused);
    EXPECT_EQ(ClassifyOpenFailure(ConnectError(10060)), MailboxFailure::TimedOut);
}

// Against Dovecot: a wrong password, then the right one; the server down, then up again on its port; a
// certificate the system does not trust (it knows nothing of the test authority).
TEST_F(FailingMailboxTest, DovecotRefusesAWrongPasswordAndCannotBeReachedWhileDown) {
    testing::DovecotServer server("user:pass");
    if (!server.Start()) {
        GTEST_SKIP() << server.why_not();
    }
    server.Deliver("user", 2);
    SetAccount(server.port(), "none", "user", "wrong");
    EXPECT_EQ(HintAfterRound(), "Pigeonet\rbox@example.org - login refused");
    SetAccount(server.port(), "none", "user", "pass");
    EXPECT_EQ(HintAfterRound(), "Pigeonet\rbox@example.org - 2");
    server.Stop();
    EXPECT_EQ(HintAfterRound(), "Pigeonet\rbox@example.org - cannot connect");
    testing::DovecotServer again("user:pass", "--port " + std::to_string(server.port()));
    if (!again.Start()) {
        GTEST_SKIP() << again.why_not();
    }
    again.Deliver("user", 3);
    EXPECT_EQ(HintAfterRound(), "Pigeonet\rbox@example.org - 3");
}

TEST_F(FailingMailboxTest, DovecotWithAnUntrustedCertificate) {
    testing::TestCertificate certificate;
    if (!certificate.Make()) {
        GTEST_SKIP() << "openssl could not make the test certificate";
    }
    testing::DovecotServer server("user:pass", "--tls " + certificate.cert_and_key());
    if (!server.Start()) {
        GTEST_SKIP() << server.why_not();
    }
    SetAccount(server.port(), "tls", "user", "pass");
    EXPECT_EQ(HintAfterRound(), "Pigeonet\rbox@example.org - certificate not trusted");
}

}  // namespace
}  // namespace pigeonet
