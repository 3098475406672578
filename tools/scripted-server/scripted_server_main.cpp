// scripted-server: the scripted server on 127.0.0.1 for the black-box scripts, the benchmarks and `make run`.
//
//     scripted-server [--port N] [--sessions N] [--record FILE] [--] STEP...
//     scripted-server [--port N] --refuse
//
// Prints "port=N" and "pid=P" once it listens, then serves SESSIONS connections (default 1) one after the other,
// running the steps on each; after the steps it stays silent and records until the client closes, and once the
// last session has ended it exits. With --sessions 0 it serves every connection, at the same time, until it is
// stopped. Every byte received is appended to FILE at once, so a test can compare exactly what the client sent.
// The steps are those of script_text.h and the POP3 words of pop3_steps.h: `login`, and `demo:COUNT:SECONDS`
// (the demo mailbox of `make run`: --sessions 0 demo:3:60), and the IMAP words of imap_steps.h: `imap-login`,
// `tagged:ANSWER`, which answers one command with its own tag, and an IDLE session's `imap-idle` (up to "+ idling"),
// `idle-done` (DONE answered) and `idle` (another IDLE): `imap-idle 'send:* 3 EXISTS\r\n' idle-done idle`.
//
// With --refuse it only holds a port: bound, never listening, so every connection to it is refused and no other
// program can take the port meanwhile (a port that was merely free a moment ago may by then be another test's
// server, whose first connection would be taken). It prints the same two lines and runs until it is stopped.
//
// Stop it by its process id (SIGTERM) when it should end early.

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "scripted-server/imap_steps.h"
#include "scripted-server/pop3_steps.h"
#include "scripted-server/script_text.h"
#include "scripted-server/scripted_server.h"
#include "scripted-server/server_socket.h"

namespace {

using namespace pigeonet::scripted;

void PrintAddress(std::uint16_t port) {
    std::printf("port=%u\npid=%ld\n", static_cast<unsigned>(port), CurrentProcessId());
    std::fflush(stdout);
}

int Usage() {
    std::fputs(
        "usage: scripted-server [--port N] [--sessions N] [--record FILE] [--] STEP...\n"
        "       scripted-server [--port N] --refuse\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        long port = 0;
        int sessions = 1;
        std::string record;
        bool refuse = false;
        std::vector<std::string> words;
        bool options = true;
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            const bool has_value = i + 1 < argc;
            if (options && arg == "--") {
                options = false;
            } else if (options && arg == "--port" && has_value) {
                port = std::stol(argv[++i]);
            } else if (options && arg == "--sessions" && has_value) {
                sessions = std::stoi(argv[++i]);
            } else if (options && arg == "--record" && has_value) {
                record = argv[++i];
            } else if (options && arg == "--refuse") {
                refuse = true;
            } else if (options && arg.rfind("--", 0) == 0) {
                return Usage();
            } else {
                words.push_back(arg);
            }
        }
        if (port < 0 || port > 65535 || sessions < 0) {
            return Usage();
        }
        if (refuse) {
            Listener holder(static_cast<std::uint16_t>(port), false);
            PrintAddress(holder.port());
            for (;;) {
                std::this_thread::sleep_for(std::chrono::hours(1));
            }
        }
        Script script = ParseScript(words, {Pop3Shorthand, ImapShorthand});
        ScriptedServer server(std::move(script), sessions, static_cast<std::uint16_t>(port), record);
        PrintAddress(server.port());
        server.WaitFinished();
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "scripted-server: %s\n", error.what());
        return 2;
    }
}
