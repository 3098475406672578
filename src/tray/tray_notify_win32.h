#pragma once

#include <windows.h>

#include <shellapi.h>

namespace pigeonet {

// Every call into the notification area goes through here, so tests can record the calls and their records.
class ShellNotify {
  public:
    virtual ~ShellNotify() = default;
    // One Shell_NotifyIconW call (NIM_ADD, NIM_MODIFY, NIM_DELETE or NIM_SETVERSION); the shell's answer.
    virtual bool Notify(DWORD message, const NOTIFYICONDATAW& record) = 0;
};

// The real notification area.
class SystemShellNotify final : public ShellNotify {
  public:
    bool Notify(DWORD message, const NOTIFYICONDATAW& record) override;
};

// Balloon icon kinds, as ShowBalloon takes them.
enum class BalloonIcon { None = 0, Info = 1, Warning = 2, Error = 3 };

}  // namespace pigeonet
