#pragma once

#include <memory>
#include <string>
#include <vector>

#include "polling/socket.h"

namespace pigeonet::testing {

// Sockets that wait no real time: every wait is recorded and answered from the script, so the slicing of waits
// can be checked exactly and fast.
class ScriptedSocketLayer : public SocketLayer {
  public:
    // Connect: slices that report Pending before the outcome; negative keeps it pending for ever.
    int pending_connect_waits = 0;
    int connect_error = 0;  // 0 connects; otherwise the Windows Sockets number of the failure
    // Reads: the first `silent_read_waits` read waits find nothing, the later ones find `incoming`.
    int silent_read_waits = 0;
    std::string incoming;

    std::vector<int> connect_waits;  // milliseconds asked for, in order
    std::vector<int> read_waits;
    std::string sent;
    bool closed = false;
    std::vector<std::string> resolved;

    std::unique_ptr<TcpSocket> CreateSocket() override;
    std::uint32_t ResolveHost(const std::string& host) override;
};

}  // namespace pigeonet::testing
