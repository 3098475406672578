#pragma once

#include <windows.h>

#include <commctrl.h>

#include "tray/tray_pictures.h"
#include "util/handles_win32.h"

namespace pigeonet {

using UniqueImageList = UniqueHandle<HIMAGELIST, &ImageList_Destroy>;

// The size of the tray's pictures for this screen: the shell's small-icon size (SM_CXSMICON), 16 at 96 DPI, as
// far as a picture is drawn for it (TrayPictureSizeFor).
int TrayIconSize();

// `ImageList1`: the tray's two pictures, colour with a one-bit transparency mask: image 0 the mail picture, image 1
// blank (fully transparent), both `size` pixels square. The caller owns the list and must keep it alive while a
// TrayIcon uses it.
UniqueImageList CreateTrayImageList(int size = TrayIconSize());

// `picture` as an icon: its colours with its one-bit transparency mask; no icon when GDI refuses one.
UniqueIcon CreateTrayIcon(const TrayPicture& picture);

// Puts `picture` (of the list's size) in place of image `index` of a list made by CreateTrayImageList, as an icon
// of its own that is freed again once the list has copied it. Whether the list took it.
bool ReplaceTrayImage(HIMAGELIST list, int index, const TrayPicture& picture);

// The program's own icon (IDI_PIGEONET, also its icon in Explorer) at the small-icon size, or no icon when the
// executable carries no such resource.
UniqueIcon LoadProgramIcon();

}  // namespace pigeonet
