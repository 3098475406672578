#include "scripted-server/script_text.h"

#include <stdexcept>

namespace pigeonet::scripted {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

int Milliseconds(std::string_view text, const std::string& word) {
    try {
        std::size_t used = 0;
        const int value = std::stoi(std::string(text), &used);
        if (used == text.size() && value >= 0) {
            return value;
        }
    } catch (const std::logic_error&) {
    }
    throw std::invalid_argument("not a number of milliseconds in step: " + word);
}

}  // namespace

std::string Unescape(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
            continue;
        }
        char byte = text[i + 1];
        switch (byte) {
            case 'r':
                byte = '\r';
                break;
            case 'n':
                byte = '\n';
                break;
            case 't':
                byte = '\t';
                break;
            case '0':
                byte = '\0';
                break;
            case '\\':
            case '\'':
            case '"':
                break;
            case 'x':
                if (i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 && HexDigit(text[i + 3]) >= 0) {
                    bytes += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
                    i += 3;
                    continue;
                }
                [[fallthrough]];
            default:
                bytes += '\\';  // not an escape: the backslash stays
                continue;
        }
        bytes += byte;
        ++i;
    }
    return bytes;
}

Script ParseScript(const std::vector<std::string>& words, const std::vector<Shorthand>& shorthands) {
    Script script;
    for (const std::string& word : words) {
        const auto colon = word.find(':');
        const std::string_view name = std::string_view(word).substr(0, colon);
        const std::string_view argument =
            colon == std::string::npos ? std::string_view() : std::string_view(word).substr(colon + 1);
        bool expanded = false;
        for (const Shorthand& shorthand : shorthands) {
            if (std::optional<Script> steps = shorthand(name, argument)) {
                script.insert(script.end(), steps->begin(), steps->end());
                expanded = true;
                break;
            }
        }
        if (expanded) {
            continue;
        }
        if (name == "send") {
            script.push_back(Send(Unescape(argument)));
        } else if (word == "line") {
            script.push_back(ReadLine());
        } else if (name == "pause") {
            script.push_back(Pause(Milliseconds(argument, word)));
        } else if (name == "trickle") {
            const auto second = argument.find(':');
            if (second == std::string_view::npos) {
                throw std::invalid_argument("trickle needs MS:TEXT: " + word);
            }
            script.push_back(
                Trickle(Unescape(argument.substr(second + 1)), Milliseconds(argument.substr(0, second), word)));
        } else if (word == "close") {
            script.push_back(Close());
        } else if (word == "reset") {
            script.push_back(Reset());
        } else {
            throw std::invalid_argument("unknown step: " + word);
        }
    }
    return script;
}

}  // namespace pigeonet::scripted
