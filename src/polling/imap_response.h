#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "polling/line_channel.h"
#include "polling/probe_error.h"

namespace pigeonet {

// IMAP4rev1's reading rules (RFC 3501) on top of the line channel: a response is a line, or several lines joined by
// literals ("{n}" at a line's end, then exactly n bytes, then the rest of the response on the next line). Every byte
// of it, literals included, counts against the channel's reply budget, so a literal announced larger than what is
// left of that budget fails at once, before a single byte of it is waited for.

// One response as it came: `lines[i]` ends with the "{n}" of `literals[i]` for every literal.
struct ImapResponse {
    std::vector<std::string> lines;
    std::vector<std::string> literals;

    // The first word of the first line: "*" untagged, "+" a continuation request, otherwise a tag.
    std::string_view Tag() const;
    // The word after the tag, as sent ("OK", "NO", "BAD", "BYE", "PREAUTH", "CAPABILITY", "STATUS", ...).
    std::string_view Word() const;
    // The first line from the blank after Word() on (" [ALERT] try later"; empty when nothing follows it).
    std::string_view Text() const;
};

// Reads one response from `channel` (the caller begins the reply).
ImapResponse ReadImapResponse(LineChannel& channel);

// The parts of a response after its tag and word: atoms (numbers and NIL included), strings (quoted or literal, their
// bytes as meant) and parentheses.
struct ImapToken {
    enum class Kind { Atom, String, Open, Close };
    Kind kind;
    std::string text;
};

class ImapTokens {
  public:
    // Starts after the tag and the word.
    explicit ImapTokens(const ImapResponse& response);
    // The next token; nothing at the end. Throws UnrecognizedImapResponseError for an unterminated quoted string.
    std::optional<ImapToken> Next();

  private:
    const ImapResponse& response_;
    std::size_t line_ = 0;
    std::size_t at_ = 0;
};

// A response the conversation cannot make sense of; the message quotes its first line.
class UnrecognizedImapResponseError : public ProbeError {
  public:
    explicit UnrecognizedImapResponseError(std::string_view line)
        : ProbeError(ProbeErrorKind::UnrecognizedReply,
                     "Unrecognized IMAP response:\n\"" + std::string(line) + "\r\n\"") {}
};

// A run of decimal digits as a 32-bit unsigned number; nothing for anything else (a sign, hex, blanks, overflow).
std::optional<std::uint32_t> ParseImapNumber(std::string_view text);

// The words of a capability list ("IMAP4rev1 STARTTLS LOGINDISABLED"), in capitals.
std::vector<std::string> ParseCapabilities(std::string_view list);

// `text` as an IMAP astring argument for the command line: a quoted string when every byte fits one (1-127 but CR
// and LF, with '"' and '\' escaped), otherwise nothing: the caller sends it as a literal.
std::optional<std::string> ImapQuoted(std::string_view text);

}  // namespace pigeonet
