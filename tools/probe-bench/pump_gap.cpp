// pump-gap [SECONDS]
//
// How long the GUI can go without its turn while a probe waits: runs one probe (as a check round does: read timeout
// 5000 ms, reply timeout 60 s, connect timeout -1) with an idle pump registered, against an in-process scripted
// server that stays silent after the login, trickles one byte every 100 ms for SECONDS (default 10) before its
// reply, or floods 10 MB of continuation lines; prints the largest gap between two turns of the GUI (the start and
// the end of the probe count as turns). Every gap should stay within 250 ms plus one slice of 250 ms. A
// measurement, not a test: exit status 1 only when a gap is over that bound.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "command_line_main.h"
#include "polling/check_round.h"
#include "polling/idle_pump.h"
#include "polling/mailbox_probe.h"
#include "scripted-server/pop3_steps.h"
#include "scripted-server/scripted_server.h"
#include "util/errors.h"
#include "util/text.h"

namespace pigeonet {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kBoundMs = IdlePump::kIdleSliceMs * 2.0;

// Stands in for the GUI: its turns are only recorded.
class TimingPump final : public IdlePump {
  public:
    void ProcessPendingMessages() override { turns.push_back(Clock::now()); }
    bool IsGuiThread() const override { return std::this_thread::get_id() == gui_thread_; }

    std::vector<Clock::time_point> turns;

  private:
    std::thread::id gui_thread_ = std::this_thread::get_id();
};

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// One probe against `script`; prints its line and returns the largest gap.
double Measure(const char* name, scripted::Script script) {
    scripted::ScriptedServer server(std::move(script));
    TimingPump pump;
    MailboxProbe probe;
    probe.set_host("127.0.0.1");
    probe.set_port(server.port());
    probe.set_user("user");
    probe.set_password("pass");
    probe.set_read_timeout(CheckRound::kReadTimeoutMs);
    probe.set_reply_timeout(CheckRound::kReplyTimeoutMs);
    std::string outcome;
    const auto start = Clock::now();
    try {
        probe.ConnectMailbox(-1);
        outcome = "count " + std::to_string(probe.StatMessageCount());
        probe.CloseMailbox();
    } catch (const std::exception& error) {
        outcome = ErrorDisplayText(error.what());
    }
    const auto end = Clock::now();
    std::vector<Clock::time_point> turns{start};
    turns.insert(turns.end(), pump.turns.begin(), pump.turns.end());
    turns.push_back(end);
    double largest = 0;
    for (std::size_t i = 1; i < turns.size(); ++i) {
        largest = std::max(largest, Milliseconds(turns[i] - turns[i - 1]));
    }
    std::printf("%-8s largest gap %7.1f ms  (%4zu turns in %8.1f ms; %s)\n", name, largest, pump.turns.size(),
                Milliseconds(end - start), outcome.c_str());
    std::fflush(stdout);
    return largest;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args) {
    if (args.size() > 1) {
        std::fputs("Usage: pump-gap [SECONDS]\n", stderr);
        return 2;
    }
    const int seconds = args.empty() ? 10 : std::max(1, StrToIntDef(args[0], 10));
    std::printf("largest gap between two turns of the GUI during one probe (bound: %.0f ms, 250 ms and one slice)\n",
                kBoundMs);

    auto silence = scripted::LoginThenStat("");
    auto trickle = scripted::LoginThenStat("");
    trickle.push_back(
        scripted::Trickle(std::string(static_cast<std::size_t>(seconds) * 10, '\n') + "+OK 7 1\r\n", 100));
    std::string lines;
    for (int i = 0; i < 10 * 1024 * 1024 / 6; ++i) {
        lines += "AAAA\r\n";
    }
    auto flood = scripted::LoginThenStat("+OK-\r\n");
    flood.push_back(scripted::Send(std::move(lines)));

    const double largest =
        std::max({Measure("silence", silence), Measure("trickle", trickle), Measure("flood", flood)});
    return largest <= kBoundMs ? 0 : 1;
}

}  // namespace pigeonet
