#pragma once

#include "util/window_origin.h"

#include <string>
#include <string_view>

namespace pigeonet {

// The account tab of the settings dialog; the add, edit and delete buttons are shown only while it is selected.
inline constexpr int kAccountTabIndex = 1;
inline bool AccountButtonsVisible(int tabIndex) {
    return tabIndex == kAccountTabIndex;
}

// The display time field's value: its text as an integer brought into 3..60, or 3 when the text is no number.
int DisplayTimeFromText(std::string_view text);

// The account editor's caption: the pressed button's caption + " E-mail".
std::string AccountEditorCaption(std::string_view buttonCaption);

// Where a window of the given outer size goes: `right` pixels from the screen's right edge and `bottom` from its
// bottom edge (the dialogs sit near the bottom-right corner, above the taskbar).
WindowOrigin NearBottomRight(int screenWidth,
                             int screenHeight,
                             int windowWidth,
                             int windowHeight,
                             int right,
                             int bottom);

}  // namespace pigeonet
