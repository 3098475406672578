#pragma once

#include <windows.h>

#include <commctrl.h>

#include "util/handles_win32.h"

namespace pigeonet {

using UniqueImageList = UniqueHandle<HIMAGELIST, &ImageList_Destroy>;

// `ImageList1`: the tray's two 16 x 16 pictures, colour with a one-bit transparency mask: image 0 the mail picture,
// image 1 blank (fully transparent). The caller owns the list and must keep it alive while a TrayIcon uses it.
UniqueImageList CreateTrayImageList();

// The resource id of the program's own icon (src/tray/pigeonet.ico), also the program's icon in Explorer.
inline constexpr WORD kProgramIconResource = 1;

// The program's own icon at the small-icon size, or no icon when the executable carries no such resource.
UniqueIcon LoadProgramIcon();

}  // namespace pigeonet
