#include "polling/mailbox_probe.h"

#include <algorithm>
#include <exception>
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

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
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

MailboxProbe::MailboxProbe(SocketLayer& layer) : layer_(layer), chunk_(kReceiveChunk) {}

MailboxProbe::~MailboxProbe() {
    if (socket_) {
        socket_->Close();
    }
}

void MailboxProbe::ConnectMailbox(std::int32_t connect_timeout_ms) {
    if (socket_ && socket_->IsOpen()) {
        throw AlreadyConnectedError();
    }
    input_.clear();
    searched_ = 0;
    closed_ = false;
    socket_.reset();
    try {
        OpenSocket(connect_timeout_ms);
    } catch (const ProbeError&) {
        closed_ = true;
        if (socket_) {
            socket_->Close();
        }
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
    socket_ = std::move(owned);
    const std::uint32_t address = ResolveHost();
    const auto port = static_cast<std::uint16_t>(static_cast<std::uint32_t>(port_) & 0xFFFF);
    if (connect_timeout_ms != -1 && connect_timeout_ms != 0) {
        PumpedConnect(socket, address, port, connect_timeout_ms);
    } else if (IdlePumpApplies()) {
        PumpedConnect(socket, address, port, kPumpedConnectLimitMs);
    } else {
        ConnectProgress progress = socket.StartConnect(address, port);
        if (progress.status == ConnectStatus::Pending) {
            progress = socket.WaitConnect(-1);
        }
        if (progress.status == ConnectStatus::Failed) {
            throw SocketError(progress.error);
        }
    }
    if (port == kTlsPort) {
        socket_.release();
        StartTls(std::unique_ptr<TcpSocket>(&socket));
    }
}

// Implicit TLS: the handshake runs before the greeting, its waits sliced and pumped like those for a reply, each
// limited by the read timeout. A failed handshake closes the socket without QUIT: there is nothing to say it in.
void MailboxProbe::StartTls(std::unique_ptr<TcpSocket> socket) {
    std::unique_ptr<TlsEngine> engine;
    try {
        engine = CreatePlatformTlsEngine(host_);
    } catch (const ProbeError&) {
        socket_ = std::move(socket);
        throw;
    }
    auto stream = std::make_unique<TlsStream>(std::move(socket), std::move(engine));
    TlsStream& tls = *stream;
    socket_ = std::move(stream);
    bool done = tls.Handshake();
    while (!done) {
        if (!WaitReadable(read_timeout_)) {
            throw ReadTimeoutError();
        }
        done = tls.Handshake();
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
    if (EqualsIgnoreCase(host_, "LOCALHOST")) {
        return kLoopback;
    }
    if (auto address = ParseDottedQuad(host_)) {
        return *address;
    }
    return layer_.ResolveHost(host_);
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
    if (auto value = ParseInt32(count)) {
        return *value;
    }
    throw ConversionError(count);
}

void MailboxProbe::CloseMailbox() {
    std::exception_ptr failure;
    if (socket_) {
        if (closed_ && socket_->IsOpen()) {
            socket_->Close();
        }
        if (socket_->IsOpen()) {
            try {
                WriteLine("QUIT");
            } catch (const ProbeError&) {
                failure = std::current_exception();
            }
        }
        socket_->Close();
        socket_.reset();
    }
    closed_ = true;
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
            if (line.size() < 4 || EqualsIgnoreCase(std::string_view(line).substr(0, 4), marker)) {
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
    if (EqualsIgnoreCase(reply_.status_word, "+OK")) {
        reply_.status = ProbeReply::kPositive;
    } else if (EqualsIgnoreCase(reply_.status_word, "-ERR")) {
        reply_.status = ProbeReply::kNegative;
    } else {
        throw UnrecognizedReplyError(reply_.Text());
    }
}

std::string MailboxProbe::ReadLine() {
    for (;;) {
        const auto lf = input_.find('\n', searched_);
        if (lf != std::string::npos) {
            if (lf > kMaxLineLength) {
                throw LineTooLongError();
            }
            std::string line = input_.substr(0, lf);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            input_.erase(0, lf + 1);
            searched_ = 0;
            return line;
        }
        searched_ = input_.size();
        if (input_.size() > kMaxLineLength) {
            throw LineTooLongError();
        }
        if (!socket_) {
            throw NotConnectedError();
        }
        // A last line without its LF is never delivered.
        if (KnownClosed()) {
            throw ConnectionClosedError();
        }
        ReceiveOnce();
    }
}

bool MailboxProbe::KnownClosed() {
    if (closed_ && socket_ && socket_->IsOpen()) {
        socket_->Close();
    }
    return closed_ || !socket_ || !socket_->IsOpen();
}

void MailboxProbe::ReceiveOnce() {
    if (!socket_) {
        throw NotConnectedError();
    }
    if (KnownClosed()) {
        throw ConnectionClosedError();
    }
    if (!WaitReadable(read_timeout_)) {
        throw ReadTimeoutError();
    }
    std::size_t received = 0;
    try {
        received = socket_->Receive(chunk_.data(), chunk_.size());
    } catch (const SocketError& error) {
        // An aborted or shut-down connection ends like a close; other failures leave the socket as it is.
        if (error.code() != 10053 && error.code() != 10058) {
            throw;
        }
        CloseSocket();
        if (input_.empty()) {
            throw;
        }
        return;
    }
    if (received > 0) {
        input_.append(chunk_.data(), received);
        return;
    }
    CloseSocket();
    if (input_.empty()) {
        throw ConnectionClosedError();
    }
}

bool MailboxProbe::WaitReadable(std::int32_t milliseconds) {
    if (!socket_ || !socket_->IsOpen()) {
        throw ConnectionClosedError();
    }
    if (!IdlePumpApplies()) {
        const bool ready = socket_->WaitReadable(milliseconds > 0 ? milliseconds : -1);
        RequestIdlePump(!ready);
        return ready;
    }
    constexpr int kSlice = IdlePump::kIdleSliceMs;
    if (milliseconds <= 0) {
        while (!WaitSlice(kSlice)) {
        }
        return true;
    }
    if (milliseconds <= kSlice) {
        return WaitSlice(milliseconds);
    }
    // The odd remainder first, then whole slices: 5000 ms is 20 slices of 250 ms.
    const int slices = (milliseconds - 1) / kSlice;
    if (WaitSlice(milliseconds - kSlice * slices)) {
        return true;
    }
    for (int i = 0; i < slices; ++i) {
        if (WaitSlice(kSlice)) {
            return true;
        }
    }
    return false;
}

bool MailboxProbe::WaitSlice(int milliseconds) {
    const bool ready = socket_->WaitReadable(milliseconds);
    RequestIdlePump(!ready);
    return ready;
}

void MailboxProbe::WriteLine(std::string_view text) {
    if (!socket_) {
        throw NotConnectedError();
    }
    if (closed_ || !socket_->IsOpen()) {
        throw ConnectionClosedError();
    }
    // A line break inside a user name or password would smuggle further commands onto the wire.
    if (text.find_first_of("\r\n") != std::string_view::npos) {
        throw InvalidCommandError();
    }
    std::string bytes(text);
    bytes += "\r\n";
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        try {
            sent += socket_->Send(bytes.data() + sent, bytes.size() - sent);
        } catch (const SocketError& error) {
            if (error.code() == 10053 || error.code() == 10054 || error.code() == 10058) {
                CloseSocket();
            }
            throw;
        }
        RequestIdlePump(false);
    }
}

void MailboxProbe::CloseSocket() {
    closed_ = true;
    if (socket_) {
        socket_->Close();
    }
}

}  // namespace pigeonet
