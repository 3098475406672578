#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "polling/socket.h"

namespace pigeonet {

// The line layer under the POP3 and IMAP conversations: it owns the connection's byte stream and the input buffer,
// waits for data in slices that give the GUI its turn, and bounds what one reply may cost a client, however the server
// behaves. It knows neither protocol: the conversation tells it where a reply begins and which lines it wants.
//
// The bounds, all raised as the probe's own errors:
// - one line holds at most kMaxLineLength bytes before its LF (LineTooLongError);
// - one reply, the blank lines skipped before it and its continuation lines included, holds at most
//   kMaxReplyLength bytes (LineTooLongError), so a flood costs a bounded buffer and never ends up in a message;
// - every single wait for data lasts at most the read timeout (ReadTimeoutError);
// - one reply completes within the reply timeout of its first wait (ReadTimeoutError), so a trickle cannot hold a
//   check round for ever.
class LineChannel {
  public:
    static constexpr std::size_t kMaxLineLength = 16384;   // bytes before the LF, a CR included
    static constexpr std::size_t kMaxReplyLength = 65536;  // every byte of one reply, line ends included
    static constexpr std::size_t kReceiveChunk = 32768;    // the most one receive call asks for
    static constexpr std::int32_t kDefaultReplyTimeoutMs = 60000;

    // `layer` tells the time.
    explicit LineChannel(SocketLayer& layer);
    // Closes an open stream; raises nothing.
    ~LineChannel();
    LineChannel(const LineChannel&) = delete;
    LineChannel& operator=(const LineChannel&) = delete;

    // Longest single wait for data, in milliseconds; 0 (or less) means no limit.
    std::int32_t read_timeout() const { return read_timeout_; }
    void set_read_timeout(std::int32_t milliseconds) { read_timeout_ = milliseconds; }
    // Longest time one reply may take from its first wait, in milliseconds; 0 (or less) means no limit.
    std::int32_t reply_timeout() const { return reply_timeout_; }
    void set_reply_timeout(std::int32_t milliseconds) { reply_timeout_ = milliseconds; }
    // For a channel read off the GUI thread (a watcher's): every wait is cut into slices of at most kAbandonSliceMs,
    // timed on the layer's clock, and `abandoned` is asked after each; once it says true the wait gives up with
    // WaitAbandonedError, so the owner can end a connection that is waiting for a minute at its next slice.
    static constexpr int kAbandonSliceMs = 100;
    void set_abandon_check(std::function<bool()> abandoned) { abandoned_ = std::move(abandoned); }

    // A new connection: discards the old stream, empties the input buffer, clears the closed flag and begins a
    // reply.
    void Attach(std::unique_ptr<ByteStream> stream);
    // Hands the stream over (to be wrapped in TLS, say) and leaves no stream behind.
    std::unique_ptr<ByteStream> Detach();
    // Shuts down and closes the stream without discarding it, and remembers that the connection is closed.
    void CloseStream();
    // Closes and discards the stream: reads and writes then fail with NotConnectedError.
    void Discard();
    bool HasStream() const { return stream_ != nullptr; }
    bool IsOpen() const { return stream_ && stream_->IsOpen(); }
    // True when the connection is known to be closed (by the peer or by this side); an open stream whose
    // connection was seen closed is closed now.
    bool KnownClosed();

    // From here on lines count against a fresh reply: its byte budget and, from its first wait, its time limit.
    void BeginReply();
    // One line without its LF and without one CR before it.
    std::string ReadLine();
    // Exactly `count` bytes of the current reply, line ends and all (an IMAP literal). A count larger than what is
    // left of the reply's byte budget fails at once (LineTooLongError), before any wait and without buffering.
    std::string ReadBytes(std::size_t count);
    // Whether bytes have arrived that no read has taken yet (a server that talks ahead of a TLS upgrade).
    bool HasUnreadInput() const { return input_.size() > start_; }
    // Sends `text` + CR LF at once; refuses a text with a line break of its own (InvalidCommandError).
    void WriteLine(std::string_view text);
    // Waits up to `milliseconds` (0 or less: without limit) for data, in pumped slices when the idle pump applies.
    bool WaitReadable(std::int32_t milliseconds);
    // Waits for data within both the read timeout and what is left of the reply's time; ReadTimeoutError when
    // none comes. The TLS handshake waits through this, so it is bounded like a reply.
    void AwaitData();

  private:
    void ReceiveOnce();
    bool WaitSlice(int milliseconds);
    bool WaitAbandonable(std::int32_t milliseconds);

    SocketLayer& layer_;
    std::int32_t read_timeout_ = 0;
    std::int32_t reply_timeout_ = kDefaultReplyTimeoutMs;

    std::unique_ptr<ByteStream> stream_;  // null: no stream (before the first open, after Discard)
    bool closed_ = false;
    std::string input_;            // received bytes; those before start_ are taken out already
    std::size_t start_ = 0;        // where the current line begins in input_
    std::size_t searched_ = 0;     // bytes of the current line already searched for its LF
    std::size_t reply_bytes_ = 0;  // bytes of the current reply taken out as lines
    bool reply_waited_ = false;    // whether the current reply's time has started
    std::int64_t reply_deadline_ = 0;
    std::int64_t waited_since_served_ = 0;  // milliseconds spent in waits since the GUI last had its turn
    std::vector<char> chunk_;
    std::function<bool()> abandoned_;
};

}  // namespace pigeonet
