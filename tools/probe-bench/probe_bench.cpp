// probe-bench [N] [HOST PORT USER PASSWORD]
//
// Probes N accounts (default 50) one after the other, as a check round does with one probe (read timeout
// 5000 ms, connect timeout -1, STAT, QUIT), and prints the time each probe took and a summary. Without a server
// given, an in-process scripted server on 127.0.0.1 answers; tools/probe-bench/dovecot-bench.sh runs it against
// a private Dovecot. A local probe should take far less than one 125 ms connect slice.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "command_line_main.h"
#include "polling/mailbox_probe.h"
#include "scripted-server/pop3_steps.h"
#include "scripted-server/scripted_server.h"
#include "util/errors.h"
#include "util/text.h"

namespace pigeonet {

int RunCommandLine(const std::vector<std::string>& args) {
    if (args.size() != 0 && args.size() != 1 && args.size() != 5) {
        std::fputs("Usage: probe-bench [N] [HOST PORT USER PASSWORD]\n", stderr);
        return 2;
    }
    const int accounts = args.empty() ? 50 : StrToIntDef(args[0], 50);
    std::unique_ptr<scripted::ScriptedServer> server;
    std::string host = "127.0.0.1";
    std::int32_t port = 0;
    std::string user = "user";
    std::string password = "pass";
    if (args.size() == 5) {
        host = args[1];
        port = StrToInt(args[2]);
        user = args[3];
        password = args[4];
    } else {
        server = std::make_unique<scripted::ScriptedServer>(scripted::LoginThenStat("+OK 3 1200\r\n"), accounts);
        port = server->port();
    }
    std::printf("%d probes of %s:%d (%s)\n", accounts, host.c_str(), port,
                server ? "in-process scripted server" : "given server");
    MailboxProbe probe;
    std::vector<double> times;
    for (int i = 0; i < accounts; ++i) {
        probe.set_host(host);
        probe.set_port(port);
        probe.set_user(user);
        probe.set_password(password);
        probe.set_read_timeout(5000);
        const auto start = std::chrono::steady_clock::now();
        try {
            probe.ConnectMailbox(-1);
            const std::int32_t count = probe.StatMessageCount();
            probe.CloseMailbox();
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            times.push_back(ms);
            std::printf("probe %3d: count %d in %.3f ms\n", i + 1, count, ms);
        } catch (const std::exception& error) {
            std::printf("probe %3d: failed: %s\n", i + 1, ErrorDisplayText(error.what()).c_str());
            probe.CloseMailbox();
        }
    }
    if (times.empty()) {
        return 1;
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    const double mean = std::accumulate(times.begin(), times.end(), 0.0) / static_cast<double>(times.size());
    std::printf("per probe: mean %.3f ms, median %.3f ms, min %.3f ms, max %.3f ms (connect slice: %d ms)\n", mean,
                sorted[sorted.size() / 2], sorted.front(), sorted.back(), MailboxProbe::kConnectSliceMs);
    return times.size() == static_cast<std::size_t>(accounts) ? 0 : 1;
}

}  // namespace pigeonet
