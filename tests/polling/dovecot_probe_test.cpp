#include <gtest/gtest.h>

#include <chrono>

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

}  // namespace
}  // namespace pigeonet
