#include "polling/support/fake_pop3_server.h"

#include <chrono>
#include <stdexcept>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using NativeSocket = SOCKET;
namespace {
void CloseNative(NativeSocket s) {
    closesocket(s);
}
constexpr int kShutSend = SD_SEND;
constexpr int kSendFlags = 0;
void StartSockets() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}
}  // namespace
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
using NativeSocket = int;
namespace {
void CloseNative(NativeSocket s) {
    close(s);
}
constexpr int kShutSend = SHUT_WR;
// A client that has gone while the script still sends must not end the test process with SIGPIPE.
constexpr int kSendFlags = MSG_NOSIGNAL;
void StartSockets() {}
}  // namespace
#endif

namespace pigeonet::testing {

namespace {

NativeSocket AsNative(std::intptr_t s) {
    return static_cast<NativeSocket>(s);
}

// True when the socket has something to read (data or a close) within `milliseconds`.
bool Readable(NativeSocket s, int milliseconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &limit) == 1;
}

void SendAll(NativeSocket s, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const auto n = send(s, bytes.data() + sent, static_cast<int>(bytes.size() - sent), kSendFlags);
        if (n <= 0) {
            return;
        }
        sent += static_cast<std::size_t>(n);
    }
}

NativeSocket BindLoopback(std::uint16_t port) {
    StartSockets();
    NativeSocket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        CloseNative(s);
        throw std::runtime_error("fake server: cannot bind");
    }
    return s;
}

std::uint16_t LocalPort(NativeSocket s) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

}  // namespace

ServerStep Send(std::string bytes) {
    return {ServerStep::Kind::Send, std::move(bytes), 0};
}
ServerStep ReadLine() {
    return {ServerStep::Kind::ReadLine, {}, 0};
}
ServerStep Pause(int milliseconds) {
    return {ServerStep::Kind::Pause, {}, milliseconds};
}
ServerStep Trickle(std::string bytes, int milliseconds_per_byte) {
    return {ServerStep::Kind::Trickle, std::move(bytes), milliseconds_per_byte};
}
ServerStep Close() {
    return {ServerStep::Kind::Close, {}, 0};
}
ServerStep Reset() {
    return {ServerStep::Kind::Reset, {}, 0};
}

std::vector<ServerStep> LoginThenStat(const std::string& stat_reply) {
    return {Send("+OK POP3 ready\r\n"), ReadLine(), Send("+OK\r\n"), ReadLine(),
            Send("+OK logged in\r\n"),  ReadLine(), Send(stat_reply)};
}

void ConfigureProbe(MailboxProbe& probe, std::uint16_t port, std::int32_t read_timeout) {
    probe.set_host("127.0.0.1");
    probe.set_port(port);
    probe.set_user("x");
    probe.set_password("y");
    probe.set_read_timeout(read_timeout);
}

FakePop3Server::FakePop3Server(std::vector<ServerStep> script, int sessions)
    : script_(std::move(script)), sessions_(sessions) {
    NativeSocket listener = BindLoopback(0);
    listen(listener, 16);
    listener_ = static_cast<std::intptr_t>(listener);
    port_ = LocalPort(listener);
    thread_ = std::thread([this] { Serve(); });
}

FakePop3Server::~FakePop3Server() {
    stopping_ = true;
    thread_.join();
    CloseNative(AsNative(listener_));
}

std::string FakePop3Server::Received() {
    std::unique_lock lock(mutex_);
    finished_changed_.wait_for(lock, std::chrono::seconds(10), [this] { return finished_; });
    return received_;
}

std::string FakePop3Server::ReceivedSoFar() {
    std::lock_guard lock(mutex_);
    return received_;
}

void FakePop3Server::Serve() {
    for (int session = 0; session < sessions_ && !stopping_; ++session) {
        while (!stopping_ && !Readable(AsNative(listener_), 50)) {
        }
        if (stopping_) {
            break;
        }
        NativeSocket connection = accept(AsNative(listener_), nullptr, nullptr);
        RunSession(static_cast<std::intptr_t>(connection));
    }
    std::lock_guard lock(mutex_);
    finished_ = true;
    finished_changed_.notify_all();
}

// Reads what is there within `milliseconds`; false once the client has closed (or the server stops).
bool FakePop3Server::Record(std::intptr_t connection, int milliseconds) {
    if (stopping_) {
        return false;
    }
    if (!Readable(AsNative(connection), milliseconds)) {
        return true;
    }
    char buffer[4096];
    const auto n = recv(AsNative(connection), buffer, sizeof buffer, 0);
    if (n <= 0) {
        return false;
    }
    std::lock_guard lock(mutex_);
    received_.append(buffer, static_cast<std::size_t>(n));
    pending_.append(buffer, static_cast<std::size_t>(n));
    return true;
}

void FakePop3Server::RunSession(std::intptr_t connection) {
    const NativeSocket s = AsNative(connection);
    {
        std::lock_guard lock(mutex_);
        pending_.clear();
    }
    bool open = true;
    auto sleep_recording = [&](int milliseconds) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (open && std::chrono::steady_clock::now() < until) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            open = Record(connection, static_cast<int>(std::min<long long>(left.count(), 20)));
        }
        if (!open) {
            // The client has gone: pauses end early so the test does not wait for nothing.
        }
    };
    for (const ServerStep& step : script_) {
        if (!open || stopping_) {
            break;
        }
        switch (step.kind) {
            case ServerStep::Kind::Send:
                SendAll(s, step.bytes);
                break;
            case ServerStep::Kind::ReadLine:
                for (;;) {
                    {
                        std::lock_guard lock(mutex_);
                        const auto lf = pending_.find('\n');
                        if (lf != std::string::npos) {
                            pending_.erase(0, lf + 1);
                            break;
                        }
                    }
                    open = Record(connection, 20);
                    if (!open) {
                        break;
                    }
                }
                break;
            case ServerStep::Kind::Pause:
                sleep_recording(step.milliseconds);
                break;
            case ServerStep::Kind::Trickle:
                for (char c : step.bytes) {
                    sleep_recording(step.milliseconds);
                    if (!open) {
                        break;
                    }
                    SendAll(s, std::string(1, c));
                }
                break;
            case ServerStep::Kind::Close:
                shutdown(s, kShutSend);
                break;
            case ServerStep::Kind::Reset: {
                linger abort{1, 0};
                setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
                CloseNative(s);
                return;
            }
        }
    }
    while (open) {
        open = Record(connection, 20);
    }
    CloseNative(s);
}

std::uint16_t UnusedLoopbackPort() {
    // Bound and never listening, so connections are refused; and never closed, so no other program's server (a
    // parallel test's) can take the port while this process may still connect to it.
    NativeSocket s = BindLoopback(0);
    return LocalPort(s);
}

}  // namespace pigeonet::testing
