#include "support/program_under_test_win32.h"

#include "support/wine_path_win32.h"

#include <cstdlib>
#include <stdexcept>

namespace pigeonet::testing {

std::wstring BuildTreeFile(const std::wstring& name) {
    const char* directory = std::getenv("PIGEONET_BUILD_DIR");
    return directory ? WinePath(directory) + L"\\" + name : name;
}

void ForgetSettings() {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Zelvik");
}

ProgramUnderTest::ProgramUnderTest() {
    // PIGEONET_PROGRAM names another pigeonet.exe by its Unix path: the product build, say.
    const char* program = std::getenv("PIGEONET_PROGRAM");
    std::wstring commandLine = L"\"" + (program ? WinePath(program) : BuildTreeFile(L"pigeonet.exe")) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process_)) {
        throw std::runtime_error("cannot start pigeonet.exe");
    }
    WaitForInputIdle(process_.hProcess, 5000);
}

ProgramUnderTest::~ProgramUnderTest() {
    if (Running()) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

long ProgramUnderTest::WaitForExit(std::chrono::milliseconds limit) {
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
}

bool ProgramUnderTest::Running() const {
    return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

void ProgramUnderTest::Close() {
    if (HWND mainWindow = FindProcessWindow(process_.dwProcessId, L"TForm1")) {
        PostMessageW(mainWindow, WM_CLOSE, 0, 0);
    }
}

HWND FindProcessWindow(DWORD processId, const wchar_t* className) {
    struct Search {
        DWORD processId;
        const wchar_t* className;
        HWND found;
    } search{processId, className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* search = reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (owner == search->processId && std::wstring(name) == search->className) {
                search->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace pigeonet::testing
