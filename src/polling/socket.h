#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "polling/probe_error.h"

namespace pigeonet {

// The probe's view of the network: a small seam with one adapter per platform (socket_posix.cpp natively,
// socket_win32.cpp on Windows) and scripted replacements in tests. Failures are raised as the probe's own
// errors (SocketError with the Windows Sockets number, SocketSetupError), so every adapter reports alike. The
// adapter also sorts each failure into a SocketFailure: portable code decides on that, never on a number.

// A byte stream the protocol reads and writes: a plain TCP connection, or a TlsStream wrapping one (port 995). The
// protocol code reads both alike, so TLS needs no change of its own there.
class ByteStream {
  public:
    virtual ~ByteStream() = default;

    // False once Close has run (by the probe, or after the peer's close was seen).
    virtual bool IsOpen() const = 0;
    // Waits up to `milliseconds` (negative: without limit) for data or the peer's close to be readable. A failed
    // wait reports false, like one that timed out.
    virtual bool WaitReadable(int milliseconds) = 0;
    // Receives up to `capacity` bytes; 0 means the peer has closed. Throws SocketError.
    virtual std::size_t Receive(char* buffer, std::size_t capacity) = 0;
    // Sends a prefix of the bytes and returns its length. Throws SocketError.
    virtual std::size_t Send(const char* data, std::size_t size) = 0;
    // Shuts down the sending side, then closes. Does nothing when already closed; never throws.
    virtual void Close() = 0;
};

enum class ConnectStatus { Pending, Connected, Failed };

struct ConnectProgress {
    ConnectStatus status = ConnectStatus::Pending;
    int error = 0;  // Windows Sockets number when status is Failed, for the message
    SocketFailure failure = SocketFailure::Other;
};

// An IPv4 TCP stream socket whose connect can be waited for in slices.
class TcpSocket : public ByteStream {
  public:
    // Starts connecting to `address` (host byte order, 127.0.0.1 is 0x7F000001) and `port` without blocking.
    virtual ConnectProgress StartConnect(std::uint32_t address, std::uint16_t port) = 0;
    // Waits up to `milliseconds` (negative: without limit) for the started connect to finish. Once connected the
    // socket blocks again for sends.
    virtual ConnectProgress WaitConnect(int milliseconds) = 0;
    // Has the system probe a connection that has carried nothing for `idle`, every `interval` after that, and
    // fail it (the next read reports the error) when the peer stays silent: a link that died without a close is
    // then noticed without any traffic of the protocol's own. Returns whether the system took it; scripted sockets,
    // which have no link to lose, take it and do nothing.
    virtual bool KeepAlive(std::chrono::seconds idle, std::chrono::seconds interval) {
        (void)idle;
        (void)interval;
        return true;
    }
};

class SocketLayer {
  public:
    virtual ~SocketLayer() = default;

    // A new socket bound to any local address with a system-chosen port. Throws SocketSetupError with "Cannot
    // allocate socket." or "Could not bind socket. Address and port are already in use.".
    virtual std::unique_ptr<TcpSocket> CreateSocket() = 0;
    // The first IPv4 address (host byte order) the system's resolver gives for `host` (UTF-8). Blocks. Throws
    // SocketError with the resolver's number (11001 for an unknown name). The probe asks for a name on a worker
    // thread (HostLookup), which may still be asking after the probe has given up on it.
    virtual std::uint32_t ResolveHost(const std::string& host) = 0;
    // Milliseconds on a clock that only moves forward: what bounds a whole reply and paces the GUI's turns. Scripted
    // sockets, which wait no real time, tell their own time.
    virtual std::int64_t NowMilliseconds() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

// This platform's sockets; started once per process on first use and never stopped.
SocketLayer& PlatformSocketLayer();

// The address (host byte order) that this platform's resolver reads `host` as when it is written as an IPv4
// address in any form the resolver accepts ("127.1", "2130706433", "0x7f.0.0.1"); nothing for a name. Never asks a
// name server.
std::optional<std::uint32_t> NumericHostAddress(const std::string& host);

}  // namespace pigeonet
