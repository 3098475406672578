#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scripted-server/scripted_server.h"

namespace pigeonet::scripted {

// The steps of a script written as words, one word a step, for the command line and the scripts that start the
// server:
//
//     send:TEXT        send TEXT (backslash escapes, see Unescape)
//     line             wait until the client has sent a line (through its LF)
//     pause:MS         send nothing for MS milliseconds
//     trickle:MS:TEXT  send TEXT one byte at a time, MS milliseconds before each
//     close            shut down the sending side (the client sees the close); keep recording
//     reset            abort the connection with a reset
//
// A protocol adds its own words as shorthands (pop3_steps.h, imap_steps.h): each is asked first, with the word's name
// (before the first colon) and the rest, and gives the steps it stands for, or nothing when the word is not its own.
using Shorthand = std::function<std::optional<Script>(std::string_view name, std::string_view argument)>;

// The bytes TEXT stands for (escapes \r \n \t \0 \xNN \\ \' \"); an unknown escape stays as it is written.
std::string Unescape(std::string_view text);

// The script the words spell; throws std::invalid_argument naming a word that is no step.
Script ParseScript(const std::vector<std::string>& words, const std::vector<Shorthand>& shorthands);

}  // namespace pigeonet::scripted
