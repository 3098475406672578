#include "app/platform_win32.h"

#include "app/menu_commands.h"
#include "util/handles_win32.h"
#include "util/unicode_win32.h"

#include <shellapi.h>
#include <wininet.h>

#include <vector>

namespace pigeonet {

bool Win32MainFormPlatform::IsOnline() {
    DWORD flags = 0;
    return InternetGetConnectedState(&flags, 0) != FALSE;
}

NotificationState NotificationStateOf(int shellState) {
    switch (shellState) {
        case QUNS_NOT_PRESENT:
            return NotificationState::NotPresent;
        case QUNS_BUSY:
            return NotificationState::Busy;
        case QUNS_RUNNING_D3D_FULL_SCREEN:
            return NotificationState::RunningDirect3dFullScreen;
        case QUNS_PRESENTATION_MODE:
            return NotificationState::PresentationMode;
        case QUNS_QUIET_TIME:
            return NotificationState::QuietTime;
        case 7:  // QUNS_APP, from Windows 8 on: beyond the headers of the Windows 7 target
            return NotificationState::App;
        default:
            return NotificationState::AcceptsNotifications;
    }
}

NotificationState Win32MainFormPlatform::UserNotificationState() {
    QUERY_USER_NOTIFICATION_STATE state = QUNS_ACCEPTS_NOTIFICATIONS;
    if (FAILED(SHQueryUserNotificationState(&state))) {
        return NotificationState::AcceptsNotifications;
    }
    return NotificationStateOf(static_cast<int>(state));
}

void ShellProgramLauncher::OpenWithShell(HWND parent, const std::string& target) {
    ShellExecuteW(parent, L"open", Widen(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void ShellProgramLauncher::StartCommandLine(const std::string& commandLine) {
    // WinExec's behaviour with the W API: the command line is parsed by CreateProcess, which looks the program up
    // the usual way, once its path is quoted so that no shorter path is tried. Failures are not reported.
    const ProgramStart start = ProgramCommandLine(commandLine, [](const std::string& path) {
        const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    });
    std::wstring line = Widen(start.commandLine);
    const std::wstring program = Widen(start.program);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(program.empty() ? nullptr : program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

std::string ExecutablePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            return Narrow(std::wstring_view(buffer.data(), length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace pigeonet
