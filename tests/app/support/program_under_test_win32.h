#pragma once

#include <windows.h>

#include <chrono>
#include <string>

namespace pigeonet::testing {

// The real pigeonet.exe of this build tree (or the one PIGEONET_PROGRAM names), started as a user would start it (a
// separate process), for black-box tests under Wine.
class ProgramUnderTest {
  public:
    ProgramUnderTest();
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;
    // Ends the process if it still runs.
    ~ProgramUnderTest();

    // Waits up to `limit` for the process to end; its exit code, or nullopt-like -1 when it still runs.
    long WaitForExit(std::chrono::milliseconds limit);
    bool Running() const;
    // Asks the program to exit the way its Exit command does (closing the main window).
    void Close();
    DWORD ProcessId() const { return process_.dwProcessId; }

  private:
    PROCESS_INFORMATION process_{};
};

// The path of an executable of this build tree, as Windows sees it (Wine maps the Unix root to drive Z:).
std::wstring BuildTreeFile(const std::wstring& name);

// Deletes HKEY_CURRENT_USER\Software\Zelvik, so the next start finds a fresh user.
void ForgetSettings();

// Waits, processing this thread's messages, until `condition` holds or `limit` passes.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        Sleep(20);
    }
    return true;
}

// A top-level window of `processId` with this class name, or nullptr.
HWND FindProcessWindow(DWORD processId, const wchar_t* className);

}  // namespace pigeonet::testing
