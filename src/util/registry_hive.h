#pragma once

#include <optional>
#include <string>

namespace pigeonet {

// One registry value as the settings code sees it: text values (REG_SZ, REG_EXPAND_SZ) carry their text up to the
// first zero character, in UTF-8; values of any other type carry no text.
struct RegistryValue {
    bool isText = false;
    std::string text;
};

// The registry below one root key (HKEY_CURRENT_USER for the program). Key paths are relative to the root, with
// backslashes. Implementations: the real registry (Win32RegistryHive) and an in-memory model for tests.
class RegistryHive {
  public:
    virtual ~RegistryHive() = default;

    // Creates the key and any missing parents; false when it cannot.
    virtual bool CreateKey(const std::string& path) = 0;
    // Whether the key can be opened for reading; never creates it.
    virtual bool KeyExists(const std::string& path) const = 0;
    // The value, or nullopt when the key or the value does not exist. Never creates anything.
    virtual std::optional<RegistryValue> ReadValue(const std::string& keyPath, const std::string& name) const = 0;
    // Writes a REG_SZ value into an existing key; false when the key is missing or the write fails.
    virtual bool WriteText(const std::string& keyPath, const std::string& name, const std::string& text) = 0;
};

}  // namespace pigeonet
