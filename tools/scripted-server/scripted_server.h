#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace pigeonet::scripted {

class Connection;
class Listener;

// What a responder says to one line from the client: bytes to send (with their line ends), and whether the
// conversation ends after them.
struct Reply {
    std::string bytes;
    bool last = false;
};

// Answers a line the client sent, given without its LF and without one CR before it.
using Responder = std::function<Reply(std::string_view line)>;

// One step of what the server does on a connection. The steps know no protocol: a protocol's shorthands (see
// pop3_steps.h, imap_steps.h) are made of them.
struct Step {
    enum class Kind { Send, ReadLine, Pause, Trickle, Close, Reset, Converse };
    Kind kind;
    std::string bytes;
    int milliseconds = 0;
    Responder responder;  // Converse only
};

using Script = std::vector<Step>;

// Sends the bytes at once.
Step Send(std::string bytes);
// Waits until the client has sent a line (up to and including its LF).
Step ReadLine();
// Sends nothing for a while.
Step Pause(int milliseconds);
// Sends the bytes one at a time with a pause before each.
Step Trickle(std::string bytes, int milliseconds_per_byte);
// Shuts down the sending side (the client sees the close) and goes on recording until the client closes.
Step Close();
// Aborts the connection with a reset.
Step Reset();
// Answers every line the client sends with what `responder` says, until a reply is the last one or the client
// closes.
Step Converse(Responder responder);

// A scripted server on 127.0.0.1, serving in a thread of its own. It accepts `sessions` connections one after the
// other and runs the script on each (with `sessions` 0 it accepts connections for as long as it exists and serves
// each in a thread of its own, at the same time), and records exactly the bytes it received, in memory and, when
// `record_file` is given, in that file as they arrive. After the script it stays silent and keeps recording until
// the client closes or the server is destroyed.
class ScriptedServer {
  public:
    explicit ScriptedServer(Script script, int sessions = 1, std::uint16_t port = 0, std::string record_file = {});
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    std::uint16_t port() const;
    // Every byte received on every session so far, after waiting (up to 10 s) for all sessions to end.
    std::string Received();
    // The bytes received so far, without waiting.
    std::string ReceivedSoFar();
    // Waits until every session has ended.
    void WaitFinished();

  private:
    void Serve();
    void RunSession(Connection& connection);
    bool Record(Connection& connection, std::string& pending, int milliseconds);

    Script script_;
    int sessions_;
    std::unique_ptr<Listener> listener_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable finished_changed_;
    bool finished_ = false;
    std::string received_;
    std::ofstream record_;
    std::thread thread_;
};

// A loopback port that refuses connections: held bound, not listening, until the process ends, so no other
// program's server (a parallel test's) can take the port while this process may still connect to it.
std::uint16_t RefusingPort();

}  // namespace pigeonet::scripted
