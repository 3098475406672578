#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <vector>

#include "polling/mailbox_probe.h"
#include "polling/support/dovecot_server.h"
#include "polling/support/recording_pump.h"

namespace pigeonet {
namespace {

// Every test gets a fresh server: Dovecot delays logins from an address that has just failed one.
class MailboxProbeWithDovecot : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!server_.Start()) {
            GTEST_SKIP() << server_.why_not();
        }
    }

    // The round's calling order: connect with -1, STAT, QUIT.
    std::int32_t Probe(const std::string& user = "user", const std::string& password = "pass") {
        probe_.set_host("127.0.0.1");
        probe_.set_port(server_.port());
        probe_.set_user(user);
        probe_.set_password(password);
        probe_.set_read_timeout(5000);
        probe_.ConnectMailbox(-1);
        const std::int32_t count = probe_.StatMessageCount();
        probe_.CloseMailbox();
        return count;
    }

    testing::DovecotServer server_{"user:pass joerg:пароль"};
    MailboxProbe probe_;
};

TEST_F(MailboxProbeWithDovecot, CountsAnEmptyMailboxAsZero) {
    EXPECT_EQ(Probe(), 0);
}

TEST_F(MailboxProbeWithDovecot, CountsDeliveredMessages) {
    server_.Deliver("user", 3);
    EXPECT_EQ(Probe(), 3);
    server_.Deliver("user", 1);
    EXPECT_EQ(Probe(), 4);  // the same probe, a second connection
}

TEST_F(MailboxProbeWithDovecot, SendsANonAsciiPasswordByteForByte) {
    server_.Deliver("joerg", 2);
    EXPECT_EQ(Probe("joerg", "пароль"), 2);
}

TEST_F(MailboxProbeWithDovecot, FailsTheOpenWithTheServersTextForAWrongPassword) {
    try {
        Probe("user", "wrong");
        FAIL();
    } catch (const ReplyError& error) {
        EXPECT_STREQ(error.what(), " [AUTH] Authentication failed.\r\n");
    }
    probe_.CloseMailbox();  // already closed by the failed open: nothing raised
}

TEST_F(MailboxProbeWithDovecot, CompletesWithoutPumpingWhenTheServerAnswersAtOnce) {
    server_.Deliver("user", 1);
    testing::RecordingPump pump;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Probe(), 1);
    // The GUI gets its turn once the waits add up to a quarter second, which a busy machine can make of Dovecot's
    // answers; only a probe that took less than that must not have pumped at all.
    if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(250)) {
        EXPECT_TRUE(pump.runs.empty());
    }
}

// One probe of an account as the check round makes it: IMAP counts the unread messages of INBOX, POP3 every message.
std::int64_t CountOnce(MailboxProbe& probe) {
    probe.ConnectMailbox(-1);
    const std::int64_t count =
        probe.protocol() == MailProtocol::Imap ? std::int64_t{probe.InboxStatus().unseen} : probe.StatMessageCount();
    probe.CloseMailbox();
    return count;
}

void Configure(MailboxProbe& probe,
               MailProtocol protocol,
               ConnectionSecurity security,
               std::uint16_t port,
               const std::string& user) {
    probe.set_host("localhost");  // the test certificate names it
    probe.set_port(port);
    probe.set_user(user);
    probe.set_password("pass");
    probe.set_protocol(protocol);
    probe.set_security(security);
    probe.set_read_timeout(5000);
}

// The probe trusts the test authority alone while it lives.
class TrustedAuthority {
  public:
    explicit TrustedAuthority(const std::string& file) {
        setenv("SSL_CERT_FILE", file.c_str(), 1);
        setenv("SSL_CERT_DIR", "/nonexistent", 1);
    }
    ~TrustedAuthority() {
        unsetenv("SSL_CERT_FILE");
        unsetenv("SSL_CERT_DIR");
    }
};

struct Route {
    const char* user;  // one mailbox of its own for each route
    MailProtocol protocol;
    ConnectionSecurity security;
    std::uint16_t (testing::DovecotServer::*port)() const;
    std::int64_t count;  // of 5 delivered messages once 2 of them are seen
};

