#include "support/program_under_test_win32.h"
#include "support/wine_path_win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace pigeonet {
namespace {

using namespace std::chrono_literals;
using testing::FindProcessWindow;
using testing::ProgramUnderTest;
using testing::WaitUntil;

// `pigeonet.exe /close` as the installer runs it: its exit code, or -1 when it has not ended within `limit`.
long RunCloseSwitch(std::chrono::milliseconds limit) {
    const char* program = std::getenv("PIGEONET_PROGRAM");
    std::wstring commandLine =
        L"\"" + (program ? testing::WinePath(program) : testing::BuildTreeFile(L"pigeonet.exe")) + L"\" /CLOSE";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return -2;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(code);
}

bool SettingsKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Zelvik", 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

TEST(CloseSwitch, EndsTheRunningProgramAsItsExitDoesAndWaitsForIt) {
    ProgramUnderTest program;
    ASSERT_TRUE(WaitUntil([&] { return FindProcessWindow(program.ProcessId(), L"TForm1") != nullptr; }, 10s));
    EXPECT_EQ(RunCloseSwitch(15s), 0);
    // Gone by the time the switch returns, and by its own exit (code 0), not ended by force.
    EXPECT_EQ(program.WaitForExit(0ms), 0);
}

TEST(CloseSwitch, WithNothingRunningEndsAtOnceAndStartsNothing) {
    testing::ForgetSettings();
    EXPECT_EQ(RunCloseSwitch(5s), 0);
    EXPECT_FALSE(SettingsKeyExists()) << "the switch builds nothing of the program";
}

}  // namespace
}  // namespace pigeonet
