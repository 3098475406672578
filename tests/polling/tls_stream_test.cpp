#include "polling/tls_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "polling/mailbox_probe.h"
#include "polling/support/recording_pump.h"
#include "polling/support/scripted_socket.h"
#include "util/errors.h"

namespace pigeonet {
namespace {

// A stand-in for a TLS engine with a readable wire format: the handshake is "hello" out and "\x16done" in;
// records are "<data>" in and "[data]" out; "!" in is the peer's close notify, "#" a broken record; "!bye" out is
// our close notify.
class FakeEngine final : public TlsEngine {
  public:
    bool Handshake(std::string& input, std::string& output) override {
        if (!started_) {
            started_ = true;
            output += "hello";
            return false;
        }
        if (input.rfind("\x16"
                        "done",
                        0) != 0) {
            return false;
        }
        input.erase(0, 5);
        return true;
    }

    bool Decrypt(std::string& input, std::string& plain, std::string&) override {
        for (;;) {
            if (input.empty()) {
                return true;
            }
            if (input[0] == '!') {
                input.erase(0, 1);
                return false;
            }
            if (input[0] == '#') {
                throw TlsError("TLS error: broken record");
            }
            const auto end = input.find('>');
            if (end == std::string::npos) {
                return true;  // a record not yet complete
            }
            plain += input.substr(1, end - 1);
            input.erase(0, end + 1);
        }
    }

    void Encrypt(std::string_view plain, std::string& output) override { output += "[" + std::string(plain) + "]"; }

    void CloseNotify(std::string& output) override { output += "!bye"; }

  private:
    bool started_ = false;
};

class TlsStreamTest : public ::testing::Test {
  protected:
    // A stream whose handshake has completed, with `records` arriving after it.
    TlsStream& Established(const std::string& records = "") {
        layer_.Serve(
            "\x16"
            "done");
        EXPECT_FALSE(stream_.Handshake());
        EXPECT_TRUE(stream_.WaitReadable(1000));
        EXPECT_TRUE(stream_.Handshake());
        layer_.Serve(records);
        return stream_;
    }

    std::string ReceiveAll() {
        std::string text;
        char buffer[4];
        while (stream_.WaitReadable(1000)) {
            const std::size_t n = stream_.Receive(buffer, sizeof buffer);
            if (n == 0) {
                break;
            }
            text.append(buffer, n);
        }
        return text;
    }

    testing::ScriptedSocketLayer layer_;
    TlsStream stream_{layer_.CreateSocket(), std::make_unique<FakeEngine>()};
};

TEST_F(TlsStreamTest, SendsWritesAsRecordsAndTheCloseNotifyLast) {
    Established();
    EXPECT_EQ(stream_.Send("QUIT\r\n", 6), 6u);
    stream_.Close();
    EXPECT_EQ(layer_.sent, "hello[QUIT\r\n]!bye");
    EXPECT_TRUE(layer_.closed);
    EXPECT_FALSE(stream_.IsOpen());
}

TEST_F(TlsStreamTest, DeliversDecryptedDataAndThenThePeersCloseNotify) {
    Established("<+OK rea><dy\r\n>!");
    EXPECT_EQ(ReceiveAll(), "+OK ready\r\n");
}

TEST_F(TlsStreamTest, ReportsReadableOnlyOnceAWholeRecordHasArrived) {
    Established("<+OK");
    // The half record is taken, then the scripted peer closes: the close is the news, not the half record.
    char buffer[16];
    EXPECT_TRUE(stream_.WaitReadable(1000));
    EXPECT_EQ(stream_.Receive(buffer, sizeof buffer), 0u);
}

TEST_F(TlsStreamTest, RaisesABrokenRecordFromReceive) {
    Established("#");
    char buffer[16];
    EXPECT_TRUE(stream_.WaitReadable(1000));
    try {
        stream_.Receive(buffer, sizeof buffer);
        FAIL();
    } catch (const TlsError& error) {
        EXPECT_STREQ(error.what(), "TLS error: broken record");
    }
}

TEST_F(TlsStreamTest, RefusesAPeerThatAnswersTheHelloInPlainText) {
    EXPECT_FALSE(stream_.Handshake());
    layer_.Serve("+OK POP3 ready\r\n");
    EXPECT_TRUE(stream_.WaitReadable(1000));
    try {
        stream_.Handshake();
        FAIL();
    } catch (const TlsError& error) {
        EXPECT_STREQ(error.what(), kTlsNotTls);
    }
}

TEST_F(TlsStreamTest, ReportsAPeerThatClosesDuringTheHandshake) {
    EXPECT_FALSE(stream_.Handshake());
    EXPECT_TRUE(stream_.WaitReadable(1000));  // nothing scripted: the peer has closed
    try {
        stream_.Handshake();
        FAIL();
    } catch (const TlsError& error) {
        EXPECT_STREQ(error.what(), kTlsClosed);
    }
    stream_.Close();
    EXPECT_EQ(layer_.sent, "hello");  // no close notify without a session
}

// Port 995 through the probe with this platform's real engine and scripted sockets.
class Pop3sProbe : public ::testing::Test {
  protected:
    void SetUp() override {
        probe_.set_host("mail.example.org");
        probe_.set_port(MailboxProbe::kTlsPort);
        probe_.set_user("x");
        probe_.set_password("y");
        probe_.set_read_timeout(5000);
    }

