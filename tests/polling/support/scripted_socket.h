#pragma once

#include <memory>
#include <string>
#include <vector>

#include "polling/socket.h"

namespace pigeonet::testing {

// Sockets that wait no real time: every wait is recorded and answered from the script, so the slicing of waits
// can be checked exactly and fast. They keep their own clock, which only the read waits move on.
class ScriptedSocketLayer : public SocketLayer {
  public:
    // Connect: slices that report Pending before the outcome; negative keeps it pending for ever.
    int pending_connect_waits = 0;
    int connect_error = 0;  // 0 connects; otherwise the Windows Sockets number of the failure
    // Reads: the first `silent_read_waits` read waits find nothing, the later ones find `incoming`.
    int silent_read_waits = 0;
    std::string incoming;
    // A trickle: a read wait finds data only after this many milliseconds (one shorter finds nothing), and a
    // receive takes at most `receive_at_most` bytes.
    int data_after_ms = 0;
    std::size_t receive_at_most = std::string::npos;
    // The clock: a read wait moves it on by the time it took, all of it when it found nothing.
    std::int64_t now_ms = 0;

    std::vector<int> connect_waits;  // milliseconds asked for, in order
    std::vector<int> read_waits;
    std::string sent;
    bool closed = false;
    std::vector<std::string> resolved;

    std::unique_ptr<TcpSocket> CreateSocket() override;
    std::uint32_t ResolveHost(const std::string& host) override;
    std::int64_t NowMilliseconds() override { return now_ms; }
};

}  // namespace pigeonet::testing
