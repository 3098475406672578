#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "polling/probe_error.h"
#include "polling/socket.h"

namespace pigeonet {

namespace {

// errno onto the Windows Sockets numbers, so a failure reads the same on every platform.
int WinsockNumber(int error) {
    switch (error) {
        case EINTR:
            return 10004;
        case EBADF:
            return 10009;
        case EACCES:
        case EPERM:
            return 10013;
        case EFAULT:
            return 10014;
        case EINVAL:
            return 10022;
        case EMFILE:
        case ENFILE:
            return 10024;
#if EAGAIN != EWOULDBLOCK
        case EAGAIN:
#endif
        case EWOULDBLOCK:
            return 10035;
        case EINPROGRESS:
            return 10036;
        case EALREADY:
            return 10037;
        case ENOTSOCK:
            return 10038;
        case EDESTADDRREQ:
            return 10039;
        case EMSGSIZE:
            return 10040;
        case EPROTOTYPE:
            return 10041;
        case ENOPROTOOPT:
            return 10042;
        case EPROTONOSUPPORT:
            return 10043;
        case ESOCKTNOSUPPORT:
            return 10044;
        case EOPNOTSUPP:
            return 10045;
        case EPFNOSUPPORT:
            return 10046;
        case EAFNOSUPPORT:
            return 10047;
        case EADDRINUSE:
            return 10048;
        case EADDRNOTAVAIL:
            return 10049;
        case ENETDOWN:
            return 10050;
        case ENETUNREACH:
            return 10051;
        case ENETRESET:
            return 10052;
        case ECONNABORTED:
            return 10053;
        case ECONNRESET:
            return 10054;
        case ENOBUFS:
        case ENOMEM:
            return 10055;
        case EISCONN:
            return 10056;
        case ENOTCONN:
            return 10057;
        case ESHUTDOWN:
        case EPIPE:
            return 10058;
        case ETOOMANYREFS:
            return 10059;
        case ETIMEDOUT:
            return 10060;
        case ECONNREFUSED:
            return 10061;
        case ELOOP:
            return 10062;
        case ENAMETOOLONG:
            return 10063;
        case EHOSTDOWN:
            return 10064;
        case EHOSTUNREACH:
            return 10065;
        case ENOTEMPTY:
            return 10066;
        default:
            return error;
    }
}

// What the failure did to the connection; EPIPE is a send after the connection was shut down, like WSAESHUTDOWN.
SocketFailure FailureOf(int error) {
    switch (error) {
        case ECONNRESET:
            return SocketFailure::Reset;
        case ECONNABORTED:
            return SocketFailure::Aborted;
        case ESHUTDOWN:
        case EPIPE:
            return SocketFailure::ShutDown;
        case ETIMEDOUT:
            return SocketFailure::TimedOut;
        case ECONNREFUSED:
            return SocketFailure::Refused;
        default:
            return SocketFailure::Other;
    }
}

SocketError ErrorOf(int error) {
    return SocketError(WinsockNumber(error), FailureOf(error));
}

ConnectProgress ConnectFailed(int error) {
    return {ConnectStatus::Failed, WinsockNumber(error), FailureOf(error)};
}

// Resolver failures onto WSAHOST_NOT_FOUND, WSATRY_AGAIN, WSANO_RECOVERY and WSANO_DATA.
int ResolverNumber(int result) {
    switch (result) {
        case EAI_NONAME:
            return 11001;
        case EAI_AGAIN:
            return 11002;
        case EAI_FAIL:
            return 11003;
#ifdef EAI_NODATA
        case EAI_NODATA:
            return 11004;
#endif
        case EAI_ADDRFAMILY:
            return 11004;
        case EAI_MEMORY:
            return 10055;
        case EAI_SYSTEM:
            return WinsockNumber(errno);
        default:
            return 11003;
    }
}

// Milliseconds left of a wait that began at `start`, for restarting a wait cut short by a signal.
int Remaining(int milliseconds, std::chrono::steady_clock::time_point start) {
    if (milliseconds < 0) {
        return -1;
    }
    const auto spent =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    return spent >= milliseconds ? 0 : milliseconds - static_cast<int>(spent);
}

class PosixSocket final : public TcpSocket {
  public:
    explicit PosixSocket(int fd) : fd_(fd) {}
    ~PosixSocket() override { Close(); }

    bool IsOpen() const override { return fd_ >= 0; }

    bool WaitReadable(int milliseconds) override {
        if (fd_ < 0) {
            return false;
        }
        pollfd entry{fd_, POLLIN, 0};
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            const int ready = poll(&entry, 1, Remaining(milliseconds, start));
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            return ready == 1;
        }
    }

