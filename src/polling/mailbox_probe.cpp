#include "polling/mailbox_probe.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <optional>

#include "polling/host_address.h"
#include "polling/idle_pump.h"
#include "polling/tls_stream.h"
#include "util/text.h"

namespace pigeonet {

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A message count as a server writes it: a run of decimal digits that fits a signed 32-bit integer. The program's
// general conversion also takes signs, blanks and "$" or "0x" forms, none of which is a count ("-5", "0x10").
std::optional<std::int32_t> ParseCount(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<std::int32_t>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<std::int32_t>(value);
}

std::string StatusWord(std::string_view first_line) {
    std::string word(Trim(first_line.substr(0, 4)));
    if (word.size() == 4 && word[3] == '-') {
        word.resize(3);
    }
    return word;
}

}  // namespace

std::string ProbeReply::Text() const {
    std::string text;
    for (const auto& line : text_lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

MailboxProbe::MailboxProbe() : MailboxProbe(PlatformSocketLayer()) {}

MailboxProbe::MailboxProbe(SocketLayer& layer) : layer_(layer), channel_(layer) {}

MailboxProbe::~MailboxProbe() = default;

void MailboxProbe::ConnectMailbox(std::int32_t connect_timeout_ms) {
    if (channel_.IsOpen()) {
        throw AlreadyConnectedError();
    }
    channel_.Discard();
    try {
        OpenSocket(connect_timeout_ms);
    } catch (const ProbeError&) {
        channel_.CloseStream();
        throw;
    }
    try {
        ReadReply();
        if (reply_.status != ProbeReply::kPositive) {
            throw ReplyError(reply_.Text());
        }
        SendCommand("USER " + user_, ProbeReply::kPositive);
        SendCommand("PASS " + password_, ProbeReply::kPositive);
    } catch (const ProbeError&) {
        // A failure of the QUIT send replaces the login's failure.
        CloseMailbox();
        throw;
    }
}

void MailboxProbe::OpenSocket(std::int32_t connect_timeout_ms) {
    std::unique_ptr<TcpSocket> owned = layer_.CreateSocket();
    TcpSocket& socket = *owned;
    channel_.Attach(std::move(owned));
    const auto port = static_cast<std::uint16_t>(static_cast<std::uint32_t>(port_) & 0xFFFF);
    const bool explicit_limit = connect_timeout_ms != -1 && connect_timeout_ms != 0;
    if (explicit_limit || IdlePumpApplies()) {
        // The name lookup is part of the connect: waited for in the same slices, within the same limit.
        std::int32_t remaining_ms = explicit_limit ? connect_timeout_ms : kPumpedConnectLimitMs;
        const std::uint32_t address = LookUpHost(remaining_ms);
        PumpedConnect(socket, address, port, remaining_ms);
    } else {
        ConnectProgress progress = socket.StartConnect(ResolveHost(), port);
        if (progress.status == ConnectStatus::Pending) {
            progress = socket.WaitConnect(-1);
        }
        if (progress.status == ConnectStatus::Failed) {
            throw SocketError(progress.error, progress.failure);
        }
    }
    if (port == kTlsPort) {
        StartTls(socket);
    }
}

// Implicit TLS: the handshake runs before the greeting, its waits sliced and pumped like those for a reply and
// bounded like one: each by the read timeout, all of them together by the reply timeout. A failed handshake closes
// the socket without QUIT: there is nothing to say it in.
void MailboxProbe::StartTls(TcpSocket& socket) {
    std::unique_ptr<TlsEngine> engine = CreatePlatformTlsEngine(host_);
    // The channel holds `socket` itself: take it back and hand it over to the TLS stream.
    channel_.Detach().release();
    auto stream = std::make_unique<TlsStream>(std::unique_ptr<TcpSocket>(&socket), std::move(engine));
    TlsStream& tls = *stream;
    channel_.Attach(std::move(stream));
    while (!tls.Handshake()) {
        channel_.AwaitData();
    }
}

// Waits for a non-blocking connect in slices, serving the GUI after each slice that ended with the connect still
// pending, and goes on as soon as the connect has finished: a server on the same machine costs no slice at all.
void MailboxProbe::PumpedConnect(TcpSocket& socket, std::uint32_t address, std::uint16_t port, std::int32_t limit_ms) {
    ConnectProgress progress = socket.StartConnect(address, port);
    std::int64_t remaining = limit_ms;
    while (progress.status == ConnectStatus::Pending) {
        if (remaining <= 0) {
            throw ConnectTimeoutError();
        }
        const int slice = static_cast<int>(std::min<std::int64_t>(kConnectSliceMs, remaining));
        progress = socket.WaitConnect(slice);
        remaining -= slice;
        if (progress.status == ConnectStatus::Pending) {
            RequestIdlePump(true);
        }
    }
    if (progress.status == ConnectStatus::Failed) {
        throw ConnectError(progress.error);
    }
}

std::uint32_t MailboxProbe::ResolveHost() const {
    if (EqualsIgnoringAsciiCase(host_, "LOCALHOST")) {
        return kLoopback;
    }
    if (auto address = ParseDottedQuad(host_)) {
        return *address;
    }
    return layer_.ResolveHost(host_);
}

// The address of a pumped connect. A name is looked up on a worker and waited for in connect slices that serve the
// GUI; what the lookup took is taken off `remaining_ms`, and at the limit (or when the program ends) the lookup is
// left to its worker.
std::uint32_t MailboxProbe::LookUpHost(std::int32_t& remaining_ms) const {
    // Only a name can keep a name server waiting: the resolver reads the numeric forms ("127.1") by itself.
    if (EqualsIgnoringAsciiCase(host_, "LOCALHOST") || ParseDottedQuad(host_) || NumericHostAddress(host_)) {
        return ResolveHost();
    }
    HostLookup lookup(layer_, host_);
    for (;;) {
        const int slice = std::clamp(remaining_ms, 0, kConnectSliceMs);
        if (lookup.Wait(slice)) {
            return lookup.Address();
        }
        remaining_ms -= slice;
        RequestIdlePump(true);
        if (remaining_ms <= 0) {
            throw ConnectTimeoutError();
        }
    }
}

std::int32_t MailboxProbe::StatMessageCount() {
    SendCommand("STAT", ProbeReply::kPositive);
    const std::string line = reply_.text_lines.empty() ? std::string() : reply_.text_lines.front();
    if (line.empty()) {
        return 0;
    }
    // "+OK count size": the count ends at the first blank; without one there is no count at all.
    const auto blank = line.find(' ');
    const std::string count = blank == std::string::npos ? std::string() : line.substr(0, blank);
    if (auto value = ParseCount(count)) {
        return *value;
    }
    throw ConversionError(count);
}

void MailboxProbe::CloseMailbox() {
    std::exception_ptr failure;
    // A connection seen closed is closed now; one still open says QUIT first.
    if (!channel_.KnownClosed()) {
        try {
            WriteLine("QUIT");
        } catch (const ProbeError&) {
            failure = std::current_exception();
        }
    }
    channel_.Discard();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

int MailboxProbe::SendCommand(std::string_view line, int expected_status) {
    WriteLine(line);
    ReadReply();
    if (reply_.status != expected_status) {
        throw ReplyError(reply_.Text());
    }
    return reply_.status;
}

void MailboxProbe::ReadReply() {
    channel_.BeginReply();
    auto next_line = [this] {
        std::string line;
        while (line.empty()) {
            line = std::string(Trim(ReadLine()));
        }
        return line;
    };
    std::vector<std::string> lines{next_line()};
    const std::string& first = lines.front();
    if (first.size() > 3 && first[3] == '-') {
        // A continued reply ("xyz-" ... "xyz "); POP3's own status words never continue.
        const std::string marker = first.substr(0, 3) + " ";
        for (;;) {
            lines.push_back(next_line());
            const std::string& line = lines.back();
            if (line.size() < 4 || EqualsIgnoringAsciiCase(std::string_view(line).substr(0, 4), marker)) {
                break;
            }
        }
    }
    reply_.status_word = StatusWord(lines.front());
    reply_.status = 0;
    reply_.text_lines.clear();
    for (const auto& line : lines) {
        reply_.text_lines.push_back(line.size() > 4 ? line.substr(4) : std::string());
    }
    if (EqualsIgnoringAsciiCase(reply_.status_word, "+OK")) {
        reply_.status = ProbeReply::kPositive;
    } else if (EqualsIgnoringAsciiCase(reply_.status_word, "-ERR")) {
        reply_.status = ProbeReply::kNegative;
    } else {
        throw UnrecognizedReplyError(reply_.Text());
    }
}

}  // namespace pigeonet
