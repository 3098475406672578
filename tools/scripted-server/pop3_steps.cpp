#include "scripted-server/pop3_steps.h"

#include <cctype>
#include <stdexcept>

namespace pigeonet::scripted {

namespace {

// The command word of a line: its first word in capitals, blanks around the line ignored.
std::string CommandOf(std::string_view line) {
    const auto first = line.find_first_not_of(" \t\r\n\v\f");
    if (first == std::string_view::npos) {
        return {};
    }
    line.remove_prefix(first);
    std::string command(line.substr(0, line.find(' ')));
    while (!command.empty() && std::isspace(static_cast<unsigned char>(command.back()))) {
        command.pop_back();
    }
    for (char& c : command) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return command;
}

}  // namespace

Script Pop3Login() {
    return {Send("+OK ready\r\n"), ReadLine(), Send("+OK\r\n"), ReadLine(), Send("+OK\r\n"), ReadLine()};
}

Script LoginThenStat(const std::string& stat_reply) {
    return {Send("+OK POP3 ready\r\n"), ReadLine(), Send("+OK\r\n"), ReadLine(),
            Send("+OK logged in\r\n"),  ReadLine(), Send(stat_reply)};
}

Script DemoMailbox(int initial, std::chrono::milliseconds period) {
    const auto start = std::chrono::steady_clock::now();
    Responder answer = [initial, period, start](std::string_view line) -> Reply {
        const std::string command = CommandOf(line);
        if (command == "USER" || command == "PASS" || command == "NOOP") {
            return {"+OK\r\n"};
        }
        if (command == "STAT") {
            const auto elapsed = std::chrono::steady_clock::now() - start;
            const long long count = initial + (period.count() > 0 ? elapsed / period : 0);
            return {"+OK " + std::to_string(count) + " " + std::to_string(count * 1024) + "\r\n"};
        }
        if (command == "QUIT") {
            return {"+OK bye\r\n", true};
        }
        return {"-ERR the demo mailbox knows USER, PASS, STAT, NOOP and QUIT\r\n"};
    };
    return {Send("+OK Pigeonet demo mailbox ready\r\n"), Converse(std::move(answer)), Close()};
}

std::optional<Script> Pop3Shorthand(std::string_view name, std::string_view argument) {
    if (name == "login" && argument.empty()) {
        return Pop3Login();
    }
    if (name != "demo") {
        return std::nullopt;
    }
    int count = 3;
    double seconds = 60;
    const auto colon = argument.find(':');
    try {
        if (!argument.empty()) {
            count = std::stoi(std::string(argument.substr(0, colon)));
        }
        if (colon != std::string_view::npos) {
            seconds = std::stod(std::string(argument.substr(colon + 1)));
        }
    } catch (const std::logic_error&) {
        throw std::invalid_argument("demo takes COUNT:SECONDS: demo:" + std::string(argument));
    }
    return DemoMailbox(count, std::chrono::milliseconds(static_cast<long long>(seconds * 1000)));
}

}  // namespace pigeonet::scripted
