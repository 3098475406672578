// The settings dialog and the account editor as drawn on the screen, and the header's pictures.
#include "settings/dialogs/account_editor_win32.h"
#include "settings/dialogs/dialog_pictures_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"

#include "support/screen_capture_win32.h"
#include "support/settings_dialog_fixture_win32.h"
#include "support/wine_path_win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace pigeonet {
namespace {

std::vector<std::uint32_t> PixelsOf(const testing::ScreenCapture& capture, HWND captured, HWND window, RECT part) {
    RECT frame{};
    GetWindowRect(captured, &frame);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&part), 2);
    OffsetRect(&part, -frame.left, -frame.top);
    std::vector<std::uint32_t> pixels;
    for (int y = std::max(0, static_cast<int>(part.top)); y < std::min(capture.height, static_cast<int>(part.bottom));
         ++y) {
        for (int x = std::max(0, static_cast<int>(part.left));
             x < std::min(capture.width, static_cast<int>(part.right)); ++x) {
            pixels.push_back(capture.At(x, y));
        }
    }
    return pixels;
}

// How many of those pixels are as dark as text.
int DarkPixels(const testing::ScreenCapture& capture, HWND captured, HWND window, RECT part) {
    const auto pixels = PixelsOf(capture, captured, window, part);
    return static_cast<int>(std::count_if(pixels.begin(), pixels.end(), [](std::uint32_t pixel) {
        return (pixel >> 16 & 0xff) < 0x60 && (pixel >> 8 & 0xff) < 0x60 && (pixel & 0xff) < 0x60;
    }));
}

RECT ClientBox(HWND control) {
    RECT box{};
    GetClientRect(control, &box);
    return box;
}

TEST_F(SettingsDialog, DecodesTheHeaderPictures) {
    const char* source = std::getenv("PIGEONET_SOURCE_DIR");
    if (!source) {
        GTEST_SKIP() << "PIGEONET_SOURCE_DIR not set";
    }
    GdiplusSession gdiplus;
    for (const auto& [file, size] : {std::pair{"header_envelope.png", 40u}, std::pair{"header_gear.png", 32u}}) {
        std::ifstream in(
            std::filesystem::path(testing::WinePath(std::string(source) + "/src/settings/dialogs/" + file)),
            std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(bytes.empty()) << file;
        const auto picture = DecodePng(bytes.data(), bytes.size());
        ASSERT_NE(picture, nullptr) << file;
        EXPECT_EQ(picture->GetWidth(), size);
    }
    EXPECT_EQ(DecodePng("nonsense", 8), nullptr);
}

TEST_F(SettingsDialog, DrawsTheHeaderEachTabsPageAndTheAccountsOnScreen) {
    MakeMediaFolder();
    PutAccounts(2);
    Open();
    dialog_->Show();
    const HWND form = dialog_->Handle();

    std::vector<std::vector<std::uint32_t>> pages;
    const HWND sheets[] = {DialogControls().TabSheet3, DialogControls().TabSheet1, DialogControls().TabSheet2};
    const char* names[] = {"settings-tab0-main", "settings-tab1-accounts", "settings-tab2-indication"};
    for (int tab = 0; tab < 3; ++tab) {
        SelectTab(tab);
        const testing::ScreenCapture shot = testing::CaptureWindow(form);
        testing::SaveScreenshot(shot, names[tab]);
        // The header band is white beside its texts, with the title and the picture drawn on it.
        EXPECT_EQ(DarkPixels(shot, form, form, Scaled(RECT{240, 4, 470, 30})), 0) << names[tab];
        EXPECT_GT(DarkPixels(shot, form, form, Scaled(RECT{69, 11, 159, 30})), 0) << names[tab] << ": no title";
        const auto picture = PixelsOf(shot, form, form, Scaled(RECT{11, 8, 51, 48}));
        EXPECT_GT(std::count_if(picture.begin(), picture.end(), [](std::uint32_t pixel) { return pixel != 0xffffff; }),
                  100)
            << names[tab] << ": no header picture";
        // What the selected page shows.
        const HWND sheet = sheets[tab];
        pages.push_back(PixelsOf(shot, form, sheet, ClientBox(sheet)));
        if (tab == 1) {
            // Both accounts' addresses are drawn in their rows; the row after them is empty.
            const HWND list = DialogControls().ListView1;
            RECT row{};
            for (int index = 0; index < 3; ++index) {
                if (index < 2) {
                    row.left = LVIR_LABEL;
                    ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(index),
                                             reinterpret_cast<LPARAM>(&row)));
                } else {
                    OffsetRect(&row, 0, row.bottom - row.top);
                }
                EXPECT_EQ(DarkPixels(shot, form, list, row) > 0, index < 2) << "row " << index;
            }
        }
    }
    EXPECT_TRUE(pages[0] != pages[1]) << "tabs 0 and 1 look alike";
    EXPECT_TRUE(pages[1] != pages[2]) << "tabs 1 and 2 look alike";
    EXPECT_TRUE(pages[0] != pages[2]) << "tabs 0 and 2 look alike";

    SelectRow(0);
    WhenModal([&] {
        const HWND editor = editor_->Handle();
        const testing::ScreenCapture shot = testing::CaptureWindow(editor);
        testing::SaveScreenshot(shot, "account-editor");
        // The account's fields show their texts, the password as stars; the address's label is drawn too.
        const AccountEditorControls& fields = EditorControls();
        for (const auto& [name, control] :
             {std::pair{"Label4", fields.Label4}, std::pair{"Edit1", fields.Edit1}, std::pair{"Edit2", fields.Edit2},
              std::pair{"Edit3", fields.Edit3}, std::pair{"Edit4", fields.Edit4},
              std::pair{"ComboBox1", fields.ComboBox1}}) {
            EXPECT_GT(DarkPixels(shot, editor, control, ClientBox(control)), 0) << name;
        }
        Click(EditorControls().Button2);
    });
    dialog_->Button2Click();
}

}  // namespace
}  // namespace pigeonet
