#pragma once

// An IMAP mailbox for watchers and rounds alike, served by the scripted server on every connection at once.
#include "scripted-server/scripted_server.h"
#include "settings/live_settings.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace pigeonet::testing {

inline std::int64_t SteadyNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The greeting offers IDLE, every command gets its answer, and IDLE is confirmed, at once followed by a new
// message's EXISTS when `notice` is set.
class WatchedMailbox {
  public:
    explicit WatchedMailbox(bool notice)
        : state_(std::make_shared<State>()),
          server_({scripted::Send("* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN IDLE] ready\r\n"),
                   scripted::Converse(
                       [state = state_, notice](std::string_view line) { return Answer(*state, notice, line); })},
                  0) {}

    std::uint16_t port() const { return server_.port(); }
    int Logins() const { return state_->logins; }
    int Idles() const { return state_->idles; }
    int Rounds() const { return state_->statuses; }
    int Logouts() const { return state_->logouts; }
    // When the last EXISTS went out and when the last round was answered (milliseconds of the steady clock).
    std::int64_t NoticeAt() const { return state_->noticeAt; }
    std::int64_t RoundAt() const { return state_->statusAt; }

  private:
    struct State {
        std::atomic<int> logins = 0;
        std::atomic<int> idles = 0;
        std::atomic<int> statuses = 0;
        std::atomic<int> logouts = 0;
        std::atomic<std::int64_t> noticeAt = 0;
        std::atomic<std::int64_t> statusAt = 0;
    };

    static scripted::Reply Answer(State& state, bool notice, std::string_view line) {
        // Each connection is served on a thread of its own: the tag of its IDLE is that thread's.
        thread_local std::string idleTag;
        if (line == "DONE") {
            return {idleTag + " OK IDLE terminated\r\n"};
        }
        const std::string tag(line.substr(0, line.find(' ')));
        const std::string_view command = line.substr(tag.size() + 1);
        if (command.starts_with("LOGIN")) {
            ++state.logins;
        } else if (command.starts_with("IDLE")) {
            idleTag = tag;
            ++state.idles;
            if (notice) {
                state.noticeAt = SteadyNowMs();
                return {"+ idling\r\n* 5 EXISTS\r\n"};
            }
            return {"+ idling\r\n"};
        } else if (command.starts_with("STATUS")) {
            ++state.statuses;
            state.statusAt = SteadyNowMs();
            return {"* STATUS INBOX (MESSAGES 5 UNSEEN 2 UIDNEXT 6 UIDVALIDITY 1)\r\n" + tag + " OK done\r\n"};
        } else if (command.starts_with("LOGOUT")) {
            ++state.logouts;
            return {"* BYE\r\n" + tag + " OK bye\r\n", true};
        }
        return {tag + " OK done\r\n"};
    }

    std::shared_ptr<State> state_;
    scripted::ScriptedServer server_;
};

inline Account ImapAccount(std::uint16_t port) {
    return {"box@example.org", "127.0.0.1", "u", "p", "0", std::to_string(port), "imap", "none"};
}

}  // namespace pigeonet::testing
