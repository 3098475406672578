#include "app/menu_commands.h"

#include "util/text.h"

#include <algorithm>
#include <string>

namespace pigeonet {

bool AutostartMarked(std::string_view runValue, std::string_view executablePath) {
    if (runValue.find("pg") != std::string_view::npos) {
        return true;
    }
    return !executablePath.empty() && AsciiLower(runValue).find(AsciiLower(executablePath)) != std::string::npos;
}

namespace {

constexpr std::string_view kBlanks = " \t";

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

}  // namespace

std::string AutostartCommand(std::string_view executablePath) {
    if (executablePath.find_first_of(kBlanks) == std::string_view::npos) {
        return std::string(executablePath);
    }
    return Quoted(executablePath);
}

ProgramStart ProgramCommandLine(std::string_view commandLine, const FileTest& isFile) {
    std::string_view line = commandLine;
    line.remove_prefix(std::min(line.find_first_not_of(kBlanks), line.size()));
    const std::size_t firstBlank = line.find_first_of(kBlanks);
    if (line.empty() || line.front() == '"' || firstBlank == std::string_view::npos) {
        return {"", std::string(commandLine)};
    }
    // From the whole line down to the first word, each prefix that ends just before a blank. A name without an
    // extension is never taken: the system would add ".exe" to it, which is the shorter path this guards against.
    for (std::size_t end = line.size(); end > 0;) {
        const std::string_view candidate = line.substr(0, end);
        const std::string_view name = candidate.substr(std::min(candidate.find_last_of("\\/"), candidate.size()));
        if (name.find('.') != std::string_view::npos && isFile(std::string(candidate))) {
            return {std::string(candidate), Quoted(candidate) + std::string(line.substr(end))};
        }
        const std::size_t blank = line.find_last_of(kBlanks, end - 1);
        if (blank == std::string_view::npos) {
            break;
        }
        const std::size_t word = line.find_last_not_of(kBlanks, blank);
        end = word == std::string_view::npos ? 0 : word + 1;
    }
    const std::string_view firstWord = line.substr(0, firstBlank);
    if (firstWord.find_first_of("\\/:") == std::string_view::npos) {
        return {"", Quoted(firstWord) + std::string(line.substr(firstBlank))};
    }
    return {std::string(line), Quoted(line)};
}

}  // namespace pigeonet
