// The POP3 reply reader through the socket seam: a MailboxProbe logs in and asks STAT against a scripted server
// whose bytes are the fuzzer's input, cut into pieces by more of the input. Beyond the sanitizers it checks that
// only USER, PASS, STAT and QUIT lines reach the wire, that a credential with a line break never leaves, that the
// outcome does not depend on how the stream is cut, and that the probe's memory stays bounded whatever the server
// sends.
//
// Input: a flags byte, a cut seed byte, then the server's bytes. Flags: bits 0-1 the credentials (plain, a CR in
// the user, an LF in the password, CR LF and a command in the user), bit 2 asks STAT, bit 3 runs under an idle
// pump, bits 4-5 how the stream ends (close, silence, reset, abort), bit 7 sends one byte per send call.
//
// Built with PIGEONET_FUZZ_FLOOD (the probe_flood target) a third byte gives a size in 4 KiB steps (up to 1 MiB)
// and the server's bytes are a prefix, a zero byte and a pattern repeated to that size: floods of lines, blank
// lines or bytes without a line end, kept apart so that the quick target stays quick.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "polling/idle_pump.h"
#include "polling/mailbox_probe.h"

namespace pigeonet::fuzzing {
namespace {

// What the probe may hold for one reply whatever the server sends: its receive chunk, one line and the lines of
// one reply (at most 64 KiB of them), each with the bookkeeping of a std::string in a std::vector, twice over while
// a vector grows. A probe that keeps a flood would pass it within a few hundred kilobytes of flood.
constexpr long long kHeapBudget = 8ll << 20;
#ifdef PIGEONET_FUZZ_FLOOD
constexpr bool kFlood = true;
#else
constexpr bool kFlood = false;
#endif
constexpr std::size_t kFloodStep = 4 << 10;

// The largest flood, 1 MiB unless PIGEONET_FUZZ_FLOOD_KIB says less (for a probe known to keep whole replies).
std::size_t FloodLimit() {
    static const std::size_t limit = [] {
        const char* kib = std::getenv("PIGEONET_FUZZ_FLOOD_KIB");
        return kib != nullptr ? std::strtoul(kib, nullptr, 10) << 10 : std::size_t{1} << 20;
    }();
    return limit;
}

class CountingPump final : public IdlePump {
  public:
    void ProcessPendingMessages() override { ++runs; }
    bool IsGuiThread() const override { return true; }
    long runs = 0;
};

struct Credentials {
    std::string user;
    std::string password;
};

Credentials CredentialsFor(int variant) {
    switch (variant) {
        case 1:
            return {"us\rer", "secret"};
        case 2:
            return {"user", "sec\nret"};
        case 3:
            return {"user\r\nDELE 1", "secret"};
        default:
            return {"user", "secret"};
    }
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

struct Outcome {
    std::string text;  // each operation's result or failure, in order
    std::string sent;
};

// One probe against `server`, whose stream and cuts are set.
Outcome Run(ScriptedSocketLayer& server, std::uint8_t flags) {
    const Credentials credentials = CredentialsFor(flags & 3);
    server.end = static_cast<StreamEnd>((flags >> 4) & 3);
    server.send_cut = (flags & 0x80) != 0 ? 1 : 0;
    std::unique_ptr<CountingPump> pump;
    if ((flags & 8) != 0) {
        pump = std::make_unique<CountingPump>();
    }
    Outcome outcome;
    auto attempt = [&outcome](const char* what, auto&& operation) {
        outcome.text += what;
        try {
            operation();
            outcome.text += " ok;";
            return true;
        } catch (const ProbeError& error) {
            outcome.text += " " + std::to_string(static_cast<int>(error.kind())) + " " + error.what() + ";";
            return false;
        }
    };
    {
        MailboxProbe probe(server);
        probe.set_host("mail.example.org");
        probe.set_user(credentials.user);
        probe.set_password(credentials.password);
        probe.set_read_timeout(5000);
        const bool open = attempt("open", [&] { probe.ConnectMailbox(-1); });
        if (open && (flags & 4) != 0) {
            attempt("stat", [&] { outcome.text += std::to_string(probe.StatMessageCount()); });
        }
        attempt("close", [&] { probe.CloseMailbox(); });
    }
    outcome.sent = server.sent;
    return outcome;
}

// Every byte on the wire belongs to a command line the probe may send, in the conversation's order.
void CheckWire(const std::string& sent, const Credentials& credentials) {
    std::vector<std::string> allowed;
    if (!HasLineBreak(credentials.user)) {
        allowed.push_back("USER " + credentials.user);
    }
    if (!HasLineBreak(credentials.password)) {
        allowed.push_back("PASS " + credentials.password);
    }
    allowed.push_back("STAT");
    allowed.push_back("QUIT");
    std::size_t at = 0;
    std::size_t order = 0;
    bool quit = false;
    while (at < sent.size()) {
        const auto end = sent.find("\r\n", at);
        if (end == std::string::npos) {
            Violation("bytes after the last CR LF on the wire");
        }
        const std::string line = sent.substr(at, end - at);
        at = end + 2;
        if (quit) {
            Violation("a line after QUIT: " + line);
        }
        std::size_t index = order;
        while (index < allowed.size() && allowed[index] != line) {
            ++index;
        }
        if (index == allowed.size()) {
            Violation("a line the probe must never send: " + line);
        }
        quit = allowed[index] == "QUIT";
        order = allowed[index] == "STAT" ? index : index + 1;
    }
}

}  // namespace
}  // namespace pigeonet::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pigeonet::fuzzing;
    InputReader input(data, size);
    const std::uint8_t flags = input.Byte();
    const std::uint8_t seed = input.Byte();
    std::string stream;
    if (kFlood) {
        const std::size_t target = std::min(input.Byte() * kFloodStep, FloodLimit());
        const std::string_view rest = input.Rest();
        const auto zero = rest.find('\0');
        stream = std::string(rest.substr(0, zero));
        const std::string_view pattern = zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);
        while (!pattern.empty() && stream.size() < target) {
            stream += pattern;
        }
    } else {
        stream = std::string(input.Rest());
    }

    ScriptedSocketLayer whole_server;
    whole_server.Serve(stream);
    whole_server.record_read_waits = false;
    ResetHeapPeak();
    const Outcome whole = Run(whole_server, flags);
    CheckHeapPeak("the probe", kHeapBudget, stream.size());
    const Credentials credentials = CredentialsFor(flags & 3);
    CheckWire(whole.sent, credentials);

    ScriptedSocketLayer cut_server;
    cut_server.Serve(std::move(stream));
    cut_server.record_read_waits = false;
    cut_server.cuts = CutsFromSeed(seed);
    const Outcome cut = Run(cut_server, flags);
    if (cut.text != whole.text || cut.sent != whole.sent) {
        Violation("the outcome depends on how the stream is cut:\n  whole: " + whole.text + "\n  cut:   " + cut.text +
                  "\n  sent whole: " + whole.sent + "\n  sent cut:   " + cut.sent);
    }
    return 0;
}
