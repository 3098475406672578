#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>
#include <string>

#include "scripted-server/server_socket.h"

namespace pigeonet::scripted {

namespace {

SOCKET AsSocket(std::intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

void StartSockets() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) {
        throw std::runtime_error("Windows Sockets did not start");
    }
}

bool WaitFor(SOCKET s, int milliseconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &limit) == 1;
}

}  // namespace

Connection::~Connection() {
    if (!closed_) {
        closesocket(AsSocket(handle_));
    }
}

bool Connection::Readable(int milliseconds) {
    return WaitFor(AsSocket(handle_), milliseconds);
}

std::size_t Connection::Receive(char* buffer, std::size_t capacity) {
    const int received = recv(AsSocket(handle_), buffer, static_cast<int>(capacity), 0);
    return received > 0 ? static_cast<std::size_t>(received) : 0;
}

bool Connection::SendAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const int sent = send(AsSocket(handle_), bytes.data(), static_cast<int>(bytes.size()), 0);
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

void Connection::ShutdownSend() {
    shutdown(AsSocket(handle_), SD_SEND);
}

void Connection::Reset() {
    linger abort{1, 0};
    setsockopt(AsSocket(handle_), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
    closesocket(AsSocket(handle_));
    closed_ = true;
}

Listener::Listener(std::uint16_t port, bool listen) {
    StartSockets();
    const SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        throw std::runtime_error("cannot create a socket");
    }
    handle_ = static_cast<std::intptr_t>(s);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || (listen && ::listen(s, 16) != 0)) {
        closesocket(s);
        throw std::runtime_error("cannot bind 127.0.0.1:" + std::to_string(port));
    }
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
}

Listener::~Listener() {
    closesocket(AsSocket(handle_));
}

std::unique_ptr<Connection> Listener::Accept(int milliseconds) {
    if (!WaitFor(AsSocket(handle_), milliseconds)) {
        return nullptr;
    }
    const SOCKET s = accept(AsSocket(handle_), nullptr, nullptr);
    return s == INVALID_SOCKET ? nullptr : std::make_unique<Connection>(static_cast<std::intptr_t>(s));
}

long CurrentProcessId() {
    return static_cast<long>(GetCurrentProcessId());
}

}  // namespace pigeonet::scripted
