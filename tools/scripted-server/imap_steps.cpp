#include "scripted-server/imap_steps.h"

#include <string>

namespace pigeonet::scripted {

namespace {

// Whether a command line ends with a literal's announcement, "{n}" or the non-synchronizing "{n+}".
bool AnnouncesLiteral(std::string_view line) {
    if (line.empty() || line.back() != '}') {
        return false;
    }
    const auto open = line.rfind('{');
    return open != std::string_view::npos && open + 2 < line.size();
}

// The tag of the command being read by a tagged step, empty between commands, and that of the IDLE being answered.
// A session runs on one thread (its own with --sessions 0, the server's otherwise), so sessions served at the same
// time each keep their own.
thread_local std::string command_tag;
thread_local std::string idle_tag;

}  // namespace

Step ImapTagged(std::string answer) {
    const auto last_line = answer.rfind("\r\n");
    const std::string untagged = last_line == std::string::npos ? std::string() : answer.substr(0, last_line + 2);
    const std::string tagged = last_line == std::string::npos ? answer : answer.substr(last_line + 2);
    return Converse([untagged, tagged](std::string_view line) -> Reply {
        if (command_tag.empty()) {
            command_tag = std::string(line.substr(0, line.find(' ')));
        }
        if (AnnouncesLiteral(line)) {
            return {"+ go ahead\r\n"};
        }
        Reply reply{untagged + command_tag + " " + tagged + "\r\n", true};
        command_tag.clear();
        return reply;
    });
}

Script ImapLogin() {
    return {Send("* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] ready\r\n"), ImapTagged("OK logged in")};
}

Script ImapLoginThenStatus(const std::string& status) {
    Script script = ImapLogin();
    script.push_back(ImapTagged(status + "OK STATUS completed"));
    return script;
}

Step ImapIdle() {
    return Converse([](std::string_view line) -> Reply {
        idle_tag = std::string(line.substr(0, line.find(' ')));
        return {"+ idling\r\n", true};
    });
}

Step ImapIdleDone() {
    return Converse([](std::string_view line) -> Reply {
        if (line != "DONE") {
            return {};
        }
        return {idle_tag + " OK IDLE terminated\r\n", true};
    });
}

Script ImapIdleSession() {
    return {Send("* OK [CAPABILITY IMAP4rev1 IDLE AUTH=PLAIN] ready\r\n"), ImapTagged("OK logged in"),
            ImapTagged("* FLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft)\r\n* 2 EXISTS\r\n* 0 RECENT\r\n"
                       "OK [READ-ONLY] EXAMINE completed"),
            ImapIdle()};
}

std::optional<Script> ImapShorthand(std::string_view name, std::string_view argument) {
    if (name == "tagged") {
        return Script{ImapTagged(Unescape(argument))};
    }
    if (name == "imap-login" && argument.empty()) {
        return ImapLogin();
    }
    if (name == "imap-idle" && argument.empty()) {
        return ImapIdleSession();
    }
    if (name == "idle" && argument.empty()) {
        return Script{ImapIdle()};
    }
    if (name == "idle-done" && argument.empty()) {
        return Script{ImapIdleDone()};
    }
    return std::nullopt;
}

}  // namespace pigeonet::scripted
