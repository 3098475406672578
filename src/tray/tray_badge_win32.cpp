#include "tray/tray_badge_win32.h"

#include <utility>

#include "tray/tray_badge.h"
#include "tray/tray_pictures.h"
#include "tray/tray_pictures_win32.h"

namespace pigeonet {

void TrayBadge::Show(std::int64_t total) {
    std::string text = TrayBadgeText(total);
    if (text == text_) {
        return;
    }
    int size = 0;
    if (!ImageList_GetIconSize(list_, &size, &size)) {
        return;
    }
    // Drawn at the list's size, which follows the screen's DPI like the tray's pictures.
    TrayPicture picture = DecodeTrayPicture(kTrayMailImage, size);
    DrawTrayBadge(picture, text);
    if (!ReplaceTrayImage(list_, kTrayMailImage, picture)) {
        return;
    }
    text_ = std::move(text);
    // Selecting the shown image again hands its new picture to the shell; the flashing keeps its rhythm.
    tray_.SetIconIndex(tray_.IconIndex());
}

}  // namespace pigeonet
