#include "polling/line_channel.h"

#include <gtest/gtest.h>

#include <string>

#include "polling/mailbox_probe.h"
#include "polling/support/scripted_socket.h"
#include "util/errors.h"

namespace pigeonet {
namespace {

using testing::ScriptedSocketLayer;
using testing::StreamEnd;

constexpr std::int32_t kReplyLimitMs = 3000;  // short: the round's minute would only make the trickles longer

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

// What a server may send for one reply, against scripted sockets whose clock moves only with their waits. Port 995
// sends the bytes instead of a TLS handshake; other ports after a prompt login, instead of the reply to STAT.
TEST(LineChannel, BoundsWhatOneReplyMayCost) {
    // Blank lines and a 9-byte reply making exactly the most one reply may hold, line ends included.
    const std::string full = Repeat("\r\n", 32763) + "\n" + "+OK 5 1\r\n";
    const struct {
        const char* name;
        std::uint16_t port;
        std::string bytes;
        int trickle_ms;  // 0: at once; otherwise one byte after each such pause
        std::string outcome;
    } cases[] = {
        {"continuation flood", 110, "+OK-\r\n" + Repeat("AAAA\r\n", 1000000), 0, "Max line length exceeded."},
        {"blank-line flood", 110, Repeat("\r\n", 40000) + "+OK 1 1\r\n", 0, "Max line length exceeded."},
        {"1000 blank lines first", 110, Repeat("\r\n", 1000) + "+OK 5 1\r\n", 0, "5"},
        {"exactly the most a reply holds", 110, full, 0, "5"},
        {"one byte more", 110, "\n" + full, 0, "Max line length exceeded."},
        {"trickled blank lines", 110, Repeat("\r\n", 1000), 100, "Read Timeout."},
        {"trickled continuation lines", 110, "+OK-\r\n" + Repeat("AAAA\r\n", 1000), 100, "Read Timeout."},
        {"trickled line without LF", 110, "+OK " + std::string(1000, '7'), 100, "Read Timeout."},
        {"steady trickle ending inside the limit", 110, Repeat("\r\n", 10) + "+OK 3 1\r\n", 100, "3"},
        {"trickled TLS handshake", 995, std::string("\x16\x03\x03\x40\x00", 5) + std::string(1000, 'x'), 100,
         "Read Timeout."},
    };
    for (const auto& c : cases) {
        ScriptedSocketLayer layer;
        MailboxProbe probe(layer);
        probe.set_host("mail.example.org");
        probe.set_port(c.port);
        probe.set_read_timeout(5000);
        probe.set_reply_timeout(kReplyLimitMs);
        std::string outcome;
        std::int64_t start = 0;
        try {
            if (c.port != MailboxProbe::kTlsPort) {
                layer.Serve("+OK hello\r\n+OK\r\n+OK\r\n");
                probe.ConnectMailbox(-1);
            }
            layer.Serve(c.bytes);
            layer.data_after_ms = c.trickle_ms;
            if (c.trickle_ms > 0) {
                layer.cuts = {1};
            }
            start = layer.now_ms;
            if (c.port == MailboxProbe::kTlsPort) {
                probe.ConnectMailbox(-1);
            }
            outcome = std::to_string(probe.StatMessageCount());
        } catch (const ProbeError& error) {
            outcome = ErrorDisplayText(error.what());
        }
        EXPECT_EQ(outcome, c.outcome) << c.name;
        if (c.outcome == "Read Timeout.") {
            EXPECT_EQ(layer.now_ms - start, kReplyLimitMs) << c.name;
        }
        // However much was on offer, no more than the most one reply holds and one receive were ever taken in.
        EXPECT_LE(c.bytes.size() - layer.unread(), MailboxProbe::kMaxReplyLength + MailboxProbe::kReceiveChunk)
            << c.name;
    }
}

// The socket layer says what a failed receive did to the connection: an aborted one ends like the peer's close,
// a reset one is the failure itself and leaves the stream as it was.
TEST(LineChannel, ReadsWhatAFailedReceiveDidToTheConnection) {
    const struct {
        StreamEnd end;
        std::string outcome;
        bool closed;
    } cases[] = {
        {StreamEnd::Abort, "Connection Closed Gracefully.", true},
        {StreamEnd::Reset, "Socket Error # 10054\r\nConnection reset by peer.", false},
    };
    for (const auto& c : cases) {
        ScriptedSocketLayer layer;
        layer.Serve("+OK 3");
        layer.end = c.end;
        LineChannel channel(layer);
        channel.Attach(layer.CreateSocket());
        std::string outcome;
        try {
            channel.ReadLine();
        } catch (const ProbeError& error) {
            outcome = error.what();
        }
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(layer.closed, c.closed);
    }
}

// Off the GUI thread, a wait with an abandon check is cut into slices of 100 ms (timed on the layer's clock), the
// check asked before each: a minute's wait gives up at the first slice after the owner said so.
TEST(LineChannel, GivesUpAnAbandonedWaitAtItsNextSlice) {
    ScriptedSocketLayer layer;
    layer.end = StreamEnd::Silence;
    LineChannel channel(layer);
    channel.set_read_timeout(60000);
    channel.Attach(layer.CreateSocket());
    int asked = 0;
    channel.set_abandon_check([&asked] { return ++asked > 3; });
    EXPECT_THROW(channel.ReadLine(), WaitAbandonedError);
    EXPECT_EQ(layer.read_waits, (std::vector<int>{100, 100, 100}));
    // Without a stop, the wait ends at its limit, the last slice cut to what is left.
    asked = -1000;
    layer.read_waits.clear();
    EXPECT_FALSE(channel.WaitReadable(250));
    EXPECT_EQ(layer.read_waits, (std::vector<int>{100, 100, 50}));
}

}  // namespace
}  // namespace pigeonet
