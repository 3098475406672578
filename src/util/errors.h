#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace pigeonet {

// A failure the user is meant to read: its message (UTF-8) is the program's own text and ends up in the
// application's error display. Every failure the program raises on purpose is one of these.
class AppError : public std::runtime_error {
  public:
    explicit AppError(const std::string& message) : std::runtime_error(message) {}
};

// The text the application's error display shows for a failure's message: a "." is appended when the message is
// not empty and its last byte's code is above that of "." (so "Read Timeout" gains one, while texts ending in ".",
// a digit's neighbours below '.', CR LF or a blank are left alone).
std::string ErrorDisplayText(std::string_view message);

// The message pattern with its one "%s" replaced by the argument, e.g. "Invalid data type for '%s'".
std::string FormatMessageText(std::string_view pattern, std::string_view argument);

}  // namespace pigeonet
