#include "scripted-server/imap_steps.h"

#include <memory>

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

}  // namespace

Step ImapTagged(std::string answer) {
    const auto last_line = answer.rfind("\r\n");
    const std::string untagged = last_line == std::string::npos ? std::string() : answer.substr(0, last_line + 2);
    const std::string tagged = last_line == std::string::npos ? answer : answer.substr(last_line + 2);
    // The tag of the command being read; empty between commands. Sessions served at the same time (--sessions 0)
    // would share it: the step is for scripts that serve one session at a time.
    auto tag = std::make_shared<std::string>();
    return Converse([untagged, tagged, tag](std::string_view line) -> Reply {
        if (tag->empty()) {
            *tag = std::string(line.substr(0, line.find(' ')));
        }
        if (AnnouncesLiteral(line)) {
            return {"+ go ahead\r\n"};
        }
        Reply reply{untagged + *tag + " " + tagged + "\r\n", true};
        tag->clear();
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

std::optional<Script> ImapShorthand(std::string_view name, std::string_view argument) {
    if (name == "tagged") {
        return Script{ImapTagged(Unescape(argument))};
    }
    if (name == "imap-login" && argument.empty()) {
        return ImapLogin();
    }
    return std::nullopt;
}

}  // namespace pigeonet::scripted
