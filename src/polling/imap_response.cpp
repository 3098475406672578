#include "polling/imap_response.h"

#include <limits>

namespace pigeonet {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The size a line's closing "{n}" announces; nothing when the line does not end in a literal's announcement.
// Sizes beyond any reply's budget read as the largest size, so that they fail as such without overflowing.
std::optional<std::size_t> AnnouncedLiteral(std::string_view line) {
    if (line.empty() || line.back() != '}') {
        return std::nullopt;
    }
    const auto open = line.rfind('{');
    if (open == std::string_view::npos || open + 2 > line.size() - 1) {
        return std::nullopt;
    }
    const std::string_view digits = line.substr(open + 1, line.size() - open - 2);
    std::size_t size = 0;
    for (char c : digits) {
        if (!IsDigit(c)) {
            return std::nullopt;
        }
        if (size > LineChannel::kMaxReplyLength) {
            return std::numeric_limits<std::size_t>::max();
        }
        size = size * 10 + static_cast<std::size_t>(c - '0');
    }
    return size;
}

// The first line split at its blanks: the word at `index` (0 the tag, 1 the word after it) and where it ends.
std::string_view WordAt(std::string_view line, int index, std::size_t* end = nullptr) {
    std::size_t start = 0;
    for (;;) {
        const auto blank = line.find(' ', start);
        const std::size_t stop = blank == std::string_view::npos ? line.size() : blank;
        if (index == 0) {
            if (end != nullptr) {
                *end = stop;
            }
            return line.substr(start, stop - start);
        }
        if (blank == std::string_view::npos) {
            if (end != nullptr) {
                *end = line.size();
            }
            return {};
        }
        start = blank + 1;
        --index;
    }
}

}  // namespace

std::string_view ImapResponse::Tag() const {
    return lines.empty() ? std::string_view() : WordAt(lines.front(), 0);
}

std::string_view ImapResponse::Word() const {
    return lines.empty() ? std::string_view() : WordAt(lines.front(), 1);
}

std::string_view ImapResponse::Text() const {
    if (lines.empty()) {
        return {};
    }
    std::size_t end = 0;
    WordAt(lines.front(), 1, &end);
    return std::string_view(lines.front()).substr(end);
}

ImapResponse ReadImapResponse(LineChannel& channel) {
    ImapResponse response;
    response.lines.push_back(channel.ReadLine());
    while (auto size = AnnouncedLiteral(response.lines.back())) {
        response.literals.push_back(channel.ReadBytes(*size));
        response.lines.push_back(channel.ReadLine());
    }
    return response;
}

ImapTokens::ImapTokens(const ImapResponse& response) : response_(response) {
    if (!response.lines.empty()) {
        WordAt(response.lines.front(), 1, &at_);
    }
}

std::optional<ImapToken> ImapTokens::Next() {
    while (line_ < response_.lines.size()) {
        const std::string& line = response_.lines[line_];
        while (at_ < line.size() && line[at_] == ' ') {
            ++at_;
        }
        if (at_ == line.size()) {
            return std::nullopt;
        }
        const char c = line[at_];
        if (c == '(' || c == ')') {
            ++at_;
            return ImapToken{c == '(' ? ImapToken::Kind::Open : ImapToken::Kind::Close, std::string(1, c)};
        }
        if (c == '{' && line_ < response_.literals.size() && line.rfind('{') == at_) {
            // The announcement ends this line; the literal's bytes are the token, the next line goes on after it.
            at_ = 0;
            return ImapToken{ImapToken::Kind::String, response_.literals[line_++]};
        }
        if (c == '"') {
            std::string text;
            for (std::size_t i = at_ + 1; i < line.size(); ++i) {
                if (line[i] == '"') {
                    at_ = i + 1;
                    return ImapToken{ImapToken::Kind::String, std::move(text)};
                }
                if (line[i] == '\\' && i + 1 < line.size()) {
                    ++i;
                }
                text += line[i];
            }
            throw UnrecognizedImapResponseError(response_.lines.front());
        }
        const auto stop = line.find_first_of(" ()\"", at_);
        const std::size_t end = stop == std::string::npos ? line.size() : stop;
        std::string atom = line.substr(at_, end - at_);
        at_ = end;
        return ImapToken{ImapToken::Kind::Atom, std::move(atom)};
    }
    return std::nullopt;
}

std::optional<std::uint32_t> ParseImapNumber(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        if (!IsDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

std::vector<std::string> ParseCapabilities(std::string_view list) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < list.size()) {
        const auto blank = list.find(' ', at);
        const std::size_t end = blank == std::string_view::npos ? list.size() : blank;
        if (end > at) {
            std::string word(list.substr(at, end - at));
            for (char& c : word) {
                if (c >= 'a' && c <= 'z') {
                    c = static_cast<char>(c - 'a' + 'A');
                }
            }
            words.push_back(std::move(word));
        }
        at = end + 1;
    }
    return words;
}

std::optional<std::string> ImapQuoted(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0 || byte > 0x7F || c == '\r' || c == '\n') {
            return std::nullopt;
        }
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

}  // namespace pigeonet
