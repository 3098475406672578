#pragma once

// A registry key of a test's own under HKEY_CURRENT_USER, standing in for the root the program's settings live
// under, so the tests never touch the settings of the user running them.
#include "util/handles_win32.h"
#include "util/registry_hive.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace pigeonet::testing {

class ScratchRegistryKey {
  public:
    ScratchRegistryKey() = default;
    ScratchRegistryKey(const ScratchRegistryKey&) = delete;
    ScratchRegistryKey& operator=(const ScratchRegistryKey&) = delete;
    ~ScratchRegistryKey() { Close(); }

    // Removes what an earlier run left under `path` and creates the key afresh (a fatal failure when it cannot).
    void Open(const wchar_t* path) {
        Close();
        path_ = path;
        RegDeleteTreeW(HKEY_CURRENT_USER, path);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.put(), nullptr),
                  ERROR_SUCCESS);
    }

    // Closes the key and removes it with everything the test wrote below it.
    void Close() {
        key_.reset();
        if (!path_.empty()) {
            RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
            path_.clear();
        }
    }

    HKEY get() const { return key_.get(); }

  private:
    std::wstring path_;
    UniqueRegKey key_;
};

// A mail client registered as the system's default the way Windows registers one, with its command under the
// program-files variable: "C:\\Program Files\\Mail\\mail.exe /mailurl:1" as the default mail command.
inline void RegisterMailClient(RegistryHive& localMachine) {
    const std::string command = "SOFTWARE\\Clients\\Mail\\Mail\\shell\\open\\command";
    localMachine.CreateKey(command);
    localMachine.WriteText("SOFTWARE\\Clients\\Mail", "", "Mail");
    localMachine.WriteText(command, "", "\"%ProgramFiles%\\Mail\\mail.exe\" /mailurl:%1");
}

}  // namespace pigeonet::testing
