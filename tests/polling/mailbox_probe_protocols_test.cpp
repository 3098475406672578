#include <gtest/gtest.h>

#include <string>

#include "polling/account_test.h"
#include "polling/mailbox_probe.h"
#include "polling/support/probe_setup.h"
#include "polling/support/scripted_socket.h"
#include "polling/tls_stream.h"
#include "scripted-server/imap_steps.h"
#include "scripted-server/pop3_steps.h"
#include "scripted-server/scripted_server.h"
#include "settings/live_settings.h"

namespace pigeonet {
namespace {

using testing::FailureOf;

using scripted::ScriptedServer;

class ScriptedProbe : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::ConfigureProbe(probe_, 110);
        probe_.set_host("mail.example.org");
    }

    testing::ScriptedSocketLayer layer_;
    MailboxProbe probe_{layer_};
};

TEST_F(ScriptedProbe, RefusesStarttlsBeforeUserWhenTheServerDoesNotOfferStls) {
    const char* replies[] = {
        "+OK ready\r\n+OK list follows\r\nUSER\r\nSTLSX\r\n..STLS\r\n.\r\n",
        "+OK ready\r\n-ERR unknown command\r\n",
    };
    for (const char* reply : replies) {
        layer_.sent.clear();
        layer_.Serve(reply);
        probe_.set_security(ConnectionSecurity::StartTls);
        const auto [kind, message] = FailureOf([&] { probe_.ConnectMailbox(-1); });
        EXPECT_EQ(kind, ProbeErrorKind::Tls) << reply;
        EXPECT_EQ(message, "TLS not offered: the server does not announce STLS");
        EXPECT_EQ(layer_.sent, "CAPA\r\nQUIT\r\n") << "no USER, no PASS";
    }
}

TEST_F(ScriptedProbe, UpgradesAfterStlsBeforeAnyCredential) {
    // The scripted peer speaks no TLS: the handshake ends with its close, after the client hello went out.
    layer_.Serve("+OK ready\r\n+OK\r\nstls\r\n.\r\n+OK begin\r\n");
    probe_.set_security(ConnectionSecurity::StartTls);
    const auto [kind, message] = FailureOf([&] { probe_.ConnectMailbox(-1); });
    EXPECT_EQ(kind, ProbeErrorKind::Tls);
    EXPECT_EQ(message, kTlsClosed);
    const std::string plain = "CAPA\r\nSTLS\r\n";
    ASSERT_GT(layer_.sent.size(), plain.size());
    EXPECT_EQ(layer_.sent.substr(0, plain.size()), plain);
    EXPECT_EQ(layer_.sent[plain.size()], '\x16') << "a handshake record follows STLS";
    EXPECT_EQ(layer_.sent.find("USER"), std::string::npos);
    EXPECT_EQ(layer_.sent.find("QUIT"), std::string::npos) << "nothing is said on a failed handshake";
}

TEST_F(ScriptedProbe, RefusesAServerThatTalksAheadOfTheStlsHandshake) {
    layer_.Serve("+OK ready\r\n+OK\r\nSTLS\r\n.\r\n+OK begin\r\n+OK injected\r\n");
    probe_.set_security(ConnectionSecurity::StartTls);
    const auto [kind, message] = FailureOf([&] { probe_.ConnectMailbox(-1); });
    EXPECT_EQ(kind, ProbeErrorKind::Tls);
    EXPECT_EQ(layer_.sent, "CAPA\r\nSTLS\r\nQUIT\r\n");
}

TEST_F(ScriptedProbe, SecurityDecidesImplicitTlsOnAnyPortAndThePortOnlyWithoutOne) {
    const struct {
        MailProtocol protocol;
        int port;
        std::optional<ConnectionSecurity> security;
        bool hello;
    } cases[] = {
        {MailProtocol::Pop3, 995, std::nullopt, true},
        {MailProtocol::Pop3, 995, ConnectionSecurity::None, false},
        {MailProtocol::Pop3, 2000, ConnectionSecurity::Tls, true},
        {MailProtocol::Imap, 993, std::nullopt, true},
        {MailProtocol::Imap, 995, std::nullopt, false},
        {MailProtocol::Imap, 143, ConnectionSecurity::Tls, true},
    };
    for (const auto& c : cases) {
        layer_.sent.clear();
        layer_.Serve("+OK ready\r\n");
        probe_.set_protocol(c.protocol);
        probe_.set_port(c.port);
        probe_.set_security(c.security);
        FailureOf([&] { probe_.ConnectMailbox(-1); });
        ASSERT_FALSE(layer_.sent.empty()) << c.port;
        EXPECT_EQ(layer_.sent[0] == '\x16', c.hello) << c.port;
    }
}

