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
constexpr char kNoStls[] = "TLS not offered: the server does not announce STLS";
constexpr char kTalkedAhead[] = "TLS handshake failed: the server sent data before the handshake";

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

ConnectionSecurity MailboxProbe::EffectiveSecurity() const {
    if (security_) {
        return *security_;
    }
    return DefaultSecurity(protocol_, static_cast<int>(static_cast<std::uint32_t>(port_) & 0xFFFF));
}

void MailboxProbe::ConnectMailbox(std::int32_t connect_timeout_ms) {
    if (channel_.IsOpen()) {
        throw AlreadyConnectedError();
    }
    channel_.Discard();
    session_protocol_ = protocol_;
    const ConnectionSecurity security = EffectiveSecurity();
    try {
        OpenSocket(connect_timeout_ms, security == ConnectionSecurity::Tls);
    } catch (const ProbeError&) {
        channel_.CloseStream();
        throw;
    }
    if (session_protocol_ == MailProtocol::Imap) {
        // The conversation ends the connection itself when its open fails.
        TlsStreamUpgrade upgrade(host_);
        imap_.Open(ImapLogin{user_, password_, security == ConnectionSecurity::StartTls}, &upgrade);
        return;
    }
    try {
        OpenPop3(security == ConnectionSecurity::StartTls);
    } catch (const ProbeError&) {
        // A failure of the QUIT send replaces the login's failure.
        CloseMailbox();
        throw;
    }
}

void MailboxProbe::OpenPop3(bool starttls) {
    ReadReply();
    if (reply_.status != ProbeReply::kPositive) {
        throw ReplyError(reply_.Text());
    }
    if (starttls) {
        UpgradePop3();
    }
    SendCommand("USER " + user_, ProbeReply::kPositive);
    SendCommand("PASS " + password_, ProbeReply::kPositive);
}

// STLS (RFC 2595) before any credential. A server (or someone in between) that does not list STLS in its CAPA
// reply, or refuses CAPA, gets no USER: the password would travel in clear.
void MailboxProbe::UpgradePop3() {
    WriteLine("CAPA");
    ReadReply();
    bool offered = false;
    if (reply_.status == ProbeReply::kPositive) {
        // The list's lines belong to the same reply: its byte and time budget covers them all.
        for (;;) {
            std::string line = ReadLine();
            if (Trim(line) == ".") {
                break;
            }
            if (line.rfind("..", 0) == 0) {
                line.erase(0, 1);
            }
            const std::string_view word = Trim(std::string_view(line).substr(0, line.find(' ')));
            offered = offered || EqualsIgnoringAsciiCase(word, "STLS");
        }
    }
    if (!offered) {
        throw TlsError(kNoStls);
    }
    SendCommand("STLS", ProbeReply::kPositive);
    // Bytes after the +OK came in clear, and would be taken as if they came over TLS.
    if (channel_.HasUnreadInput()) {
        throw TlsError(kTalkedAhead);
    }
    try {
        StartTls();
    } catch (const ProbeError&) {
        // Nothing more can be said on a stream whose handshake failed: no QUIT.
        channel_.CloseStream();
        throw;
    }
}

void MailboxProbe::OpenSocket(std::int32_t connect_timeout_ms, bool implicit_tls) {
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
    if (implicit_tls) {
        StartTls();
    }
}

// The handshake, for implicit TLS before the greeting and after STLS alike: its waits sliced and pumped like those
// for a reply and bounded like one: each by the read timeout, all of them together by the reply timeout. A failed
// handshake closes the socket without QUIT: there is nothing to say it in.
void MailboxProbe::StartTls() {
    TlsStreamUpgrade upgrade(host_);
    // The channel holds the connected socket itself: take it back and hand it over to the TLS stream.
    std::unique_ptr<ByteStream> stream = upgrade.Wrap(channel_.Detach());
    ByteStream& tls = *stream;
    channel_.Attach(std::move(stream));
    while (!upgrade.Handshake(tls)) {
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
            CheckAbandoned();
        }
    }
    if (progress.status == ConnectStatus::Failed) {
        throw ConnectError(progress.error);
    }
}

void MailboxProbe::set_abandon_check(std::function<bool()> abandoned) {
    abandoned_ = abandoned;
    channel_.set_abandon_check(std::move(abandoned));
}

void MailboxProbe::CheckAbandoned() const {
    if (abandoned_ && abandoned_()) {
        throw WaitAbandonedError();
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
        CheckAbandoned();
        if (remaining_ms <= 0) {
            throw ConnectTimeoutError();
        }
    }
}

std::int32_t MailboxProbe::StatMessageCount() {
    if (SessionProtocol() != MailProtocol::Pop3) {
        throw ProbeError(ProbeErrorKind::WrongProtocol, "STAT asked of an IMAP mailbox: STAT is POP3's.");
    }
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

MailboxStatus MailboxProbe::InboxStatus() {
    if (SessionProtocol() != MailProtocol::Imap) {
        throw ProbeError(ProbeErrorKind::WrongProtocol, "STATUS asked of a POP3 mailbox: STATUS is IMAP's.");
    }
    return imap_.InboxStatus();
}

void MailboxProbe::CloseMailbox() {
    if (SessionProtocol() == MailProtocol::Imap) {
        imap_.Close();
        return;
    }
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
