#include "polling/mailbox_probe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "polling/support/probe_setup.h"
#include "scripted-server/pop3_steps.h"
#include "scripted-server/scripted_server.h"
#include "util/errors.h"

namespace pigeonet {
namespace {

using testing::FailureOf;

using scripted::Close;
using scripted::LoginThenStat;
using scripted::Pause;
using scripted::ReadLine;
using scripted::Reset;
using scripted::Script;
using scripted::ScriptedServer;
using scripted::Send;
using scripted::Trickle;
using testing::ConfigureProbe;

constexpr char kWholeConversation[] = "USER x\r\nPASS y\r\nSTAT\r\nQUIT\r\n";

// Runs the round's calling order against `server`; returns the count or rethrows the failure.
std::int32_t Probe(ScriptedServer& server, std::int32_t read_timeout = 2000) {
    MailboxProbe probe;
    ConfigureProbe(probe, server.port(), read_timeout);
    probe.ConnectMailbox(-1);
    const std::int32_t count = probe.StatMessageCount();
    probe.CloseMailbox();
    return count;
}

TEST(MailboxProbe, SendsExactlyUserPassStatQuitAndReturnsTheCount) {
    ScriptedServer server(LoginThenStat("+OK 3 1200\r\n"));
    EXPECT_EQ(Probe(server), 3);
    EXPECT_EQ(server.Received(), kWholeConversation);
}

TEST(MailboxProbe, SendsUserWithItsBlankWhenTheLoginIsEmpty) {
    ScriptedServer server(LoginThenStat("+OK 0 0\r\n"));
    MailboxProbe probe;
    ConfigureProbe(probe, server.port());
    probe.set_user("");
    probe.set_password("");
    probe.ConnectMailbox(-1);
    probe.CloseMailbox();
    EXPECT_EQ(server.Received(), "USER \r\nPASS \r\nQUIT\r\n");
}

TEST(MailboxProbe, SendsUserAndPasswordByteForByte) {
    ScriptedServer server(LoginThenStat("+OK 1 1\r\n"));
    MailboxProbe probe;
    ConfigureProbe(probe, server.port());
    probe.set_user("Jörg ");
    probe.set_password("пароль \"q\"");
    probe.ConnectMailbox(-1);
    probe.CloseMailbox();
    EXPECT_EQ(server.Received(), "USER Jörg \r\nPASS пароль \"q\"\r\nQUIT\r\n");
}

TEST(MailboxProbe, ReadsTheCountFromEveryAcceptedStatReply) {
    const struct {
        const char* reply;
        std::int32_t count;
    } cases[] = {
        {"+OK 2 320\r\n", 2},
        {"+OK\r\n", 0},
        {"+OK 0 0\r\n", 0},
        {"+ok 7 1\r\n", 7},
        {"+OK\t3 100\r\n", 3},
        {"+OK 4 1\n", 4},
        {"\r\n  \r\n\t\r\n+OK 5 1\r\n", 5},
        {"  +OK 6 1  \r\n", 6},
        {"+OK 007 9\r\n", 7},
        {"+OK 2147483647 9\r\n", 2147483647},
    };
    for (const auto& c : cases) {
        ScriptedServer server(LoginThenStat(c.reply));
        EXPECT_EQ(Probe(server), c.count) << c.reply;
    }
}

TEST(MailboxProbe, RefusesCountsThatAreNotIntegers) {
    const struct {
        const char* reply;
        const char* message;
    } cases[] = {
        {"+OK 5\r\n", "'' is not a valid integer value"},
        {"+OK  5 100\r\n", "'' is not a valid integer value"},
        {"+OK 5\t100\r\n", "'' is not a valid integer value"},
        {"+OK five 100\r\n", "'five' is not a valid integer value"},
        {"+OK 5a 100\r\n", "'5a' is not a valid integer value"},
        {"+OK 2147483648 100\r\n", "'2147483648' is not a valid integer value"},
        {"+OK 4294967301 100\r\n", "'4294967301' is not a valid integer value"},
        {"+OK $ 100\r\n", "'$' is not a valid integer value"},
        // A count is decimal digits alone: no sign, no hexadecimal form.
        {"+OK -5 1\r\n", "'-5' is not a valid integer value"},
        {"+OK -3 9\r\n", "'-3' is not a valid integer value"},
        {"+OK +2147483647 9\r\n", "'+2147483647' is not a valid integer value"},
        {"+OK 0x10 1\r\n", "'0x10' is not a valid integer value"},
        {"+OK $10 1\r\n", "'$10' is not a valid integer value"},
        {"+OK $1F 9\r\n", "'$1F' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        ScriptedServer server(LoginThenStat(c.reply));
        const auto [kind, message] = FailureOf([&] { Probe(server); });
        EXPECT_EQ(kind, ProbeErrorKind::Conversion) << c.reply;
        EXPECT_EQ(message, c.message) << c.reply;
        EXPECT_EQ(ErrorDisplayText(message), std::string(c.message) + ".");
    }
}

TEST(MailboxProbe, KeepsTheWholeMessageAroundANulByteAndDropsTheNul) {
    const struct {
        std::string reply;
        std::string message;
    } cases[] = {
        {std::string("+OK 3\0 1\r\n", 10), "'3' is not a valid integer value"},
        {std::string("-ERR lo\0cked\r\n", 14), " locked\r\n"},
    };
    for (const auto& c : cases) {
        ScriptedServer server(LoginThenStat(c.reply));
        EXPECT_EQ(FailureOf([&] { Probe(server); }).second, c.message);
    }
}

TEST(MailboxProbe, ReportsANegativeStatReplyWithItsText) {
    ScriptedServer server(LoginThenStat("-err mailbox locked\r\n"));
    const auto [kind, message] = FailureOf([&] { Probe(server); });
    EXPECT_EQ(kind, ProbeErrorKind::Reply);
    EXPECT_EQ(message, " mailbox locked\r\n");
    EXPECT_EQ(ErrorDisplayText(message), message);
}

TEST(MailboxProbe, AcceptsALowerCaseGreeting) {
    ScriptedServer server({Send("+ok hi\r\n"), ReadLine(), Send("+ok\r\n"), ReadLine(), Send("+ok\r\n"), ReadLine(),
                           Send("+ok 1 2\r\n")});
    EXPECT_EQ(Probe(server), 1);
    EXPECT_EQ(server.Received(), kWholeConversation);
}

TEST(MailboxProbe, SendsQuitAfterANegativeGreeting) {
    ScriptedServer server({Send("-ERR too busy\r\n")});
    MailboxProbe probe;
    ConfigureProbe(probe, server.port());
    const auto [kind, message] = FailureOf([&] { probe.ConnectMailbox(-1); });
    EXPECT_EQ(kind, ProbeErrorKind::Reply);
    EXPECT_EQ(message, " too busy\r\n");
    probe.CloseMailbox();
    EXPECT_EQ(server.Received(), "QUIT\r\n");
}

TEST(MailboxProbe, SendsQuitAfterRejectedPassword) {
    ScriptedServer server(
        {Send("+OK ready\r\n"), ReadLine(), Send("+OK\r\n"), ReadLine(), Send("-ERR invalid password\r\n")});
    MailboxProbe probe;
    ConfigureProbe(probe, server.port());
    const auto [kind, message] = FailureOf([&] { probe.ConnectMailbox(-1); });
    EXPECT_EQ(kind, ProbeErrorKind::Reply);
    EXPECT_EQ(message, " invalid password\r\n");
    probe.CloseMailbox();  // the round's own close: nothing more goes out
    EXPECT_EQ(server.Received(), "USER x\r\nPASS y\r\nQUIT\r\n");
}

TEST(MailboxProbe, RejectsAFirstLineOfAnotherProtocol) {
    const struct {
        const char* greeting;
        const char* message;
    } cases[] = {
        {"HTTP/1.1 400 Bad Request\r\n", "Unrecognized POP3 Response Header:\n\"/1.1 400 Bad Request\r\n\""},
        {"+OKAY hello\r\n", "Unrecognized POP3 Response Header:\n\"Y hello\r\n\""},
        {"+OK1\r\n", "Unrecognized POP3 Response Header:\n\"\r\n\""},
    };
    for (const auto& c : cases) {
        ScriptedServer server({Send(c.greeting)});
        MailboxProbe probe;
        ConfigureProbe(probe, server.port());
        const auto [kind, message] = FailureOf([&] { probe.ConnectMailbox(-1); });
        EXPECT_EQ(kind, ProbeErrorKind::UnrecognizedReply) << c.greeting;
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(ErrorDisplayText(message), message);
        EXPECT_EQ(server.Received(), "QUIT\r\n");
    }
}

TEST(MailboxProbe, KeepsTheStatusWordAndTextLinesOfTheLastReply) {
    ScriptedServer server(LoginThenStat("+OK\t2 320  \r\n"));
    MailboxProbe probe;
    ConfigureProbe(probe, server.port());
    probe.ConnectMailbox(-1);
    EXPECT_EQ(probe.StatMessageCount(), 2);
    EXPECT_EQ(probe.last_reply().status_word, "+OK");
    EXPECT_EQ(probe.last_reply().status, ProbeReply::kPositive);
    EXPECT_EQ(probe.last_reply().text_lines, std::vector<std::string>{"2 320"});
}

TEST(MailboxProbe, AcceptsALineOfExactlyTheMaximumLength) {
    // 16384 bytes before the LF, the CR included.
    const std::string greeting = "+OK " + std::string(16384 - 4 - 1, 'a') + "\r\n";
    ScriptedServer server(
        {Send(greeting), ReadLine(), Send("+OK\r\n"), ReadLine(), Send("+OK\r\n"), ReadLine(), Send("+OK 9 9\r\n")});
    EXPECT_EQ(Probe(server), 9);
}

TEST(MailboxProbe, RefusesLongerLines) {
    // 16385 bytes before the LF (with or without a CR), and 16385 bytes with no LF at all.
    const std::string full = "+OK " + std::string(16384 - 4, 'a');
    for (const std::string& greeting : {full + "\r\n", full + "a\n", full + "a"}) {
        ScriptedServer server({Send(greeting)});
        MailboxProbe probe;
        ConfigureProbe(probe, server.port());
        const auto [kind, message] = FailureOf([&] { probe.ConnectMailbox(-1); });
        EXPECT_EQ(kind, ProbeErrorKind::LineTooLong);
        EXPECT_EQ(message, "Max line length exceeded.");
        EXPECT_EQ(server.Received(), "QUIT\r\n");
    }
}

TEST(MailboxProbe, DropsAPartialLineWhenThePeerCloses) {
    ScriptedServer server({Send("+OK ready\r\n"), ReadLine(), Send("+OK\r\n"), ReadLine(), Send("+OK\r\n"), ReadLine(),
                           Send("+OK 3"), Close()});
    MailboxProbe probe;
    ConfigureProbe(probe, server.port());
    probe.ConnectMailbox(-1);
    const auto [kind, message] = FailureOf([&] { probe.StatMessageCount(); });
    EXPECT_EQ(kind, ProbeErrorKind::ConnectionClosed);
    EXPECT_EQ(message, "Connection Closed Gracefully.");
    probe.CloseMailbox();  // closed: no QUIT
    EXPECT_EQ(server.Received(), "USER x\r\nPASS y\r\nSTAT\r\n");
}

TEST(MailboxProbe, FailsTheOpenWhenThePeerClosesBeforeGreeting) {
    ScriptedServer server({Close()});
    MailboxProbe probe;
    ConfigureProbe(probe, server.port());
    EXPECT_EQ(FailureOf([&] { probe.ConnectMailbox(-1); }).second, "Connection Closed Gracefully.");
    EXPECT_EQ(server.Received(), "");
}

TEST(MailboxProbe, ReportsAResetAsASocketError) {
    ScriptedServer server(
        {Send("+OK ready\r\n"), ReadLine(), Send("+OK\r\n"), ReadLine(), Send("+OK\r\n"), ReadLine(), Reset()});
    MailboxProbe probe;
    ConfigureProbe(probe, server.port());
    probe.ConnectMailbox(-1);
    const auto [kind, message] = FailureOf([&] { probe.StatMessageCount(); });
    EXPECT_EQ(kind, ProbeErrorKind::Socket);
    EXPECT_EQ(message, "Socket Error # 10054\r\nConnection reset by peer.");
}

TEST(MailboxProbe, TimesOutOnSilenceAndStaysConnected) {
    ScriptedServer server(LoginThenStat(""));
    MailboxProbe probe;
    ConfigureProbe(probe, server.port(), 300);
    probe.ConnectMailbox(-1);
    const auto start = std::chrono::steady_clock::now();
    const auto [kind, message] = FailureOf([&] { probe.StatMessageCount(); });
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(kind, ProbeErrorKind::ReadTimeout);
    EXPECT_EQ(ErrorDisplayText(message), "Read Timeout.");
    EXPECT_GE(waited, std::chrono::milliseconds(290));
    probe.CloseMailbox();  // still in TRANSACTION: QUIT goes out
    EXPECT_EQ(server.Received(), kWholeConversation);
}

TEST(MailboxProbe, NeverTimesOutOnATrickleWithinTheTimeout) {
    Script script = LoginThenStat("");
    script.push_back(Trickle("+OK 2 9\r\n", 150));
    ScriptedServer server(script);
    EXPECT_EQ(Probe(server, 400), 2);
}

TEST(MailboxProbe, DoesNotWaitForTheReplyToQuit) {
    ScriptedServer server(LoginThenStat("+OK 1 1\r\n"));
    MailboxProbe probe;
    ConfigureProbe(probe, server.port(), 3000);
    probe.ConnectMailbox(-1);
    probe.StatMessageCount();
    const auto start = std::chrono::steady_clock::now();
    probe.CloseMailbox();
    // Well below the read timeout of 3000 ms, with room for a loaded machine.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
}

TEST(MailboxProbe, ConnectsToLocalhostInAnyCase) {
    for (const char* host : {"localhost", "LOCALHOST", "LocalHost"}) {
        ScriptedServer server(LoginThenStat("+OK 1 1\r\n"));
        MailboxProbe probe;
        ConfigureProbe(probe, server.port());
        probe.set_host(host);
        probe.ConnectMailbox(-1);
        EXPECT_EQ(probe.StatMessageCount(), 1) << host;
    }
}

TEST(MailboxProbe, UsesOnlyTheLowSixteenBitsOfThePort) {
    ScriptedServer server(LoginThenStat("+OK 1 1\r\n"));
    MailboxProbe probe;
    ConfigureProbe(probe, server.port());
    probe.set_port(65536 + server.port());
    probe.ConnectMailbox(-1);
    EXPECT_EQ(probe.StatMessageCount(), 1);
}

TEST(MailboxProbe, ReportsARefusedPort) {
    const std::string refused = "Socket Error # 10061\r\nConnection refused.";
    MailboxProbe probe;
    ConfigureProbe(probe, scripted::RefusingPort());
    // Without a pump the connect blocks once; with an explicit limit it is waited for in slices.
    EXPECT_EQ(FailureOf([&] { probe.ConnectMailbox(-1); }), std::make_pair(ProbeErrorKind::Socket, refused));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FailureOf([&] { probe.ConnectMailbox(5000); }), std::make_pair(ProbeErrorKind::Connect, refused));
    // Ended by the refusal, not by the limit of 5000 ms; a loaded machine may add to the slice of 125 ms.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    probe.CloseMailbox();  // nothing to send, nothing raised
}

TEST(MailboxProbe, ReportsAnUnknownHost) {
    MailboxProbe probe;
    ConfigureProbe(probe, 110);
    probe.set_host("no-such-host.invalid");
    const auto [kind, message] = FailureOf([&] { probe.ConnectMailbox(-1); });
    EXPECT_EQ(kind, ProbeErrorKind::Socket);
    EXPECT_EQ(message, "Socket Error # 11001\r\nHost not found.");
    // Looked up on a worker within a connect limit: the same failure.
    EXPECT_EQ(FailureOf([&] { probe.ConnectMailbox(30000); }), std::make_pair(kind, message));
}

TEST(MailboxProbe, RefusesReadsAndWritesWithoutAConnection) {
    ScriptedServer server(LoginThenStat("+OK 1 1\r\n"));
    MailboxProbe probe;
    ConfigureProbe(probe, server.port());
    EXPECT_EQ(FailureOf([&] { probe.StatMessageCount(); }).second, "Not Connected");
    probe.ConnectMailbox(-1);
    probe.CloseMailbox();
    EXPECT_EQ(FailureOf([&] { probe.StatMessageCount(); }).second, "Not Connected");
    EXPECT_EQ(FailureOf([&] { probe.ReadLine(); }).second, "Not Connected");
}

TEST(MailboxProbe, RefusesASecondOpenAndKeepsTheFirst) {
    ScriptedServer server(LoginThenStat("+OK 4 1\r\n"));
    MailboxProbe probe;
    ConfigureProbe(probe, server.port());
    probe.ConnectMailbox(-1);
    EXPECT_EQ(FailureOf([&] { probe.ConnectMailbox(-1); }).second, "Already connected.");
    EXPECT_EQ(probe.StatMessageCount(), 4);
}

TEST(MailboxProbe, ServesOneConnectionAfterAnother) {
    ScriptedServer server(LoginThenStat("+OK 2 1\r\n"), 2);
    MailboxProbe probe;
    ConfigureProbe(probe, server.port());
    for (int i = 0; i < 2; ++i) {
        probe.ConnectMailbox(-1);
        EXPECT_EQ(probe.StatMessageCount(), 2);
        probe.CloseMailbox();
    }
    EXPECT_EQ(server.Received(), std::string(kWholeConversation) + kWholeConversation);
}

TEST(MailboxProbe, NeverSendsALineBreakInsideACommand) {
    ScriptedServer server(LoginThenStat("+OK 1 1\r\n"));
    MailboxProbe probe;
    ConfigureProbe(probe, server.port());
    probe.set_password("y\r\nDELE 1");
    EXPECT_EQ(FailureOf([&] { probe.ConnectMailbox(-1); }).first, ProbeErrorKind::InvalidCommand);
    EXPECT_EQ(server.Received(), "USER x\r\nQUIT\r\n");
}

TEST(MailboxProbe, ClosesWithoutQuitWhenReleased) {
    ScriptedServer server(LoginThenStat("+OK 1 1\r\n"));
    {
        MailboxProbe probe;
        ConfigureProbe(probe, server.port());
        probe.ConnectMailbox(-1);
        probe.StatMessageCount();
    }
    EXPECT_EQ(server.Received(), "USER x\r\nPASS y\r\nSTAT\r\n");
}

// The demo mailbox of `make run`: any login, a count that starts where it is told, one client after another.
TEST(MailboxProbe, CountsTheDemoMailbox) {
    ScriptedServer server(scripted::DemoMailbox(3, std::chrono::hours(1)), 0);
    EXPECT_EQ(Probe(server), 3);
    EXPECT_EQ(Probe(server), 3);
}

}  // namespace
}  // namespace pigeonet
