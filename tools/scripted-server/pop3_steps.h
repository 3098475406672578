#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "scripted-server/script_text.h"
#include "scripted-server/scripted_server.h"

namespace pigeonet::scripted {

// POP3's shorthands for the scripted server, made of its protocol-free steps.

// The login of the text word `login`: "+OK ready" as the greeting, then +OK to USER and to PASS.
Script Pop3Login();

// The usual login of the in-process tests: greeting, +OK to USER and PASS, then `stat_reply` (a whole line with
// its CR LF) to STAT.
Script LoginThenStat(const std::string& stat_reply);

// A demo mailbox for `make run`, so the program has something to announce: any user name and password are
// accepted, it holds `initial` messages when the script is made and gains one every `period`, and it answers
// USER, PASS, STAT, NOOP and QUIT (then closes); it never holds real mail.
Script DemoMailbox(int initial, std::chrono::milliseconds period);

// The text words: `login`, and `demo[:COUNT[:SECONDS]]` (3 messages, one more every 60 s, by default).
std::optional<Script> Pop3Shorthand(std::string_view name, std::string_view argument);

}  // namespace pigeonet::scripted
