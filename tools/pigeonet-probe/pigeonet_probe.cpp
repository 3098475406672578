// pigeonet-probe HOST PORT USER PASSWORD
// pigeonet-probe --version
//
// Asks one POP3 mailbox for its message count the way the check round does (read timeout 5000 ms, no idle pump):
// prints the count alone on standard output and exits 0, or prints the failure as the application's error display
// would show it on standard error and exits 1. Exit 2 is a usage error.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "pigeonet_version.h"
#include "polling/mailbox_probe.h"
#include "util/errors.h"
#include "util/text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "util/unicode_win32.h"
#endif

namespace pigeonet {
namespace {

constexpr char kUsage[] =
    "Usage: pigeonet-probe HOST PORT USER PASSWORD\n"
    "       pigeonet-probe --version\n"
    "\n"
    "Asks the POP3 mailbox USER on HOST:PORT (USER/PASS login) how many messages it holds,\n"
    "exactly as Pigeonet's check round does, with a read timeout of 5000 ms. Port 995 speaks TLS\n"
    "(the server's certificate must be trusted by the system and name HOST); other ports plain TCP.\n"
    "\n"
    "On success the message count is printed alone on standard output and the exit status is 0.\n"
    "On a failure the message Pigeonet would show is printed on standard error and the exit status is 1.\n"
    "A wrong command line exits with status 2.\n";

void Write(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

int RunProbe(const std::vector<std::string>& args) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "/?")) {
        Write(stdout, kUsage);
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        Write(stdout, "pigeonet-probe " PIGEONET_VERSION "\n");
        return 0;
    }
    if (args.size() != 4) {
        Write(stderr, kUsage);
        return 2;
    }
    MailboxProbe probe;
    try {
        probe.set_host(args[0]);
        probe.set_port(StrToInt(args[1]));
        probe.set_user(args[2]);
        probe.set_password(args[3]);
        probe.set_read_timeout(5000);
        probe.ConnectMailbox(-1);
        const std::int32_t count = probe.StatMessageCount();
        probe.CloseMailbox();
        Write(stdout, std::to_string(count) + "\n");
        return 0;
    } catch (const std::exception& error) {
        Write(stderr, ErrorDisplayText(error.what()) + "\n");
        return 1;
    }
}

}  // namespace
}  // namespace pigeonet

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    // The bytes as they are: a message's own CR LF must not become CR CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(pigeonet::Narrow(argv[i]));
    }
    return pigeonet::RunProbe(args);
}
#else
int main(int argc, char** argv) {
    return pigeonet::RunProbe(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
