#pragma once

#include "util/window_win32.h"

#include <string>

namespace pigeonet {

// The application title: the hidden application window's title and the caption of the error display.
inline constexpr wchar_t kApplicationTitle[] = L"Pigeonet";

// The hidden, unowned top-level window titled "Pigeonet" that owns every other window of the program. It would
// carry the program's only taskbar button, which the tray hides whenever the main window shows. Another instance
// recognises a running one by this window.
class ApplicationWindow final : public Window {
  public:
    ApplicationWindow();
};

// The single-instance test: whether a top-level window other than `ownWindow`, without an owner, carries exactly
// (case-sensitively) the title `title`, reading at most 127 characters of each title.
bool AnotherInstanceRuns(HWND ownWindow, const std::wstring& title);

}  // namespace pigeonet
