#include "util/registry_win32.h"

#include "util/handles_win32.h"
#include "util/unicode_win32.h"

#include <vector>

namespace pigeonet {

namespace {

// Paths may start with a backslash ("\SOFTWARE\Clients\Mail\"), which RegOpenKeyExW does not accept.
std::wstring KeyPath(const std::string& path) {
    std::wstring wide = Widen(path);
    while (!wide.empty() && wide.front() == L'\\') {
        wide.erase(wide.begin());
    }
    return wide;
}

}  // namespace

bool Win32RegistryHive::CreateKey(const std::string& path) {
    UniqueRegKey key;
    return RegCreateKeyExW(root_, KeyPath(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                           key.put(), nullptr) == ERROR_SUCCESS;
}

bool Win32RegistryHive::KeyExists(const std::string& path) const {
    UniqueRegKey key;
    return RegOpenKeyExW(root_, KeyPath(path).c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::optional<RegistryValue> Win32RegistryHive::ReadValue(const std::string& keyPath, const std::string& name) const {
    UniqueRegKey key;
    if (RegOpenKeyExW(root_, KeyPath(keyPath).c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const std::wstring valueName = Widen(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RegistryValue value;
    value.isText = type == REG_SZ || type == REG_EXPAND_SZ;
    if (!value.isText) {
        return value;
    }
    // Room for a terminating zero the stored data may lack; an odd byte count is rounded up.
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
    DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.text = Narrow(buffer.data());
    return value;
}

bool Win32RegistryHive::WriteText(const std::string& keyPath, const std::string& name, const std::string& text) {
    UniqueRegKey key;
    if (RegOpenKeyExW(root_, KeyPath(keyPath).c_str(), 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    const std::wstring data = Widen(text);
    const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.get(), Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          bytes) == ERROR_SUCCESS;
}

}  // namespace pigeonet
