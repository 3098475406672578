#include "polling/idle_pump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <future>
#include <numeric>
#include <thread>

#include "polling/mailbox_probe.h"
#include "polling/support/recording_pump.h"
#include "polling/support/scripted_socket.h"
#include "scripted-server/pop3_steps.h"
#include "scripted-server/scripted_server.h"

namespace pigeonet {
namespace {

using testing::RecordingPump;
using testing::ScriptedSocketLayer;

constexpr char kLogin[] = "+OK hello\r\n+OK\r\n+OK\r\n";

// A name server that answers only when the layer goes (or after 2 s), which waits for the probe's one lookup to
// come back.
class SilentNameServer : public ScriptedSocketLayer {
  public:
    ~SilentNameServer() override {
        answer_.set_value();
        for (int ms = 0; ms < 5000 && answered_ == 0; ++ms) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    std::uint32_t ResolveHost(const std::string&) override {
        gate_.wait_for(std::chrono::seconds(2));
        ++answered_;  // the worker's last touch of the layer
        return 0x0A000001;
    }

  private:
    std::promise<void> answer_;
    std::shared_future<void> gate_ = answer_.get_future().share();
    std::atomic<int> answered_{0};
};

// A probe over scripted sockets, logged in and waiting for the STAT reply, whose reads find nothing for
// `silent_waits` waits.
void OpenThenSilence(MailboxProbe& probe, ScriptedSocketLayer& layer, int silent_waits) {
    layer.Serve(kLogin);
    probe.ConnectMailbox(-1);
    layer.read_waits.clear();
    layer.silent_read_waits = silent_waits;
}

TEST(IdlePump, RegistersItselfWhileItExists) {
    EXPECT_EQ(RegisteredIdlePump(), nullptr);
    {
        RecordingPump pump;
        EXPECT_EQ(RegisteredIdlePump(), &pump);
        EXPECT_TRUE(IdlePumpApplies());
    }
    EXPECT_EQ(RegisteredIdlePump(), nullptr);
    EXPECT_FALSE(IdlePumpApplies());
    RequestIdlePump(true);  // nothing registered: nothing happens
}

TEST(IdlePump, RunsOnlyForIdleRequestsFromTheGuiThread) {
    RecordingPump pump;
    RequestIdlePump(false);
    EXPECT_EQ(pump.runs.size(), 0u);
    RequestIdlePump(true);
    EXPECT_EQ(pump.runs.size(), 1u);
    std::thread([] { RequestIdlePump(true); }).join();
    EXPECT_EQ(pump.runs.size(), 1u);
    pump.set_only_when_idle(false);
    RequestIdlePump(false);
    EXPECT_EQ(pump.runs.size(), 2u);
    pump.set_active(false);
    RequestIdlePump(true);
    EXPECT_EQ(pump.runs.size(), 2u);
    EXPECT_FALSE(IdlePumpApplies());
}

TEST(IdlePump, SlicesAReadTimeoutIntoQuarterSeconds) {
    const struct {
        std::int32_t timeout;
        std::vector<int> waits;
    } cases[] = {
        {5000, std::vector<int>(20, 250)}, {600, {100, 250, 250}}, {251, {1, 250}}, {250, {250}}, {100, {100}},
    };
    for (const auto& c : cases) {
        RecordingPump pump;
        ScriptedSocketLayer layer;
        MailboxProbe probe(layer);
        probe.set_read_timeout(c.timeout);
        OpenThenSilence(probe, layer, 1000);
        pump.runs.clear();
        EXPECT_THROW(probe.StatMessageCount(), ReadTimeoutError);
        EXPECT_EQ(layer.read_waits, c.waits) << c.timeout;
        EXPECT_EQ(pump.runs.size(), c.waits.size()) << c.timeout;
        EXPECT_EQ(layer.sent, "USER \r\nPASS \r\nSTAT\r\n");
    }
}

TEST(IdlePump, WaitsWithoutLimitInSlicesUntilDataComes) {
    RecordingPump pump;
    ScriptedSocketLayer layer;
    MailboxProbe probe(layer);
    OpenThenSilence(probe, layer, 7);
    layer.Serve("+OK 2 9\r\n");
    pump.runs.clear();
    EXPECT_EQ(probe.StatMessageCount(), 2);
    EXPECT_EQ(layer.read_waits, std::vector<int>(8, 250));
    EXPECT_EQ(pump.runs.size(), 7u);  // not after the slice that found data
}

// A byte in every slice: the GUI still has its turn once the quarter second is over, in the slice that ends past it.
TEST(IdlePump, ServesTheGuiEveryQuarterSecondWhileDataTrickles) {
    RecordingPump pump;
    ScriptedSocketLayer layer;
    MailboxProbe probe(layer);
    probe.set_read_timeout(5000);
    OpenThenSilence(probe, layer, 0);
    layer.Serve(std::string(50, '\n') + "+OK 2 9\r\n");
    layer.data_after_ms = 100;
    layer.cuts = {1};
    std::vector<std::int64_t> turns{layer.now_ms};
    pump.on_run = [&] { turns.push_back(layer.now_ms); };
    EXPECT_EQ(probe.StatMessageCount(), 2);
    turns.push_back(layer.now_ms);
    EXPECT_EQ(turns.size(), 2u + 19u);  // 5.9 s of trickle, a turn every 300 ms
    for (std::size_t i = 1; i < turns.size(); ++i) {
        EXPECT_LE(turns[i] - turns[i - 1], 300) << i;
    }
}

TEST(IdlePump, DoesNotSliceWhenNoPumpApplies) {
    for (bool registered : {false, true}) {
        std::optional<RecordingPump> pump;
        if (registered) {
            pump.emplace();
            pump->gui_thread = std::thread::id();  // the probe runs on another thread than the GUI
        }
        ScriptedSocketLayer layer;
        MailboxProbe probe(layer);
        probe.set_read_timeout(5000);
        OpenThenSilence(probe, layer, 1);
        EXPECT_THROW(probe.StatMessageCount(), ReadTimeoutError);
        EXPECT_EQ(layer.read_waits, std::vector<int>{5000});
        if (pump) {
            EXPECT_TRUE(pump->runs.empty());
        }
    }
}

TEST(IdlePump, SlicesAPendingConnectUpToItsLimit) {
    RecordingPump pump;
    ScriptedSocketLayer layer;
    layer.pending_connect_waits = -1;
    MailboxProbe probe(layer);
    EXPECT_THROW(probe.ConnectMailbox(400), ConnectTimeoutError);
    EXPECT_EQ(layer.connect_waits, (std::vector<int>{125, 125, 125, 25}));
    EXPECT_EQ(pump.runs.size(), 4u);  // after every slice, the last one too
    EXPECT_TRUE(layer.closed);
    probe.CloseMailbox();
    EXPECT_EQ(layer.sent, "");
}

TEST(IdlePump, WaitsTwoMinutesForAPumpedConnectWithoutExplicitLimit) {
    RecordingPump pump;
    ScriptedSocketLayer layer;
    layer.pending_connect_waits = -1;
    MailboxProbe probe(layer);
    try {
        probe.ConnectMailbox(-1);
        FAIL();
    } catch (const ConnectTimeoutError& error) {
        EXPECT_STREQ(error.what(), "Connect timed out.");
    }
    EXPECT_EQ(std::accumulate(layer.connect_waits.begin(), layer.connect_waits.end(), 0), 120000);
    EXPECT_EQ(*std::max_element(layer.connect_waits.begin(), layer.connect_waits.end()), 125);
    EXPECT_EQ(pump.runs.size(), 960u);
}

TEST(IdlePump, ReportsARefusalAtTheEndOfItsSlice) {
    RecordingPump pump;
    ScriptedSocketLayer layer;
    layer.pending_connect_waits = 3;
    layer.connect_error = 10061;
    MailboxProbe probe(layer);
    try {
        probe.ConnectMailbox(-1);
        FAIL();
    } catch (const ConnectError& error) {
        EXPECT_STREQ(error.what(), "Socket Error # 10061\r\nConnection refused.");
    }
    EXPECT_EQ(layer.connect_waits.size(), 3u);
    EXPECT_EQ(pump.runs.size(), 2u);
}

TEST(IdlePump, AbandonedWaitsEndAtTheNextPumpRequest) {
    const struct {
        const char* wait;
        std::function<void(MailboxProbe&, ScriptedSocketLayer&)> run;
    } cases[] = {
        {"a reply",
         [](MailboxProbe& probe, ScriptedSocketLayer& layer) {
             probe.set_read_timeout(5000);
             OpenThenSilence(probe, layer, 1000);
             probe.StatMessageCount();
         }},
        {"a connect",
         [](MailboxProbe& probe, ScriptedSocketLayer& layer) {
             layer.pending_connect_waits = -1;
             probe.ConnectMailbox(-1);
         }},
        {"a trickled reply",
         [](MailboxProbe& probe, ScriptedSocketLayer& layer) {
             probe.set_read_timeout(5000);
             OpenThenSilence(probe, layer, 0);
             layer.Serve(std::string(100000, '\n'));
             layer.data_after_ms = 100;
             layer.cuts = {1};
             probe.StatMessageCount();
         }},
    };
    for (const auto& c : cases) {
        RecordingPump pump;
        // The exit command arrives through the second pump.
        pump.on_run = [&] {
            if (pump.runs.size() == 2) {
                pump.abandon_waits();
            }
        };
        ScriptedSocketLayer layer;
        MailboxProbe probe(layer);
        EXPECT_THROW(c.run(probe, layer), WaitAbandonedError) << c.wait;
        EXPECT_EQ(pump.runs.size(), 2u) << c.wait << ": given up at once, not after the timeout";
    }
}

// The lookup of a name is part of the connect: the GUI is served while the name server is silent, the connect's
// limit ends the wait, and so does the end of the program, neither waiting for the lookup.
TEST(IdlePump, ServesTheGuiWhileTheNameServerIsSilent) {
    const struct {
        std::int32_t connect_limit;
        std::size_t abandon_at;  // the pump run that brings the exit command; 0: none
        ProbeErrorKind failure;
        std::size_t runs;
    } cases[] = {
        {400, 0, ProbeErrorKind::ConnectTimeout, 4},  // slices of 125, 125, 125 and 25 ms
        {-1, 2, ProbeErrorKind::Abandoned, 2},
    };
    for (const auto& c : cases) {
        SilentNameServer layer;
        RecordingPump pump;
        pump.on_run = [&] {
            if (pump.runs.size() == c.abandon_at) {
                pump.abandon_waits();
            }
        };
        MailboxProbe probe(layer);
        probe.set_host("mail.example.org");
        try {
            probe.ConnectMailbox(c.connect_limit);
            ADD_FAILURE() << "connected";
        } catch (const ProbeError& error) {
            EXPECT_EQ(error.kind(), c.failure) << error.what();
        }
        EXPECT_EQ(pump.runs.size(), c.runs) << c.connect_limit;
        EXPECT_TRUE(layer.connect_waits.empty());
        EXPECT_TRUE(layer.closed);
    }  // the probe goes first: the late answer finds its lookup gone
}

TEST(IdlePump, LeavesAnUnpumpedConnectToOneBlockingWait) {
    ScriptedSocketLayer layer;
    layer.pending_connect_waits = 1;
    layer.connect_error = 10060;
    MailboxProbe probe(layer);
    EXPECT_THROW(probe.ConnectMailbox(0), SocketError);
    EXPECT_EQ(layer.connect_waits, std::vector<int>{-1});
}

TEST(MailboxProbe, AsksTheResolverOnlyForNames) {
    const struct {
        const char* host;
        bool resolved;
    } cases[] = {
        {"localhost", false}, {"LOCALHOST", false}, {"10.1.2.3", false}, {"255.255.255.255", false},
        {"1.2.3.4.5", true},  {"256.1.1.1", true},  {"1.2.3", true},     {"mail.example.org", true},
        {"1.2.3.x", true},    {"localhost.", true},
    };
    for (const auto& c : cases) {
        ScriptedSocketLayer layer;
        layer.Serve(kLogin);
        MailboxProbe probe(layer);
        probe.set_host(c.host);
        probe.ConnectMailbox(-1);
        EXPECT_EQ(layer.resolved.size(), c.resolved ? 1u : 0u) << c.host;
    }
}

// Real time: the pump must serve the GUI at least every 250 ms while a server stays silent for 5000 ms.
TEST(IdlePump, RunsAtLeastEveryQuarterSecondWhileTheServerIsSilent) {
    scripted::ScriptedServer server(scripted::LoginThenStat(""));
    RecordingPump pump;
    MailboxProbe probe;
    probe.set_host("127.0.0.1");
    probe.set_port(server.port());
    probe.set_read_timeout(5000);
    probe.ConnectMailbox(-1);
    EXPECT_TRUE(pump.runs.empty());  // data flowed: no pump
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(probe.StatMessageCount(), ReadTimeoutError);
    const auto end = std::chrono::steady_clock::now();
    // The count shows the quarter-second slices; the gaps, that the runs are spread over the wait, not bunched. Their
    // bound leaves room for a loaded machine, which may hold the thread back well beyond a slice now and then.
    ASSERT_EQ(pump.runs.size(), 20u);
    auto previous = start;
    for (const auto& run : pump.runs) {
        EXPECT_LE(run - previous, std::chrono::milliseconds(1000));
        previous = run;
    }
    EXPECT_GE(end - start, std::chrono::milliseconds(4990));
}

TEST(IdlePump, DoesNotRunWhileDataFlows) {
    scripted::ScriptedServer server(scripted::LoginThenStat("+OK 3 300\r\n"));
    RecordingPump pump;
    MailboxProbe probe;
    probe.set_host("localhost");
    probe.set_port(server.port());
    probe.set_read_timeout(5000);
    probe.ConnectMailbox(-1);
    EXPECT_EQ(probe.StatMessageCount(), 3);
    probe.CloseMailbox();
    EXPECT_TRUE(pump.runs.empty());
}

}  // namespace
}  // namespace pigeonet
