#pragma once

#include "polling/check_round.h"

#include <windows.h>

#include <string>

namespace pigeonet {

// The platform effects of the menu commands that tests observe: starting programs, opening addresses. The real
// implementation calls the shell; tests record the calls.
class ProgramLauncher {
  public:
    virtual ~ProgramLauncher() = default;
    // ShellExecuteW with the "open" verb, no parameters, no directory, normal show.
    virtual void OpenWithShell(HWND parent, const std::string& target) = 0;
    // Starts a command line with normal show (what WinExec does); the real one quotes its program first
    // (ProgramCommandLine), so no shorter path than the user's program is ever tried.
    virtual void StartCommandLine(const std::string& commandLine) = 0;
};

class ShellProgramLauncher final : public ProgramLauncher {
  public:
    void OpenWithShell(HWND parent, const std::string& target) override;
    void StartCommandLine(const std::string& commandLine) override;
};

// The system's state that the main window asks for.
class MainFormPlatform {
  public:
    virtual ~MainFormPlatform() = default;
    // Whether the system reports an Internet connection; a failed query counts as offline.
    virtual bool IsOnline() = 0;
    // Whether the user presents, plays full screen or has silenced notifications; a failed query accepts them.
    virtual NotificationState UserNotificationState() = 0;
};

// InternetGetConnectedState and SHQueryUserNotificationState.
class Win32MainFormPlatform final : public MainFormPlatform {
  public:
    bool IsOnline() override;
    NotificationState UserNotificationState() override;
};

// The shell's QUERY_USER_NOTIFICATION_STATE value as the program knows it; an unknown value accepts notifications.
NotificationState NotificationStateOf(int shellState);

// The full path of the running executable (UTF-8).
std::string ExecutablePath();

}  // namespace pigeonet
