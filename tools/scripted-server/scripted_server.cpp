#include "scripted-server/scripted_server.h"

#include <algorithm>
#include <chrono>

#include "scripted-server/server_socket.h"

namespace pigeonet::scripted {

Step Send(std::string bytes) {
    return {Step::Kind::Send, std::move(bytes)};
}
Step ReadLine() {
    return {Step::Kind::ReadLine};
}
Step Pause(int milliseconds) {
    return {Step::Kind::Pause, {}, milliseconds};
}
Step Trickle(std::string bytes, int milliseconds_per_byte) {
    return {Step::Kind::Trickle, std::move(bytes), milliseconds_per_byte};
}
Step Close() {
    return {Step::Kind::Close};
}
Step Reset() {
    return {Step::Kind::Reset};
}
Step Converse(Responder responder) {
    return {Step::Kind::Converse, {}, 0, std::move(responder)};
}

ScriptedServer::ScriptedServer(Script script, int sessions, std::uint16_t port, std::string record_file)
    : script_(std::move(script)), sessions_(sessions), listener_(std::make_unique<Listener>(port, true)) {
    if (!record_file.empty()) {
        record_.open(record_file, std::ios::binary | std::ios::trunc);
    }
    thread_ = std::thread([this] { Serve(); });
}

ScriptedServer::~ScriptedServer() {
    stopping_ = true;
    thread_.join();
}

std::uint16_t ScriptedServer::port() const {
    return listener_->port();
}

std::string ScriptedServer::Received() {
    std::unique_lock lock(mutex_);
    finished_changed_.wait_for(lock, std::chrono::seconds(10), [this] { return finished_; });
    return received_;
}

std::string ScriptedServer::ReceivedSoFar() {
    std::lock_guard lock(mutex_);
    return received_;
}

void ScriptedServer::WaitFinished() {
    std::unique_lock lock(mutex_);
    finished_changed_.wait(lock, [this] { return finished_; });
}

void ScriptedServer::Serve() {
    // Sessions served at the same time, each joined once it has ended, so a server that runs for hours holds no
    // more threads than it has clients.
    struct Running {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> ended;
    };
    std::vector<Running> running;
    auto join_ended = [&running](bool all) {
        std::erase_if(running, [all](Running& session) {
            if (!all && !*session.ended) {
                return false;
            }
            session.thread.join();
            return true;
        });
    };
    for (int session = 0; (sessions_ == 0 || session < sessions_) && !stopping_; ++session) {
        std::unique_ptr<Connection> connection;
        while (!stopping_ && !connection) {
            connection = listener_->Accept(50);
            join_ended(false);
        }
        if (!connection) {
            break;
        }
        if (sessions_ == 0) {
            auto ended = std::make_shared<std::atomic<bool>>(false);
            running.push_back({std::thread([this, owned = std::move(connection), ended] {
                                   RunSession(*owned);
                                   *ended = true;
                               }),
                               ended});
        } else {
            RunSession(*connection);
        }
    }
    join_ended(true);
    std::lock_guard lock(mutex_);
    finished_ = true;
    finished_changed_.notify_all();
}

// Reads what is there within `milliseconds` into the record and `pending`; false once the client has closed (or
// the server stops).
bool ScriptedServer::Record(Connection& connection, std::string& pending, int milliseconds) {
    if (stopping_) {
        return false;
    }
    if (!connection.Readable(milliseconds)) {
        return true;
    }
    char buffer[4096];
    const std::size_t n = connection.Receive(buffer, sizeof buffer);
    if (n == 0) {
        return false;
    }
    pending.append(buffer, n);
    std::lock_guard lock(mutex_);
    received_.append(buffer, n);
    if (record_.is_open()) {
        record_.write(buffer, static_cast<std::streamsize>(n));
        record_.flush();
    }
    return true;
}

void ScriptedServer::RunSession(Connection& connection) {
    std::string pending;  // received bytes not yet consumed by ReadLine and Converse steps
    bool open = true;
    // Pauses end early once the client has gone, so nobody waits for nothing.
    auto sleep_recording = [&](int milliseconds) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (open && std::chrono::steady_clock::now() < until) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            open = Record(connection, pending, static_cast<int>(std::min<long long>(left.count(), 20)));
        }
    };
    // The next line from the client, without its line end; false once the client has closed first.
    auto next_line = [&](std::string* line) {
        for (;;) {
            const auto lf = pending.find('\n');
            if (lf != std::string::npos) {
                if (line != nullptr) {
                    *line = pending.substr(0, lf > 0 && pending[lf - 1] == '\r' ? lf - 1 : lf);
                }
                pending.erase(0, lf + 1);
                return true;
            }
            open = Record(connection, pending, 20);
            if (!open) {
                return false;
            }
        }
    };
    for (const Step& step : script_) {
        if (!open || stopping_) {
            break;
        }
        switch (step.kind) {
            case Step::Kind::Send:
                connection.SendAll(step.bytes);
                break;
            case Step::Kind::ReadLine:
                next_line(nullptr);
                break;
            case Step::Kind::Pause:
                sleep_recording(step.milliseconds);
                break;
            case Step::Kind::Trickle:
                for (char c : step.bytes) {
                    sleep_recording(step.milliseconds);
                    if (!open) {
                        break;
                    }
                    connection.SendAll(std::string_view(&c, 1));
                }
                break;
            case Step::Kind::Close:
                connection.ShutdownSend();
                break;
            case Step::Kind::Reset:
                connection.Reset();
                return;
            case Step::Kind::Converse: {
                std::string line;
                while (next_line(&line)) {
                    const Reply reply = step.responder(line);
                    connection.SendAll(reply.bytes);
                    if (reply.last) {
                        break;
                    }
                }
                break;
            }
        }
    }
    while (open) {
        open = Record(connection, pending, 20);
    }
}

std::uint16_t RefusingPort() {
    // Never destroyed: the port stays held until the process ends.
    static std::vector<std::unique_ptr<Listener>> held;
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    held.push_back(std::make_unique<Listener>(0, false));
    return held.back()->port();
}

}  // namespace pigeonet::scripted
