#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "scripted-server/server_socket.h"

namespace pigeonet::scripted {

namespace {

bool WaitFor(int fd, int milliseconds) {
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, milliseconds) == 1;
}

}  // namespace

Connection::~Connection() {
    if (!closed_) {
        close(static_cast<int>(handle_));
    }
}

bool Connection::Readable(int milliseconds) {
    return WaitFor(static_cast<int>(handle_), milliseconds);
}

std::size_t Connection::Receive(char* buffer, std::size_t capacity) {
    ssize_t received;
    do {
        received = recv(static_cast<int>(handle_), buffer, capacity, 0);
    } while (received < 0 && errno == EINTR);
    return received > 0 ? static_cast<std::size_t>(received) : 0;
}

bool Connection::SendAll(std::string_view bytes) {
    while (!bytes.empty()) {
        // No SIGPIPE: a client that has gone while the script still sends must not end the process.
        const ssize_t sent = send(static_cast<int>(handle_), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

void Connection::ShutdownSend() {
    shutdown(static_cast<int>(handle_), SHUT_WR);
}

void Connection::Reset() {
    linger abort{1, 0};
    setsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    close(static_cast<int>(handle_));
    closed_ = true;
}

Listener::Listener(std::uint16_t port, bool listen) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        throw std::runtime_error("cannot create a socket");
    }
    handle_ = fd;
    // A fixed port (the demo mailbox's) can be taken again at once after a restart.
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        (listen && ::listen(fd, 16) != 0)) {
        close(fd);
        throw std::runtime_error("cannot bind 127.0.0.1:" + std::to_string(port));
    }
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
}

Listener::~Listener() {
    close(static_cast<int>(handle_));
}

std::unique_ptr<Connection> Listener::Accept(int milliseconds) {
    if (!WaitFor(static_cast<int>(handle_), milliseconds)) {
        return nullptr;
    }
    const int fd = accept4(static_cast<int>(handle_), nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? nullptr : std::make_unique<Connection>(fd);
}

long CurrentProcessId() {
    return static_cast<long>(getpid());
}

}  // namespace pigeonet::scripted
