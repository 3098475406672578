#include "settings/mail_command.h"

#include "util/text.h"

namespace pigeonet {

namespace {

// A value that is absent or not text reads as empty: a strange registration must not stop the dialog loading.
std::string DefaultValueText(const RegistryHive& hive, const std::string& keyPath) {
    const auto value = hive.ReadValue(keyPath, "");
    return value && value->isText ? value->text : std::string();
}

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

bool IsWebMailAddress(std::string_view target) {
    const std::string start = AsciiLower(target.substr(0, 6));
    return start.starts_with("http:") || start.starts_with("https:");
}

bool IsAbsolutePath(std::string_view path) {
    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') {
        return true;
    }
    return path.starts_with("\\\\");
}

std::string MailCommandFromRegistration(std::string_view registeredCommand, std::string_view tempFolder) {
    std::string command = ReplaceAll(registeredCommand, "\"", "");
    command = ReplaceAll(command, "ProgramFiles", "Program Files");
    command = ReplaceAll(command, "%", "");
    if (IsAbsolutePath(command)) {
        return command;
    }
    return std::string(tempFolder.substr(0, 3)) + command;
}

std::string DefaultMailCommand(const RegistryHive& localMachine, std::string_view tempFolder) {
    const std::string clients(kMailClientsKey);
    const std::string client = DefaultValueText(localMachine, clients);
    // With no client named the command key would be "...\Mail\\shell\...", which names nothing.
    const std::string command =
        client.empty() ? std::string() : DefaultValueText(localMachine, clients + client + "\\shell\\open\\command");
    return MailCommandFromRegistration(command, tempFolder);
}

}  // namespace pigeonet
