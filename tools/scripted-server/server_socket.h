#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace pigeonet::scripted {

// The few socket calls the scripted server makes, with one adapter per platform (server_socket_posix.cpp,
// server_socket_win32.cpp). Everything is on 127.0.0.1; a socket is closed when its object goes.

// One accepted connection.
class Connection {
  public:
    explicit Connection(std::intptr_t handle) : handle_(handle) {}
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // True when there is something to read (data or the client's close) within `milliseconds`.
    bool Readable(int milliseconds);
    // Up to `capacity` bytes; 0 once the client has closed or the connection failed.
    std::size_t Receive(char* buffer, std::size_t capacity);
    // Sends every byte; false once the client has gone (never a signal that ends the process).
    bool SendAll(std::string_view bytes);
    // Shuts down the sending side: the client sees the close, and can still send.
    void ShutdownSend();
    // Aborts the connection with a reset and closes it.
    void Reset();

  private:
    std::intptr_t handle_;
    bool closed_ = false;
};

// A socket bound to 127.0.0.1.
class Listener {
  public:
    // Binds `port` (0: one the system chooses) and listens, or with `listen` false only holds the port: then every
    // connection to it is refused. Throws std::runtime_error when the port cannot be bound.
    Listener(std::uint16_t port, bool listen);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    std::uint16_t port() const { return port_; }
    // A connection accepted within `milliseconds`, or none.
    std::unique_ptr<Connection> Accept(int milliseconds);

  private:
    std::intptr_t handle_;
    std::uint16_t port_ = 0;
};

// This process's id, as the system's tools name it.
long CurrentProcessId();

}  // namespace pigeonet::scripted
