#include "tray/tray_pictures_win32.h"

#include "util/resource.h"

#include <cstdint>
#include <vector>

namespace pigeonet {
namespace {

// A top-down 32-bit DIB section with the picture's colours (transparent pixels black).
UniqueBitmap CreateColourBitmap(const TrayPicture& picture) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = picture.size;
    info.bmiHeader.biHeight = -picture.size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap) {
        return bitmap;
    }
    // DIB pixels are 0x00RRGGBB read as a little-endian DWORD (blue first in memory).
    auto* pixels = static_cast<std::uint32_t*>(bits);
    for (std::size_t i = 0; i < picture.colour.size(); ++i) {
        pixels[i] = picture.colour[i];
    }
    GdiFlush();
    return bitmap;
}

// A monochrome mask, a set bit for every transparent pixel; rows are padded to whole 16-bit words, most
// significant bit leftmost.
UniqueBitmap CreateMaskBitmap(const TrayPicture& picture) {
    const int stride = (picture.size + 15) / 16 * 2;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride * picture.size));
    for (int y = 0; y < picture.size; ++y) {
        for (int x = 0; x < picture.size; ++x) {
            if (picture.TransparentAt(x, y)) {
                rows[static_cast<std::size_t>(y * stride + x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    return UniqueBitmap(CreateBitmap(picture.size, picture.size, 1, 1, rows.data()));
}

}  // namespace

int TrayIconSize() {
    return TrayPictureSizeFor(GetSystemMetrics(SM_CXSMICON));
}

UniqueImageList CreateTrayImageList(int size) {
    UniqueImageList list(ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, kTrayImageCount, 0));
    if (!list) {
        return list;
    }
    for (int index = 0; index < kTrayImageCount; ++index) {
        const TrayPicture picture = DecodeTrayPicture(index, size);
        UniqueBitmap colour = CreateColourBitmap(picture);
        UniqueBitmap mask = CreateMaskBitmap(picture);
        // The list copies both bitmaps; ours are freed on leaving the loop.
        ImageList_Add(list.get(), colour.get(), mask.get());
    }
    return list;
}

UniqueIcon CreateTrayIcon(const TrayPicture& picture) {
    UniqueBitmap colour = CreateColourBitmap(picture);
    UniqueBitmap mask = CreateMaskBitmap(picture);
    if (!colour || !mask) {
        return UniqueIcon();
    }
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = colour.get();
    info.hbmMask = mask.get();
    // The icon gets copies of both bitmaps; ours are freed on return.
    return UniqueIcon(CreateIconIndirect(&info));
}

bool ReplaceTrayImage(HIMAGELIST list, int index, const TrayPicture& picture) {
    const UniqueIcon icon = CreateTrayIcon(picture);
    return icon && ImageList_ReplaceIcon(list, index, icon.get()) == index;
}

UniqueIcon LoadProgramIcon() {
    // LoadImageW rather than LoadIconW: the tray wants the 16 x 16 image of the file, not the 32 x 32 one shrunk.
    return UniqueIcon(
        static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PIGEONET), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR)));
}

}  // namespace pigeonet
