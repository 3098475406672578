#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "polling/socket.h"

namespace pigeonet::testing {

// How the peer's stream ends once every byte has been received.
enum class StreamEnd { Close, Silence, Reset, Abort };

// Sockets that wait no real time, for the unit tests and the fuzz targets: every wait is recorded and answered from
// the script, so the slicing of waits can be checked exactly and fast, and a fuzzer can cut the peer's bytes into
// receives of any size. They keep their own clock, which only the read waits move on.
class ScriptedSocketLayer : public SocketLayer {
  public:
    // Connect: slices that report Pending before the outcome; negative keeps it pending for ever.
    int pending_connect_waits = 0;
    // 0 connects; otherwise the failure the platform would report, its Windows Sockets number and its class.
    int connect_error = 0;
    SocketFailure connect_failure = SocketFailure::Other;
    // Reads: the first `silent_read_waits` read waits find nothing, the later ones find the peer's bytes (Serve).
    int silent_read_waits = 0;
    // A trickle: a read wait finds data only after this many milliseconds (one shorter finds nothing).
    int data_after_ms = 0;
    // Receives take at most these sizes, in turn and over and over (empty: as much as a receive asks for).
    std::vector<std::size_t> cuts;
    // Once every byte is taken: the close, nothing at all (a wait finds nothing), or a failure of the receive.
    StreamEnd end = StreamEnd::Close;
    // Sends take at most this many bytes at a time (0: all of them).
    std::size_t send_cut = 0;
    // Whether read waits are recorded in read_waits (the fuzz targets, which measure the heap, leave them out).
    bool record_read_waits = true;
    // The clock: a read wait moves it on by the time it took, all of it when it found nothing.
    std::int64_t now_ms = 0;

    std::vector<int> connect_waits;  // milliseconds asked for, in order
    std::vector<int> read_waits;
    std::string sent;  // every byte the client sent, in order
    bool closed = false;
    int sockets = 0;  // sockets created
    std::vector<std::string> resolved;

    // From now on the peer's bytes still to come are `bytes` (whatever was not received yet is dropped).
    void Serve(std::string bytes);
    // The peer's bytes not received yet.
    std::size_t unread() const { return incoming_.size() - taken_; }

    std::unique_ptr<TcpSocket> CreateSocket() override;
    std::uint32_t ResolveHost(const std::string& host) override;
    std::int64_t NowMilliseconds() override { return now_ms; }

  private:
    friend class ScriptedSocket;
    std::string incoming_;
    std::size_t taken_ = 0;
    std::size_t next_cut_ = 0;
};

}  // namespace pigeonet::testing
