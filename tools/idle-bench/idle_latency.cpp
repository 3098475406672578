// idle-latency HOST PORT USER PASSWORD MAILDIR [DELIVERIES] [GAP_MS]
//
// How soon new mail is known with IDLE: one InboxWatchers watching one IMAP account (plain IMAP, as the program's
// watcher connects) while this program delivers DELIVERIES messages (default 20) into MAILDIR, GAP_MS apart (default
// 3000), the way a delivery agent does (written under tmp/, moved into new/). After each notice it checks the
// account as a round does (a fresh MailboxProbe: LOGIN, STATUS, LOGOUT) and prints the time from the delivery to the
// notice and to the check's result, then their median and worst. There is no polling at all here: without a notice
// nothing would be checked. tools/idle-bench/idle-latency.sh runs it against a private Dovecot.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "command_line_main.h"
#include "polling/inbox_watch.h"
#include "polling/mailbox_probe.h"
#include "posix_watch_environment.h"
#include "settings/live_settings.h"
#include "util/errors.h"
#include "util/text.h"

namespace pigeonet {
namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// One message into the Maildir, owned like the folder (Dovecot's user): a file under tmp/ renamed into new/, which
// is the moment it has arrived. Returns false when the file system refused.
bool Deliver(const std::string& maildir, int serial) {
    struct stat folder {};
    if (stat(maildir.c_str(), &folder) != 0) {
        return false;
    }
    const std::string name = std::to_string(time(nullptr)) + ".L" + std::to_string(getpid()) + "_" +
                             std::to_string(serial) + ".idle-latency";
    const std::string draft = maildir + "/tmp/" + name;
    {
        std::ofstream file(draft, std::ios::binary);
        file << "From: sender@example.org\r\nTo: user@example.org\r\nSubject: latency " << serial
             << "\r\n\r\nHello.\r\n";
        if (!file.good()) {
            return false;
        }
    }
    if (chown(draft.c_str(), folder.st_uid, folder.st_gid) != 0) {
        return false;
    }
    return rename(draft.c_str(), (maildir + "/new/" + name).c_str()) == 0;
}

// The noticed changes, handed over from the watcher's thread as the program's window message would be.
class Notices {
  public:
    void Add() {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++count_;
        changed_.notify_all();
    }
    void Clear() {
        const std::lock_guard<std::mutex> lock(mutex_);
        count_ = 0;
    }
    // True when a change was noticed within `limit`.
    bool Await(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return count_ > 0; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

// The median and the worst of `values`, printed under `what`.
void PrintSummary(const char* what, std::vector<double> values) {
    if (values.empty()) {
        return;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    const double median = values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    std::printf("%s: median %.1f ms, worst %.1f ms, best %.1f ms\n", what, median, values.back(), values.front());
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args) {
    if (args.size() < 5 || args.size() > 7) {
        std::fputs("Usage: idle-latency HOST PORT USER PASSWORD MAILDIR [DELIVERIES] [GAP_MS]\n", stderr);
        return 2;
    }
    Account account;
    account.email = args[2] + "@localhost";
    account.server = args[0];
    account.port = args[1];
    account.login = args[2];
    account.password = args[3];
    account.protocol = "imap";
    account.security = "none";
    const std::string maildir = args[4];
    const int deliveries = args.size() > 5 ? StrToIntDef(args[5], 20) : 20;
    const int gap_ms = args.size() > 6 ? StrToIntDef(args[6], 3000) : 3000;

    PosixWatchEnvironment environment;
    Notices notices;
    InboxWatchers watchers(environment, [&](int) { notices.Add(); });
    watchers.Follow({account});
    // The watcher logs in, opens the INBOX and starts idling; whatever it reports meanwhile is not a delivery's.
    notices.Await(std::chrono::milliseconds(2000));

    MailboxProbe probe;
    probe.set_host(account.server);
    probe.set_port(StrToInt(account.port));
    probe.set_user(account.login);
    probe.set_password(account.password);
    probe.set_protocol(MailProtocol::Imap);
    probe.set_security(ConnectionSecurity::None);
    probe.set_read_timeout(5000);

    std::printf("%d deliveries %d ms apart into %s, watched over IDLE on %s:%s as %s\n", deliveries, gap_ms,
                maildir.c_str(), account.server.c_str(), account.port.c_str(), account.login.c_str());
    std::vector<double> to_notice;
    std::vector<double> to_result;
    int failures = 0;
    for (int i = 1; i <= deliveries; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(gap_ms));
        notices.Clear();
        if (!Deliver(maildir, i)) {
            std::fprintf(stderr, "idle-latency: cannot deliver into %s\n", maildir.c_str());
            return 1;
        }
        const auto delivered = Clock::now();
        if (!notices.Await(std::chrono::milliseconds(10000))) {
            std::printf("delivery %2d: no notice within 10 s\n", i);
            ++failures;
            continue;
        }
        const auto noticed = Clock::now();
        try {
            probe.ConnectMailbox(-1);
            const MailboxStatus status = probe.InboxStatus();
            probe.CloseMailbox();
            const auto checked = Clock::now();
            to_notice.push_back(MillisecondsBetween(delivered, noticed));
            to_result.push_back(MillisecondsBetween(delivered, checked));
            std::printf("delivery %2d: noticed after %6.1f ms, checked (%u messages) after %6.1f ms\n", i,
                        to_notice.back(), status.messages, to_result.back());
            if (status.messages != static_cast<std::uint32_t>(i)) {
                std::printf("delivery %2d: the check counted %u messages, not %d\n", i, status.messages, i);
                ++failures;
            }
        } catch (const std::exception& error) {
            std::printf("delivery %2d: the check failed: %s\n", i, ErrorDisplayText(error.what()).c_str());
            probe.CloseMailbox();
            ++failures;
        }
    }
    watchers.Stop(std::chrono::milliseconds(1000));
    PrintSummary("delivery to notice", to_notice);
    PrintSummary("delivery to the check's result", to_result);
    const bool within_aim =
        !to_result.empty() && *std::max_element(to_result.begin(), to_result.end()) < 1000.0 && failures == 0;
    std::printf("%s\n", within_aim ? "every delivery was known within 1 s" : "NOT every delivery was known within 1 s");
    return failures == 0 ? 0 : 1;
}

}  // namespace pigeonet
