#include <winsock2.h>
#include <mstcpip.h>
#include <ws2tcpip.h>

#include "polling/probe_error.h"
#include "polling/socket.h"
#include "util/unicode_win32.h"

namespace pigeonet {

namespace {

// Windows Sockets 2.2, started once when the first socket layer is needed and never stopped.
void StartWindowsSockets() {
    static const int result = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (result != 0) {
        throw SocketError(result);
    }
}

// What the failure did to the connection.
SocketFailure FailureOf(int error) {
    switch (error) {
        case WSAECONNRESET:
            return SocketFailure::Reset;
        case WSAECONNABORTED:
            return SocketFailure::Aborted;
        case WSAESHUTDOWN:
            return SocketFailure::ShutDown;
        case WSAETIMEDOUT:
            return SocketFailure::TimedOut;
        case WSAECONNREFUSED:
            return SocketFailure::Refused;
        default:
            return SocketFailure::Other;
    }
}

SocketError ErrorOf(int error) {
    return SocketError(error, FailureOf(error));
}

ConnectProgress ConnectFailed(int error) {
    return {ConnectStatus::Failed, error, FailureOf(error)};
}

timeval* Limit(int milliseconds, timeval& storage) {
    if (milliseconds < 0) {
        return nullptr;
    }
    storage.tv_sec = milliseconds / 1000;
    storage.tv_usec = (milliseconds % 1000) * 1000;
    return &storage;
}

class WinsockSocket final : public TcpSocket {
  public:
    explicit WinsockSocket(SOCKET s) : socket_(s) {}
    ~WinsockSocket() override { Close(); }

    bool IsOpen() const override { return socket_ != INVALID_SOCKET; }

    bool WaitReadable(int milliseconds) override {
        if (socket_ == INVALID_SOCKET) {
            return false;
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket_, &readable);
        timeval storage;
        return select(0, &readable, nullptr, nullptr, Limit(milliseconds, storage)) == 1;
    }

    std::size_t Receive(char* buffer, std::size_t capacity) override {
        const int received = recv(socket_, buffer, static_cast<int>(capacity), 0);
        if (received == SOCKET_ERROR) {
            throw ErrorOf(WSAGetLastError());
        }
        return static_cast<std::size_t>(received);
    }

    std::size_t Send(const char* data, std::size_t size) override {
        const int sent = send(socket_, data, static_cast<int>(size), 0);
        if (sent == SOCKET_ERROR) {
            throw ErrorOf(WSAGetLastError());
        }
        return static_cast<std::size_t>(sent);
    }

    void Close() override {
        if (socket_ != INVALID_SOCKET) {
            shutdown(socket_, SD_SEND);
            closesocket(socket_);
            socket_ = INVALID_SOCKET;
        }
    }

    bool KeepAlive(std::chrono::seconds idle, std::chrono::seconds interval) override {
        // The number of probes is the system's own (10 since Windows Vista).
        tcp_keepalive values{1, static_cast<ULONG>(std::chrono::milliseconds(idle).count()),
                             static_cast<ULONG>(std::chrono::milliseconds(interval).count())};
        DWORD returned = 0;
        return WSAIoctl(socket_, SIO_KEEPALIVE_VALS, &values, sizeof(values), nullptr, 0, &returned, nullptr,
                        nullptr) == 0;
    }

    ConnectProgress StartConnect(std::uint32_t address, std::uint16_t port) override {
        u_long non_blocking = 1;
        ioctlsocket(socket_, FIONBIO, &non_blocking);
        sockaddr_in peer{};
        peer.sin_family = AF_INET;
        peer.sin_addr.s_addr = htonl(address);
        peer.sin_port = htons(port);
        if (connect(socket_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
            return Connected();
        }
        const int error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            return {ConnectStatus::Pending, 0};
        }
        return ConnectFailed(error);
    }

    ConnectProgress WaitConnect(int milliseconds) override {
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(socket_, &writable);
        FD_SET(socket_, &failed);
        timeval storage;
        const int ready = select(0, nullptr, &writable, &failed, Limit(milliseconds, storage));
        if (ready == 0) {
            return {ConnectStatus::Pending, 0};
        }
        if (ready == SOCKET_ERROR) {
            return ConnectFailed(WSAGetLastError());
        }
        if (FD_ISSET(socket_, &failed)) {
            int error = 0;
            int length = sizeof error;
            getsockopt(socket_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
            return ConnectFailed(error != 0 ? error : WSAECONNREFUSED);
        }
        return Connected();
    }

  private:
    ConnectProgress Connected() {
        u_long blocking = 0;
        ioctlsocket(socket_, FIONBIO, &blocking);
        return {ConnectStatus::Connected, 0};
    }

    SOCKET socket_;
};

class WinsockLayer final : public SocketLayer {
  public:
    std::unique_ptr<TcpSocket> CreateSocket() override {
        StartWindowsSockets();
        const SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
        if (s == INVALID_SOCKET) {
            throw SocketSetupError("Cannot allocate socket.");
        }
        auto result = std::make_unique<WinsockSocket>(s);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            throw SocketSetupError("Could not bind socket. Address and port are already in use.");
        }
        return result;
    }

    std::uint32_t ResolveHost(const std::string& host) override {
        StartWindowsSockets();
        ADDRINFOW hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        ADDRINFOW* found = nullptr;
        // GetAddrInfoW reports Windows Sockets numbers itself: WSAHOST_NOT_FOUND (11001) for an unknown name.
        const int result = GetAddrInfoW(Widen(host).c_str(), nullptr, &hints, &found);
        if (result != 0) {
            throw SocketError(result);
        }
        std::uint32_t address = 0;
        bool have = false;
        for (const ADDRINFOW* entry = found; entry != nullptr && !have; entry = entry->ai_next) {
            if (entry->ai_family == AF_INET) {
                address = ntohl(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
                have = true;
            }
        }
        FreeAddrInfoW(found);
        if (!have) {
            throw SocketError(WSAHOST_NOT_FOUND);
        }
        return address;
    }
};

}  // namespace

SocketLayer& PlatformSocketLayer() {
    // Never destroyed: a name lookup the probe gave up on may still be inside it while the process ends.
    static WinsockLayer* const layer = new WinsockLayer;
    return *layer;
}

std::optional<std::uint32_t> NumericHostAddress(const std::string& host) {
    // The resolver's own reading of a numeric host, without its name lookup.
    if (host.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    StartWindowsSockets();
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    ADDRINFOW* found = nullptr;
    if (GetAddrInfoW(Widen(host).c_str(), nullptr, &hints, &found) != 0) {
        return std::nullopt;
    }
    std::optional<std::uint32_t> address;
    if (found != nullptr && found->ai_family == AF_INET) {
        address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    }
    FreeAddrInfoW(found);
    return address;
}

}  // namespace pigeonet
