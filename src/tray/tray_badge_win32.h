#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <string>

#include "tray/tray_icon_win32.h"

namespace pigeonet {

// The count on the tray icon: keeps the mail picture of the tray's image list (image 0, the one the flashing
// alternates with the blank image) in line with a total, and has the tray show it again. The list and the tray
// are not owned and must outlive it.
class TrayBadge {
  public:
    TrayBadge(HIMAGELIST list, TrayIcon& tray) : list_(list), tray_(tray) {}

    // The badge for `total`, 0 or less for the plain picture. Redrawn only when its text changes; a picture the
    // list refused is tried again at the next call.
    void Show(std::int64_t total);
    // "" while the plain picture shows.
    const std::string& Text() const { return text_; }

  private:
    HIMAGELIST list_;
    TrayIcon& tray_;
    std::string text_;
};

}  // namespace pigeonet