    ProbeErrorKind FailedOpen(std::string* message) {
        try {
            probe_.ConnectMailbox(-1);
        } catch (const ProbeError& error) {
            *message = error.what();
            return error.kind();
        }
        ADD_FAILURE() << "the open succeeded";
        return ProbeErrorKind::Socket;
    }

    testing::ScriptedSocketLayer layer_;
    MailboxProbe probe_{layer_};
};

TEST_F(Pop3sProbe, StartsWithAClientHelloInsteadOfWaitingForAGreeting) {
    layer_.Serve("+OK POP3 ready\r\n");
    std::string message;
    EXPECT_EQ(FailedOpen(&message), ProbeErrorKind::Tls);
    EXPECT_EQ(ErrorDisplayText(message), "TLS handshake failed: the server did not answer in TLS.");
    ASSERT_FALSE(layer_.sent.empty());
    EXPECT_EQ(layer_.sent[0], '\x16');  // a handshake record
    EXPECT_EQ(layer_.sent.find("QUIT"), std::string::npos);
    EXPECT_TRUE(layer_.closed);
}

TEST_F(Pop3sProbe, TimesOutASilentHandshakeWithTheReadTimeout) {
    layer_.silent_read_waits = 1000;
    std::string message;
    EXPECT_EQ(FailedOpen(&message), ProbeErrorKind::ReadTimeout);
    EXPECT_EQ(layer_.read_waits, std::vector<int>{5000});
    EXPECT_EQ(layer_.sent.find("QUIT"), std::string::npos);
    EXPECT_TRUE(layer_.closed);
}

TEST_F(Pop3sProbe, SlicesAndPumpsTheHandshakeWaitOnTheGuiThread) {
    testing::RecordingPump pump;
    layer_.silent_read_waits = 1000;
    std::string message;
    EXPECT_EQ(FailedOpen(&message), ProbeErrorKind::ReadTimeout);
    EXPECT_EQ(layer_.read_waits, std::vector<int>(20, IdlePump::kIdleSliceMs));
    EXPECT_EQ(pump.runs.size(), 20u);
}

TEST_F(Pop3sProbe, RefusesAHostItCannotCheckBeforeSendingAnything) {
    for (const std::string& host : {std::string(), std::string("mail.example.org\0.evil", 21)}) {
        layer_.sent.clear();
        probe_.set_host(host);
        std::string message;
        EXPECT_EQ(FailedOpen(&message), ProbeErrorKind::Tls);
        EXPECT_EQ(message, kTlsHostUnchecked);
        EXPECT_EQ(layer_.sent, "");
    }
}

TEST_F(Pop3sProbe, NamesTheServerInTheHelloOnlyForAHostName) {
    // The server name (SNI) travels in clear in the client hello; an address is checked, never sent as a name.
    const struct {
        const char* host;
        bool named;
    } cases[] = {{"mail.example.org", true}, {"127.1", false}, {"2130706433", false}, {"10.0.0.1", false}};
    for (const auto& c : cases) {
        layer_.sent.clear();
        layer_.Serve("+OK POP3 ready\r\n");
        probe_.set_host(c.host);
        std::string message;
        FailedOpen(&message);
        EXPECT_EQ(layer_.sent.find(c.host) != std::string::npos, c.named) << c.host;
    }
}

TEST_F(Pop3sProbe, SpeaksPlainPop3OnEveryOtherPort) {
    probe_.set_port(110);
    layer_.Serve("+OK ready\r\n+OK\r\n+OK\r\n");
    probe_.ConnectMailbox(-1);
    EXPECT_EQ(layer_.sent, "USER x\r\nPASS y\r\n");
    probe_.CloseMailbox();
}

}  // namespace
}  // namespace pigeonet