// Every way in reaches the same count: IMAP's unread messages, POP3's messages whether seen or not. One Dovecot
// serves all routes (with STARTTLS offered on its plain ports), so the cases cost one start.
TEST(MailboxProbeWithDovecotOverEachRoute, CountsUnreadOverImapAndEveryMessageOverPop3) {
    const Route routes[] = {
        {"imap_none", MailProtocol::Imap, ConnectionSecurity::None, &testing::DovecotServer::imap_port, 3},
        {"imap_starttls", MailProtocol::Imap, ConnectionSecurity::StartTls, &testing::DovecotServer::imap_port, 3},
        {"imap_tls", MailProtocol::Imap, ConnectionSecurity::Tls, &testing::DovecotServer::imaps_port, 3},
        {"pop3_starttls", MailProtocol::Pop3, ConnectionSecurity::StartTls, &testing::DovecotServer::port, 5},
    };
    testing::TestCertificate certificate;
    if (!certificate.Make()) {
        GTEST_SKIP() << "openssl could not make the test certificate";
    }
    std::string accounts;
    for (const Route& route : routes) {
        accounts += std::string(route.user) + ":pass ";
    }
    testing::DovecotServer server(accounts, "--imap --starttls " + certificate.cert_and_key());
    if (!server.Start()) {
        GTEST_SKIP() << server.why_not();
    }
    const TrustedAuthority trusted(certificate.authority());
    for (const Route& route : routes) {
        SCOPED_TRACE(route.user);
        server.Deliver(route.user, 5);
        MailboxProbe probe;
        Configure(probe, route.protocol, route.security, (server.*route.port)(), route.user);
        EXPECT_EQ(CountOnce(probe), 5);
        // Read on another device after Dovecot has looked at the mailbox: its next answer knows.
        server.MarkSeen(route.user, 2);
        EXPECT_EQ(CountOnce(probe), route.count);
    }
}

// The lines of Dovecot's login processes (pop3-login, imap-login) in `log`.
std::vector<std::string> LoginProcessLines(const std::string& log) {
    std::vector<std::string> lines;
    std::istringstream stream(log);
    for (std::string line; std::getline(stream, line);) {
        if (line.find("-login: ") != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

// A server that offers no STARTTLS gets no credential from an account that asks for it: the probe gives up before
// USER or LOGIN, and Dovecot logs each connection as one without an authentication attempt.
TEST(MailboxProbeWithDovecotWithoutTls, RefusesAStartTlsAccountBeforeAnyCredential) {
    testing::DovecotServer server("starttls_only:pass", "--imap");
    if (!server.Start()) {
        GTEST_SKIP() << server.why_not();
    }
    const MailProtocol protocols[] = {MailProtocol::Imap, MailProtocol::Pop3};
    for (const MailProtocol protocol : protocols) {
        SCOPED_TRACE(protocol == MailProtocol::Imap ? "IMAP" : "POP3");
        MailboxProbe probe;
        Configure(probe, protocol, ConnectionSecurity::StartTls,
                  protocol == MailProtocol::Imap ? server.imap_port() : server.port(), "starttls_only");
        EXPECT_THROW(CountOnce(probe), ProbeError);
        probe.CloseMailbox();
    }
    // Dovecot's log process writes on its own time: wait for the probes' disconnections (after the two greetings
    // dovecot.sh waited for at the start).
    std::vector<std::string> lines;
    for (int tenth = 0; tenth < 200 && lines.size() < 4; ++tenth) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        lines = LoginProcessLines(server.Log());
    }
    ASSERT_EQ(lines.size(), 4u) << server.Log();
    for (const std::string& line : lines) {
        EXPECT_NE(line.find("Disconnected"), std::string::npos) << line;
        EXPECT_NE(line.find("no auth attempts"), std::string::npos) << line;
        EXPECT_EQ(line.find("Login:"), std::string::npos) << line;
        EXPECT_EQ(line.find("starttls_only"), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace pigeonet