TEST_F(ScriptedProbe, RefusesTheOtherProtocolsCountAsAProgrammingError) {
    EXPECT_EQ(FailureOf([&] { probe_.InboxStatus(); }).first, ProbeErrorKind::WrongProtocol);
    probe_.set_protocol(MailProtocol::Imap);
    EXPECT_EQ(FailureOf([&] { probe_.StatMessageCount(); }).first, ProbeErrorKind::WrongProtocol);
    EXPECT_EQ(layer_.sent, "");
}

TEST(ImapProbe, LogsInAsksStatusAndLogsOut) {
    ScriptedServer server(
        scripted::ImapLoginThenStatus("* STATUS INBOX (MESSAGES 5 UNSEEN 3 UIDNEXT 42 UIDVALIDITY 7)\r\n"));
    MailboxProbe probe;
    testing::ConfigureProbe(probe, server.port());
    probe.set_protocol(MailProtocol::Imap);
    probe.ConnectMailbox(-1);
    const MailboxStatus status = probe.InboxStatus();
    probe.CloseMailbox();
    EXPECT_EQ(status.messages, 5u);
    EXPECT_EQ(status.unseen, 3u);
    EXPECT_EQ(status.uidnext, 42u);
    EXPECT_EQ(status.uidvalidity, 7u);
    EXPECT_EQ(server.Received(),
              "A1 LOGIN \"x\" \"y\"\r\nA2 STATUS \"INBOX\" (MESSAGES UNSEEN UIDNEXT UIDVALIDITY)\r\nA3 LOGOUT\r\n");
}

TEST(ImapProbe, FailsTheOpenOnARefusedLoginAndLogsOut) {
    ScriptedServer server({scripted::Send("* OK [CAPABILITY IMAP4rev1] hi\r\n"), scripted::ImapTagged("NO wrong")});
    MailboxProbe probe;
    testing::ConfigureProbe(probe, server.port());
    probe.set_protocol(MailProtocol::Imap);
    const auto [kind, message] = FailureOf([&] { probe.ConnectMailbox(-1); });
    EXPECT_EQ(kind, ProbeErrorKind::Reply);
    EXPECT_EQ(message, " wrong\r\n");
    EXPECT_EQ(server.Received(), "A1 LOGIN \"x\" \"y\"\r\nA2 LOGOUT\r\n");
}

TEST(AccountTest, ChecksOnceAndTellsTheCountOrTheFailure) {
    using Outcome = AccountTestResult::Outcome;
    ScriptedServer pop3(scripted::LoginThenStat("+OK 4 400\r\n"));
    ScriptedServer imap(
        scripted::ImapLoginThenStatus("* STATUS INBOX (MESSAGES 5 UNSEEN 2 UIDNEXT 9 UIDVALIDITY 1)\r\n"));
    ScriptedServer locked(scripted::LoginThenStat("-ERR locked\r\n"));
    const auto port = [](const ScriptedServer& server) { return std::to_string(server.port()); };
    const struct {
        std::string port;
        const char* protocol;
        Outcome outcome;
        std::int32_t count;
        std::string message;
    } cases[] = {
        {port(pop3), "pop3", Outcome::Count, 4, ""},
        {port(imap), "imap", Outcome::Count, 2, ""},
        {port(locked), "bogus", Outcome::CountFailure, 0, " locked\r\n"},
        {std::to_string(scripted::RefusingPort()), "pop3", Outcome::OpenFailure, 0,
         "Socket Error # 10061\r\nConnection refused."},
        {"0", "pop3", Outcome::OpenFailure, 0, "'0' is not a port from 1 to 65535."},
        {"65536", "imap", Outcome::OpenFailure, 0, "'65536' is not a port from 1 to 65535."},
        {"pop", "pop3", Outcome::OpenFailure, 0, "'pop' is not a port from 1 to 65535."},
    };
    for (const auto& c : cases) {
        Account account{"a@example.org", "127.0.0.1", "x", "y", "0", c.port, c.protocol, "none"};
        const AccountTestResult result = TestAccountOnce(account);
        EXPECT_EQ(result.outcome, c.outcome) << c.port;
        EXPECT_EQ(result.count, c.count) << c.port;
        EXPECT_EQ(result.message, c.message) << c.port;
    }
}

}  // namespace
}  // namespace pigeonet
