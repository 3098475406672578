// The IMAP conversation through the socket seam: it opens (greeting, CAPABILITY, STARTTLS, LOGIN), asks STATUS for
// the INBOX and logs out against a scripted server whose bytes are the fuzzer's input, cut into pieces by more of
// the input. Beyond the sanitizers it checks that only the conversation's commands reach the wire, tagged A1, A2, ...
// in order, that a credential with a line break or NUL never leaves, that the outcome does not depend on how the
// stream is cut, and that the conversation's memory stays bounded whatever the server sends.
//
// Input: a flags byte, a cut seed byte, then the server's bytes. Flags: bits 0-2 the credentials (plain, quoted
// specials, non-ASCII as literals, a CR, an LF, a NUL, a command smuggled after CR LF), bit 3 asks for STARTTLS (a
// stand-in upgrade whose handshake completes at once), bits 4-5 how the stream ends (close, silence, reset, abort),
// bit 6 watches instead of asking STATUS: EXAMINE, IDLE, every response the server sends while idling, DONE.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "polling/imap_conversation.h"

namespace pigeonet::fuzzing {
namespace {

// What the conversation may hold for one reply: the channel's chunk, one reply's lines and literals (64 KiB at
// most) in strings and vectors, twice over while they grow.
constexpr long long kHeapBudget = 8ll << 20;

ImapLogin Credentials(int variant) {
    switch (variant) {
        case 1:
            return {"us\"er\\", "se cret"};
        case 2:
            return {"Jörg", "пароль"};
        case 3:
            return {"us\rer", "secret"};
        case 4:
            return {"user", "sec\nret"};
        case 5:
            return {"user", std::string("sec\0ret", 7)};
        case 6:
            return {"user\r\nA9 DELETE INBOX", "secret"};
        default:
            return {"user", "secret"};
    }
}

ImapLogin LoginFor(std::uint8_t flags) {
    ImapLogin login = Credentials(flags & 7);
    login.starttls = (flags & 8) != 0;
    return login;
}

bool Forbidden(const ImapLogin& login) {
    const std::string_view bad("\r\n\0", 3);
    return login.user.find_first_of(bad) != std::string::npos || login.password.find_first_of(bad) != std::string::npos;
}

// The upgrade changes nothing on the stream: the fuzzer's bytes go on as they were.
class PlainUpgrade final : public TlsUpgrade {
  public:
    std::unique_ptr<ByteStream> Wrap(std::unique_ptr<ByteStream> plain) override { return plain; }
    bool Handshake(ByteStream&) override { return true; }
};

struct Outcome {
    std::string text;
    std::string sent;
};

// Idles until the server's bytes are used up, counting the changes it reports, then ends the IDLE.
void Watch(ImapConversation& imap, LineChannel& channel, ScriptedSocketLayer& server, Outcome& outcome) {
    imap.Examine();
    int changes = imap.BeginIdle() ? 1 : 0;
    for (;;) {
        if (imap.AwaitIdleChange(1000)) {
            ++changes;
        } else if (!channel.HasUnreadInput() && server.unread() == 0) {
            break;
        }
    }
    outcome.text += std::to_string(changes) + (imap.EndIdle() ? " changes, more at DONE;" : " changes;");
}

Outcome Run(ScriptedSocketLayer& server, std::uint8_t flags) {
    const ImapLogin login = LoginFor(flags);
    server.end = static_cast<StreamEnd>((flags >> 4) & 3);
    Outcome outcome;
    {
        LineChannel channel(server);
        channel.set_read_timeout(5000);
        channel.Attach(server.CreateSocket());
        ImapConversation imap(channel);
        PlainUpgrade upgrade;
        std::string step = "open";
        try {
            imap.Open(login, &upgrade);
            if ((flags & 64) != 0) {
                step = "watch";
                Watch(imap, channel, server, outcome);
            } else {
                step = "status";
                const MailboxStatus status = imap.InboxStatus();
                outcome.text += std::to_string(status.messages) + " " + std::to_string(status.unseen) + ";";
            }
            step = "close";
            imap.Close();
        } catch (const ProbeError& error) {
            outcome.text += step + " " + std::to_string(static_cast<int>(error.kind())) + " " + error.what() + ";";
        }
    }
    outcome.sent = server.sent;
    return outcome;
}

// The first word of a command line must be the next tag, the second a command the conversation may send at that
// point; LOGIN's literals are the only other lines, and only right after a LOGIN that announced one.
void CheckWire(const std::string& sent, const ImapLogin& login, bool watch) {
    const std::vector<std::string> order{"CAPABILITY", "STARTTLS", "CAPABILITY", "LOGIN",
                                         "STATUS",     "EXAMINE",  "IDLE",       "LOGOUT"};
    std::size_t at = 0;
    std::size_t next = 0;  // the first command of `order` still allowed
    int tag = 1;
    int literals = 0;  // literal lines still announced
    bool logout = false;
    bool idle = false;  // the last command was IDLE: one DONE may follow, untagged
    while (at < sent.size()) {
        const auto end = sent.find("\r\n", at);
        if (end == std::string::npos) {
            Violation("bytes after the last CR LF on the wire");
        }
        const std::string line = sent.substr(at, end - at);
        at = end + 2;
        if (logout) {
            Violation("a line after LOGOUT: " + line);
        }
        if (idle && line == "DONE") {
            idle = false;
            continue;
        }
        idle = false;
        if (literals > 0) {
            --literals;
            if (line.size() > 2 && line.substr(line.size() - 1) == "}") {
                ++literals;
            }
            continue;
        }
        const std::string prefix = "A" + std::to_string(tag++) + " ";
        if (line.compare(0, prefix.size(), prefix) != 0) {
            Violation("a line without the next tag: " + line);
        }
        const std::string command = line.substr(prefix.size(), line.find(' ', prefix.size()) - prefix.size());
        std::size_t index = next;
        while (index < order.size() && order[index] != command) {
            ++index;
        }
        if (index == order.size()) {
            Violation("a command the conversation must never send here: " + line);
        }
        if ((command == "STARTTLS" || index == 2) && !login.starttls) {
            Violation("STARTTLS, or capabilities asked again, without STARTTLS asked for: " + line);
        }
        if ((command == "STATUS" && watch) || ((command == "EXAMINE" || command == "IDLE") && !watch)) {
            Violation("a command of the other mode: " + line);
        }
        if (command == "EXAMINE" && line != prefix + "EXAMINE \"INBOX\"") {
            Violation("another EXAMINE: " + line);
        }
        idle = command == "IDLE";
        if (command == "STATUS" && line != prefix + "STATUS \"INBOX\" (MESSAGES UNSEEN UIDNEXT UIDVALIDITY)") {
            Violation("another STATUS: " + line);
        }
        if (command == "LOGIN") {
            if (Forbidden(login)) {
                Violation("a credential with a line break or NUL left: " + line);
            }
            if (line.back() == '}') {
                literals = 1;
            }
        }
        logout = command == "LOGOUT";
        next = index + 1;
    }
}

}  // namespace
}  // namespace pigeonet::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pigeonet::fuzzing;
    InputReader input(data, size);
    const std::uint8_t flags = input.Byte();
    const std::uint8_t seed = input.Byte();
    std::string stream(input.Rest());

    ScriptedSocketLayer whole_server;
    whole_server.Serve(stream);
    whole_server.record_read_waits = false;
    ResetHeapPeak();
    const Outcome whole = Run(whole_server, flags);
    CheckHeapPeak("the IMAP conversation", kHeapBudget, stream.size());
    const pigeonet::ImapLogin login = LoginFor(flags);
    CheckWire(whole.sent, login, (flags & 64) != 0);

    // Bytes that follow STARTTLS's completion in the same receive are refused, so with STARTTLS how the stream is
    // cut may rightly change the outcome.
    if (login.starttls) {
        return 0;
    }
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