    std::size_t Receive(char* buffer, std::size_t capacity) override {
        for (;;) {
            const ssize_t received = recv(fd_, buffer, capacity, 0);
            if (received >= 0) {
                return static_cast<std::size_t>(received);
            }
            if (errno != EINTR) {
                throw ErrorOf(errno);
            }
        }
    }

    std::size_t Send(const char* data, std::size_t size) override {
        for (;;) {
            // No SIGPIPE: a peer that has gone away is reported as an error like on Windows.
            const ssize_t sent = send(fd_, data, size, MSG_NOSIGNAL);
            if (sent >= 0) {
                return static_cast<std::size_t>(sent);
            }
            if (errno != EINTR) {
                throw ErrorOf(errno);
            }
        }
    }

    void Close() override {
        if (fd_ >= 0) {
            shutdown(fd_, SHUT_WR);
            close(fd_);
            fd_ = -1;
        }
    }

    bool KeepAlive(std::chrono::seconds idle, std::chrono::seconds interval) override {
        // Ten probes, as Windows sends.
        const int on = 1;
        const int idle_seconds = static_cast<int>(idle.count());
        const int interval_seconds = static_cast<int>(interval.count());
        const int probes = 10;
        return setsockopt(fd_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof(on)) == 0 &&
               setsockopt(fd_, IPPROTO_TCP, TCP_KEEPIDLE, &idle_seconds, sizeof(idle_seconds)) == 0 &&
               setsockopt(fd_, IPPROTO_TCP, TCP_KEEPINTVL, &interval_seconds, sizeof(interval_seconds)) == 0 &&
               setsockopt(fd_, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof(probes)) == 0;
    }

    ConnectProgress StartConnect(std::uint32_t address, std::uint16_t port) override {
        const int flags = fcntl(fd_, F_GETFL);
        fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
        sockaddr_in peer{};
        peer.sin_family = AF_INET;
        peer.sin_addr.s_addr = htonl(address);
        peer.sin_port = htons(port);
        if (connect(fd_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
            return Connected();
        }
        if (errno == EINPROGRESS || errno == EINTR) {
            return {ConnectStatus::Pending, 0};
        }
        return ConnectFailed(errno);
    }

    ConnectProgress WaitConnect(int milliseconds) override {
        pollfd entry{fd_, POLLOUT, 0};
        const auto start = std::chrono::steady_clock::now();
        int ready;
        do {
            ready = poll(&entry, 1, Remaining(milliseconds, start));
        } while (ready < 0 && errno == EINTR);
        if (ready == 0) {
            return {ConnectStatus::Pending, 0};
        }
        if (ready < 0) {
            return ConnectFailed(errno);
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
            error = errno;
        }
        if (error != 0) {
            return ConnectFailed(error);
        }
        return Connected();
    }

  private:
    ConnectProgress Connected() {
        const int flags = fcntl(fd_, F_GETFL);
        fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
        return {ConnectStatus::Connected, 0};
    }

    int fd_;
};

class PosixSocketLayer final : public SocketLayer {
  public:
    std::unique_ptr<TcpSocket> CreateSocket() override {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
        if (fd < 0) {
            throw SocketSetupError("Cannot allocate socket.");
        }
        auto result = std::make_unique<PosixSocket>(fd);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            throw SocketSetupError("Could not bind socket. Address and port are already in use.");
        }
        return result;
    }

    std::uint32_t ResolveHost(const std::string& host) override {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const int result = getaddrinfo(host.c_str(), nullptr, &hints, &found);
        if (result != 0) {
            throw SocketError(ResolverNumber(result));
        }
        std::uint32_t address = 0;
        bool have = false;
        for (const addrinfo* entry = found; entry != nullptr && !have; entry = entry->ai_next) {
            if (entry->ai_family == AF_INET) {
                address = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
                have = true;
            }
        }
        freeaddrinfo(found);
        if (!have) {
            throw SocketError(11001);
        }
        return address;
    }
};

}  // namespace

SocketLayer& PlatformSocketLayer() {
    // Never destroyed: a name lookup the probe gave up on may still be inside it while the process ends.
    static PosixSocketLayer* const layer = new PosixSocketLayer;
    return *layer;
}

std::optional<std::uint32_t> NumericHostAddress(const std::string& host) {
    // The resolver's own reading of a numeric host (inet_aton's forms), without its name lookup.
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (host.find('\0') != std::string::npos || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) {
        return std::nullopt;
    }
    std::optional<std::uint32_t> address;
    if (found != nullptr && found->ai_family == AF_INET) {
        address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    }
    freeaddrinfo(found);
    return address;
}

}  // namespace pigeonet
