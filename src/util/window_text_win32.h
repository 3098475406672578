#pragma once

#include <windows.h>

#include <string>

namespace pigeonet {

// A window's text (a control's contents, a window's caption) as UTF-8. Named apart from the Win32 calls, whose
// names <windows.h> turns into macros that would silently rename a function of the same name.
std::string WindowTextUtf8(HWND window);
void SetWindowTextUtf8(HWND window, const std::string& text);

}  // namespace pigeonet
