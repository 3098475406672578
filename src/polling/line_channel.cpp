#include "polling/line_channel.h"

#include <algorithm>

#include "polling/idle_pump.h"
#include "polling/probe_error.h"

namespace pigeonet {

LineChannel::LineChannel(SocketLayer& layer) : layer_(layer), chunk_(kReceiveChunk) {}

LineChannel::~LineChannel() {
    if (stream_) {
        stream_->Close();
    }
}

void LineChannel::Attach(std::unique_ptr<ByteStream> stream) {
    if (stream_) {
        stream_->Close();
    }
    stream_ = std::move(stream);
    closed_ = false;
    input_.clear();
    start_ = 0;
    searched_ = 0;
    waited_since_served_ = 0;
    BeginReply();
}

std::unique_ptr<ByteStream> LineChannel::Detach() {
    return std::move(stream_);
}

void LineChannel::CloseStream() {
    closed_ = true;
    if (stream_) {
        stream_->Close();
    }
}

void LineChannel::Discard() {
    CloseStream();
    stream_.reset();
}

bool LineChannel::KnownClosed() {
    if (closed_ && IsOpen()) {
        stream_->Close();
    }
    return closed_ || !IsOpen();
}

void LineChannel::BeginReply() {
    reply_bytes_ = 0;
    reply_waited_ = false;
}

std::string LineChannel::ReadLine() {
    for (;;) {
        const auto lf = input_.find('\n', start_ + searched_);
        if (lf != std::string::npos) {
            const std::size_t length = lf - start_;
            if (length > kMaxLineLength || reply_bytes_ + length + 1 > kMaxReplyLength) {
                throw LineTooLongError();
            }
            std::string line = input_.substr(start_, length);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            reply_bytes_ += length + 1;
            start_ = lf + 1;
            searched_ = 0;
            return line;
        }
        // Without its LF the line is already too long when its LF could no longer fit.
        const std::size_t pending = input_.size() - start_;
        searched_ = pending;
        if (pending > kMaxLineLength || reply_bytes_ + pending >= kMaxReplyLength) {
            throw LineTooLongError();
        }
        if (!stream_) {
            throw NotConnectedError();
        }
        // A last line without its LF is never delivered.
        if (KnownClosed()) {
            throw ConnectionClosedError();
        }
        ReceiveOnce();
    }
}

std::string LineChannel::ReadBytes(std::size_t count) {
    if (count > kMaxReplyLength - reply_bytes_) {
        throw LineTooLongError();
    }
    while (input_.size() - start_ < count) {
        if (!stream_) {
            throw NotConnectedError();
        }
        if (KnownClosed()) {
            throw ConnectionClosedError();
        }
        ReceiveOnce();
    }
    std::string bytes = input_.substr(start_, count);
    start_ += count;
    searched_ = 0;
    reply_bytes_ += count;
    return bytes;
}

void LineChannel::ReceiveOnce() {
    AwaitData();
    // Only the current line's first bytes are left before the new ones: the buffer never holds more than a line and
    // one chunk.
    input_.erase(0, start_);
    start_ = 0;
    std::size_t received = 0;
    try {
        received = stream_->Receive(chunk_.data(), chunk_.size());
    } catch (const SocketError& error) {
        // An aborted or shut-down connection ends like a close; other failures leave the stream as it is.
        if (error.failure() != SocketFailure::Aborted && error.failure() != SocketFailure::ShutDown) {
            throw;
        }
        CloseStream();
        if (input_.empty()) {
            throw;
        }
        return;
    }
    if (received > 0) {
        input_.append(chunk_.data(), received);
        return;
    }
    CloseStream();
    if (input_.empty()) {
        throw ConnectionClosedError();
    }
}

void LineChannel::AwaitData() {
    std::int32_t wait = read_timeout_ > 0 ? read_timeout_ : 0;
    if (reply_timeout_ > 0) {
        const std::int64_t now = layer_.NowMilliseconds();
        if (!reply_waited_) {
            reply_waited_ = true;
            reply_deadline_ = now + reply_timeout_;
        }
        const std::int64_t left = reply_deadline_ - now;
        if (left <= 0) {
            throw ReadTimeoutError();
        }
        if (wait == 0 || left < wait) {
            wait = static_cast<std::int32_t>(left);
        }
    }
    if (!WaitReadable(wait)) {
        throw ReadTimeoutError();
    }
}

bool LineChannel::WaitReadable(std::int32_t milliseconds) {
    if (!IsOpen()) {
        throw ConnectionClosedError();
    }
    if (abandoned_ && !IdlePumpApplies()) {
        return WaitAbandonable(milliseconds);
    }
    if (!IdlePumpApplies()) {
        const bool ready = stream_->WaitReadable(milliseconds > 0 ? milliseconds : -1);
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

bool LineChannel::WaitAbandonable(std::int32_t milliseconds) {
    const std::int64_t until = layer_.NowMilliseconds() + milliseconds;
    for (;;) {
        if (abandoned_()) {
            throw WaitAbandonedError();
        }
        int slice = kAbandonSliceMs;
        if (milliseconds > 0) {
            const std::int64_t left = until - layer_.NowMilliseconds();
            if (left <= 0) {
                return false;
            }
            slice = static_cast<int>(std::min<std::int64_t>(left, kAbandonSliceMs));
        }
        if (stream_->WaitReadable(slice)) {
            return true;
        }
    }
}

// A slice without data always gives the GUI its turn. One with data does so too once the waits since the last turn
// add up to a quarter of a second: a server that sends a byte in every slice must not keep the tray, the menu and
// Exit waiting for as long as it likes, while a server that answers at once is read without interruptions.
bool LineChannel::WaitSlice(int milliseconds) {
    const std::int64_t before = layer_.NowMilliseconds();
    const bool ready = stream_->WaitReadable(milliseconds);
    waited_since_served_ += layer_.NowMilliseconds() - before;
    const bool serve = !ready || waited_since_served_ >= IdlePump::kIdleSliceMs;
    if (serve) {
        waited_since_served_ = 0;
    }
    RequestIdlePump(serve);
    return ready;
}

void LineChannel::WriteLine(std::string_view text) {
    if (!stream_) {
        throw NotConnectedError();
    }
    if (closed_ || !stream_->IsOpen()) {
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
            sent += stream_->Send(bytes.data() + sent, bytes.size() - sent);
        } catch (const SocketError& error) {
            if (error.failure() == SocketFailure::Aborted || error.failure() == SocketFailure::Reset ||
                error.failure() == SocketFailure::ShutDown) {
                CloseStream();
            }
            throw;
        }
        RequestIdlePump(false);
    }
}

}  // namespace pigeonet
