#include "tray/tray_pictures_win32.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/tray_test_windows_win32.h"
#include "tray/tray_badge.h"
#include "tray/tray_pictures.h"

namespace pigeonet {
namespace {

using testing::ReadIcon;

TEST(TrayImageList, HoldsTheMailPictureAndABlankOne) {
    UniqueImageList list = CreateTrayImageList();
    ASSERT_TRUE(list);
    EXPECT_EQ(ImageList_GetImageCount(list.get()), 2);
    int width = 0, height = 0;
    ASSERT_TRUE(ImageList_GetIconSize(list.get(), &width, &height));
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 16);

    for (int index : {kTrayMailImage, kTrayBlankImage}) {
        UniqueIcon icon(ImageList_GetIcon(list.get(), index, ILD_NORMAL));
        ASSERT_TRUE(icon) << index;
        const auto pixels = ReadIcon(icon.get());
        const TrayPicture expected = DecodeTrayPicture(index);
        ASSERT_EQ(pixels.transparent.size(), 256u);
        ASSERT_EQ(pixels.colour.size(), 256u);
        for (std::size_t i = 0; i < 256; ++i) {
            EXPECT_EQ(pixels.transparent[i], expected.transparent[i]) << "image " << index << " pixel " << i;
            if (!expected.transparent[i]) {
                EXPECT_EQ(pixels.colour[i], expected.colour[i]) << "image " << index << " pixel " << i;
            }
        }
    }
}

TEST(TrayImageList, GivesTheShellIconsOfEveryDrawnSizeWithTheirMask) {
    for (const int size : kTrayPictureSizes) {
        UniqueImageList list = CreateTrayImageList(size);
        ASSERT_TRUE(list) << size;
        UniqueIcon icon(ImageList_GetIcon(list.get(), kTrayMailImage, ILD_NORMAL));
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon.get(), &info)) << size;
        BITMAP colour{};
        GetObjectW(info.hbmColor, sizeof(colour), &colour);
        EXPECT_EQ(colour.bmWidth, size);
        EXPECT_EQ(colour.bmHeight, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    EXPECT_EQ(TrayIconSize(), TrayPictureSizeFor(GetSystemMetrics(SM_CXSMICON)));
}

TEST(TrayImageList, TakesTheBadgedMailPictureInPlaceOfImageZeroAtEverySize) {
    for (const int size : kTrayPictureSizes) {
        UniqueImageList list = CreateTrayImageList(size);
        const TrayPicture badged = BadgedTrayPicture(12, size);
        ASSERT_TRUE(ReplaceTrayImage(list.get(), kTrayMailImage, badged)) << size;
        EXPECT_EQ(ImageList_GetImageCount(list.get()), kTrayImageCount);
        UniqueIcon icon(ImageList_GetIcon(list.get(), kTrayMailImage, ILD_NORMAL));
        const auto pixels = ReadIcon(icon.get(), size);
        ASSERT_EQ(pixels.colour.size(), badged.colour.size()) << size;
        for (std::size_t i = 0; i < badged.colour.size(); ++i) {
            ASSERT_EQ(pixels.transparent[i], badged.transparent[i]) << size << " pixel " << i;
            if (!badged.transparent[i]) {
                ASSERT_EQ(pixels.colour[i], badged.colour[i]) << size << " pixel " << i;
            }
        }
        UniqueIcon blank(ImageList_GetIcon(list.get(), kTrayBlankImage, ILD_NORMAL));
        const auto blankPixels = ReadIcon(blank.get(), size);
        EXPECT_EQ(std::count(blankPixels.transparent.begin(), blankPixels.transparent.end(), false), 0) << size;
    }
}

// Also run at 144 and 192 DPI by tests/settings/dpi-suite.sh, where the shell asks for larger icons.
TEST(TrayPicturesAtScreenDpi, TheImageListIsAtTheShellsSmallIconSize) {
    SetProcessDPIAware();
    const int asked = GetSystemMetrics(SM_CXSMICON);
    UniqueImageList list = CreateTrayImageList();
    int width = 0, height = 0;
    ASSERT_TRUE(ImageList_GetIconSize(list.get(), &width, &height));
    EXPECT_EQ(width, TrayPictureSizeFor(asked)) << "SM_CXSMICON " << asked;
    EXPECT_EQ(height, width);
    EXPECT_EQ(ImageList_GetImageCount(list.get()), kTrayImageCount);
}

TEST(ProgramIcon, IsAbsentFromAnExecutableWithoutTheResource) {
    // The test program carries no icon resource; the tray then falls back to the mail picture.
    EXPECT_FALSE(LoadProgramIcon());
}

}  // namespace
}  // namespace pigeonet
