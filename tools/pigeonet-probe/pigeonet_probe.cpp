// pigeonet-probe [--imap] [--security none|starttls|tls] HOST PORT USER PASSWORD
// pigeonet-probe --version
//
// Asks one mailbox for its count the way the check round does (read timeout 5000 ms, every reply within 60 s, the
// connect within 120 s, no idle pump): the message count of a POP3 maildrop, or the unread count of an IMAP INBOX.
// Prints the count alone on standard output and exits 0, or prints the failure as the application's error display
// would show it on standard error and exits 1. Exit 2 is a usage error. A server's text reaches the terminal with its
// control characters escaped, so it cannot drive the terminal.

#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_line_main.h"
#include "pigeonet_version.h"
#include "polling/check_round.h"
#include "polling/mailbox_probe.h"
#include "settings/account_protocol.h"
#include "util/errors.h"
#include "util/text.h"
#include "util/utf8.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace pigeonet {
namespace {

constexpr char kUsage[] =
    "Usage: pigeonet-probe [--imap] [--security none|starttls|tls] HOST PORT USER PASSWORD\n"
    "       pigeonet-probe --version\n"
    "\n"
    "Asks the POP3 mailbox USER on HOST:PORT (USER/PASS login) how many messages it holds, or with\n"
    "--imap the IMAP mailbox (LOGIN) how many messages of its INBOX are unread, exactly as Pigeonet's\n"
    "check round does: a read timeout of 5000 ms, every reply within 60 s, the connect within 120 s.\n"
    "PORT is a whole number from 1 to 65535. A PASSWORD of - is read as one line from standard input.\n"
    "\n"
    "--security tls speaks TLS from the first byte, starttls upgrades a plain connection (STLS for\n"
    "POP3, STARTTLS for IMAP) before any credential and fails when the server does not offer it, none\n"
    "stays plain. Without it the port decides: 995 (POP3) and 993 (IMAP) speak TLS, other ports plain\n"
    "TCP. With TLS the server's certificate must be trusted by the system and name HOST.\n"
    "\n"
    "On success the count is printed alone on standard output and the exit status is 0.\n"
    "On a failure the message Pigeonet would show is printed on standard error and the exit status is 1;\n"
    "control characters in it other than CR and LF are written as \\xNN.\n"
    "A wrong command line exits with status 2.\n";

// `text` with every control character but CR and LF written as \xNN: C0 controls, DEL, the C1 controls of UTF-8
// (U+0080 to U+009F) and every byte that is not part of valid UTF-8 (a lone 0x9B is CSI to some terminals).
std::string EscapeControls(std::string_view text) {
    std::string out;
    auto escape = [&out](unsigned char byte) {
        constexpr char kHex[] = "0123456789ABCDEF";
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
    };
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Step step = DecodeUtf8(text, i);
        const char32_t code = step.code;
        if (!step.valid || (code < 0x20 && code != '\r' && code != '\n') || (code >= 0x7F && code <= 0x9F)) {
            for (std::size_t k = 0; k < step.length; ++k) {
                escape(static_cast<unsigned char>(text[i + k]));
            }
        } else {
            out.append(text.substr(i, step.length));
        }
        i += step.length;
    }
    return out;
}

// A port as a whole number from 1 to 65535, decimal digits only.
std::optional<std::int32_t> ParsePort(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int port = std::stoi(text);
    if (port < 1 || port > 65535) {
        return std::nullopt;
    }
    return port;
}

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
    MailProtocol protocol = MailProtocol::Pop3;
    std::optional<ConnectionSecurity> security;
    std::size_t first = 0;
    for (; first < args.size() && args[first].rfind("--", 0) == 0; ++first) {
        if (args[first] == "--imap") {
            protocol = MailProtocol::Imap;
        } else if (args[first] == "--security" && first + 1 < args.size() &&
                   (security = ParseConnectionSecurity(args[first + 1]))) {
            ++first;
        } else {
            Write(stderr, kUsage);
            return 2;
        }
    }
    const std::optional<std::int32_t> port = args.size() == first + 4 ? ParsePort(args[first + 1]) : std::nullopt;
    if (!port) {
        Write(stderr, kUsage);
        return 2;
    }
    std::string password = args[first + 3];
    if (password == "-") {
        // Read here so it never shows in the process list.
        std::getline(std::cin, password);
        while (!password.empty() && (password.back() == '\r' || password.back() == '\n')) {
            password.pop_back();
        }
    }
    MailboxProbe probe;
    try {
        probe.set_protocol(protocol);
        probe.set_security(security);
        probe.set_host(args[first]);
        probe.set_port(*port);
        probe.set_user(args[first + 2]);
        probe.set_password(password);
        probe.set_read_timeout(CheckRound::kReadTimeoutMs);
        probe.set_reply_timeout(CheckRound::kReplyTimeoutMs);
        // Without the program's idle pump an unlimited connect would block for as long as the system lets it: give
        // it the limit of the program's pumped connect.
        probe.ConnectMailbox(MailboxProbe::kPumpedConnectLimitMs);
        std::string count;
        if (protocol == MailProtocol::Imap) {
            count = std::to_string(probe.InboxStatus().unseen);
        } else {
            count = std::to_string(probe.StatMessageCount());
        }
        probe.CloseMailbox();
        Write(stdout, count + "\n");
        return 0;
    } catch (const std::exception& error) {
        Write(stderr, EscapeControls(ErrorDisplayText(error.what())) + "\n");
        return 1;
    }
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args) {
#ifdef _WIN32
    // The bytes as they are: a message's own CR LF must not become CR CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    return RunProbe(args);
}

}  // namespace pigeonet
