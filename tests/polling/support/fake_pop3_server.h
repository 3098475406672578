#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include <atomic>

#include "polling/mailbox_probe.h"

namespace pigeonet::testing {

// One step of what the fake server does on a connection.
struct ServerStep {
    enum class Kind { Send, ReadLine, Pause, Trickle, Close, Reset };
    Kind kind;
    std::string bytes;
    int milliseconds = 0;
};

// Sends the bytes at once.
ServerStep Send(std::string bytes);
// Waits until the client has sent a line (up to and including its LF).
ServerStep ReadLine();
// Sends nothing for a while.
ServerStep Pause(int milliseconds);
// Sends the bytes one at a time with a pause before each.
ServerStep Trickle(std::string bytes, int milliseconds_per_byte);
// Shuts down the sending side (the client sees the close) and goes on recording until the client closes.
ServerStep Close();
// Aborts the connection with a reset.
ServerStep Reset();

// The usual login: greeting, +OK to USER and PASS, then `stat_reply` (a whole line with its CR LF) to STAT.
std::vector<ServerStep> LoginThenStat(const std::string& stat_reply);

// Points `probe` at a loopback server on `port` as user "x" with password "y", the login a test's expected
// conversation spells out.
void ConfigureProbe(MailboxProbe& probe, std::uint16_t port, std::int32_t read_timeout = 2000);

// A scripted POP3 server on 127.0.0.1 in a thread of the test process. It accepts `sessions` connections one
// after the other, runs the script on each, and records exactly the bytes it received. After the script it stays
// silent and keeps recording until the client closes or the server is destroyed.
class FakePop3Server {
  public:
    explicit FakePop3Server(std::vector<ServerStep> script, int sessions = 1);
    ~FakePop3Server();
    FakePop3Server(const FakePop3Server&) = delete;
    FakePop3Server& operator=(const FakePop3Server&) = delete;

    std::uint16_t port() const { return port_; }
    // Every byte received on every session so far, after waiting (up to 10 s) for all sessions to end.
    std::string Received();
    // The bytes received so far, without waiting.
    std::string ReceivedSoFar();

  private:
    void Serve();
    void RunSession(std::intptr_t connection);
    bool Record(std::intptr_t connection, int milliseconds);

    std::vector<ServerStep> script_;
    int sessions_;
    std::intptr_t listener_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable finished_changed_;
    bool finished_ = false;
    std::string received_;
    std::string pending_;  // received bytes of the session not yet consumed by ReadLine steps
    std::thread thread_;
};

// A loopback port that refuses connections: held bound, not listening, until the test process ends.
std::uint16_t UnusedLoopbackPort();

}  // namespace pigeonet::testing
