// The dialogs at the screen's resolution: run at 96 DPI with the rest of the suite, and at other resolutions by
// tests/settings/dpi-suite.sh in a Wine prefix of their own (filter *AtScreenDpi*).
#include "settings/dialogs/account_editor_win32.h"
#include "settings/dialogs/dialog_pictures_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"
#include "util/handles_win32.h"
#include "util/memory_registry.h"
#include "util/unicode_win32.h"
#include "util/window_text_win32.h"
#include "util/window_win32.h"

#include "support/dialog_fakes_win32.h"
#include "support/screen_capture_win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>

namespace pigeonet {
namespace {

// A designed (96 DPI) box relative to the parent's client area; a height of -1 is the control's own choice (combo
// boxes, one-line labels sized to their font) and is not compared.
template <typename Controls>
struct Designed {
    const char* name;
    HWND Controls::*control;
    int x, y, width, height;
};

using D = SettingsDialogControls;
using E = AccountEditorControls;

constexpr Designed<D> kDialogLayout[] = {
    {"Label1", &D::Label1, 69, 11, 90, -1},
    {"Label2", &D::Label2, 70, 32, 390, -1},
    {"Label3", &D::Label3, 146, 7, 24, -1},
    {"PageControl1", &D::PageControl1, 11, 74, 366, 257},
    {"Button1", &D::Button1, 388, 95, 75, 25},
    {"Button2", &D::Button2, 388, 127, 75, 25},
    {"Button3", &D::Button3, 388, 159, 75, 25},
    {"Button4", &D::Button4, 388, 213, 75, 25},
    {"Button5", &D::Button5, 388, 245, 75, 25},
    {"GroupBox1", &D::GroupBox1, 6, 4, 346, 78},
    {"Edit1", &D::Edit1, 54, 26, 262, 21},
    {"Button6", &D::Button6, 320, 25, 22, 22},
    {"Label7", &D::Label7, 54, 54, 290, 14},
    {"GroupBox2", &D::GroupBox2, 6, 88, 346, 74},
    {"TrackBar2", &D::TrackBar2, 50, 106, 216, 32},
    {"Label6", &D::Label6, 272, 114, 76, 16},
    {"ListView1", &D::ListView1, 0, 0, 358, 137},
    {"CheckBox2", &D::CheckBox2, 4, 144, 350, 17},
    {"GroupBox3", &D::GroupBox3, 6, 4, 346, 58},
    {"ComboBox2", &D::ComboBox2, 54, 27, 252, -1},
    {"ToolButton1", &D::ToolButton1, 312, 25, 26, 25},
    {"CheckBox1", &D::CheckBox1, 10, 68, 342, 17},
    {"GroupBox4", &D::GroupBox4, 6, 92, 346, 70},
    {"Label4", &D::Label4, 10, 120, 58, 14},
    {"TrackBar1", &D::TrackBar1, 72, 112, 150, 32},
    {"Label5", &D::Label5, 226, 120, 56, 14},
    // Below the notification controls the dialog always had, which keep their places.
    {"CheckBox3", &D::CheckBox3, 10, 168, 342, 17},
    {"CheckBox4", &D::CheckBox4, 10, 188, 342, 17},
    {"CheckBox5", &D::CheckBox5, 10, 208, 342, 17},
};

constexpr Designed<E> kEditorLayout[] = {
    {"Label4", &E::Label4, 16, 18, 300, 14},
    {"Edit1", &E::Edit1, 16, 34, 201, 21},
    {"Label3", &E::Label3, 16, 65, 300, 14},
    {"Edit3", &E::Edit3, 16, 81, 201, 21},
    {"Label1", &E::Label1, 16, 114, 300, 14},
    {"Edit4", &E::Edit4, 16, 130, 201, 21},
    {"Label2", &E::Label2, 16, 161, 300, 14},
    {"Edit2", &E::Edit2, 16, 177, 201, 21},
    {"Label5", &E::Label5, 16, 208, 300, 14},
    {"ComboBox1", &E::ComboBox1, 16, 224, 201, -1},
    {"Button1", &E::Button1, 240, 32, 75, 25},
    {"Button2", &E::Button2, 240, 64, 75, 25},
    // Below the fields every account had from the start, which keep their places.
    {"Label6", &E::Label6, 16, 255, 300, 14},
    {"ComboBox2", &E::ComboBox2, 16, 271, 201, -1},
    {"Label7", &E::Label7, 16, 302, 300, 14},
    {"ComboBox3", &E::ComboBox3, 16, 318, 201, -1},
    {"Button3", &E::Button3, 240, 316, 75, 25},
    {"Label8", &E::Label8, 16, 350, 300, 42},
};

RECT BoxInParent(HWND control) {
    RECT box{};
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&box), 2);
    return box;
}

std::string ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return Narrow(name);
}

// The width a control's own text needs, by kind: the text alone for labels, the text beside the check mark for
// check boxes, the text in the top border for group boxes, the text between the edges for push buttons. The
// text's width is measured with GetTextExtentPoint32 in the control's font.
int RequiredWidth(HWND control) {
    const std::wstring text = Widen(WindowTextUtf8(control));
    if (text.empty()) {
        return 0;
    }
    const ScopedGetDc dc(control);
    const ScopedSelectObject font(dc.get(), reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE needed{};
    GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &needed);
    int margin = 0;
    if (ClassOf(control) == "Button") {
        const auto kind = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE)) & BS_TYPEMASK;
        margin = kind == BS_AUTOCHECKBOX ? Scaled(kCheckBoxTextOffset) : kind == BS_GROUPBOX ? Scaled(14) : Scaled(6);
    }
    return needed.cx + margin;
}

template <typename Controls>
void ExpectScaled(HWND control, const Designed<Controls>& designed) {
    ASSERT_NE(control, nullptr) << designed.name;
    const RECT box = BoxInParent(control);
    EXPECT_NEAR(box.left, Scaled(designed.x), 1) << designed.name;
    EXPECT_NEAR(box.top, Scaled(designed.y), 1) << designed.name;
    const int width = box.right - box.left;
    if (width > Scaled(designed.width) + 1) {
        // Grown by what its text needs beyond the scaled width (hinted glyphs): never at 96 DPI.
        EXPECT_NE(ScreenDpi(), kDesignDpi) << designed.name;
        EXPECT_EQ(width, RequiredWidth(control)) << designed.name;
    } else {
        EXPECT_NEAR(width, Scaled(designed.width), 1) << designed.name;
    }
    if (designed.height >= 0) {
        EXPECT_NEAR(box.bottom - box.top, Scaled(designed.height), 1) << designed.name;
    }
}

void ExpectTextFits(HWND control, const char* name) {
    RECT client{};
    GetClientRect(control, &client);
    EXPECT_LE(RequiredWidth(control), client.right) << name << ": \"" << WindowTextUtf8(control) << "\" is cut off";
    if (ClassOf(control) == "Static") {
        const ScopedGetDc dc(control);
        const ScopedSelectObject font(dc.get(), reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc.get(), &metrics);
        EXPECT_GE(client.bottom, metrics.tmHeight) << name << " is not as high as its font";
    }
}

class AtScreenDpi : public ::testing::Test {
  protected:
    void SetUp() override {
        // As the program's manifest does: the process draws for the screen's resolution itself.
        SetProcessDPIAware();
        if (const char* expected = std::getenv("PIGEONET_SCREEN_DPI")) {
            ASSERT_EQ(ScreenDpi(), std::atoi(expected)) << "the Wine prefix is not at the resolution asked for";
        }
        dialog_ = std::make_unique<TForm2>(
            GetModuleHandleW(nullptr), nullptr, store_, [] {}, system_, sound_);
        editor_ = &dialog_->Editor();
    }
    void TearDown() override {
        editor_ = nullptr;
        dialog_.reset();
    }
    void SelectTab(int index) {
        const HWND tabs = dialog_->Controls().PageControl1;
        SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
        NMHDR header{tabs, static_cast<UINT_PTR>(GetDlgCtrlID(tabs)), static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(dialog_->Handle(), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    }

    MemoryRegistry user_;
    SettingsStore store_{user_};
    testing::TestDialogSystem system_;
    testing::RecordingSound sound_{user_};
    std::unique_ptr<TForm2> dialog_;
    TForm3* editor_ = nullptr;  // the dialog's own
};

TEST_F(AtScreenDpi, ScalesTheDialogsByDpiOver96) {
    RECT client{};
    GetClientRect(dialog_->Handle(), &client);
    EXPECT_EQ(client.right, Scaled(474));
    EXPECT_EQ(client.bottom, Scaled(341));
    GetClientRect(editor_->Handle(), &client);
    EXPECT_EQ(client.right, Scaled(330));
    EXPECT_EQ(client.bottom, Scaled(400));
    for (const auto& control : kDialogLayout) {
        ExpectScaled(dialog_->Controls().*control.control, control);
    }
    for (const auto& control : kEditorLayout) {
        ExpectScaled(editor_->Controls().*control.control, control);
    }
    const HWND list = dialog_->Controls().ListView1;
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), Scaled(200));
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), Scaled(135));

    // The same offsets from the screen's bottom right-hand corner, scaled.
    RECT frame{};
    GetWindowRect(dialog_->Handle(), &frame);
    EXPECT_EQ(frame.right, GetSystemMetrics(SM_CXSCREEN) - Scaled(20));
    EXPECT_EQ(frame.bottom, GetSystemMetrics(SM_CYSCREEN) - Scaled(50));
    GetWindowRect(editor_->Handle(), &frame);
    EXPECT_EQ(frame.right, GetSystemMetrics(SM_CXSCREEN) - Scaled(100));
    EXPECT_EQ(frame.bottom, GetSystemMetrics(SM_CYSCREEN) - Scaled(150));

    const SettingsDialogControls& c = dialog_->Controls();
    for (const auto& [name, control, height] :
         {std::tuple{"Edit1", c.Edit1, 11}, std::tuple{"Label1", c.Label1, 19}, std::tuple{"Label2", c.Label2, 13},
          std::tuple{"Label3", c.Label3, 9}}) {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
        EXPECT_EQ(font.lfHeight, -Scaled(height)) << name;
    }
}

TEST_F(AtScreenDpi, EveryTextFitsItsControl) {
    for (const auto& control : kDialogLayout) {
        const HWND window = dialog_->Controls().*control.control;
        const std::string kind = ClassOf(window);
        if (kind == "Static" || kind == "Button") {
            ExpectTextFits(window, control.name);
        }
    }
    for (const auto& control : kEditorLayout) {
        const HWND window = editor_->Controls().*control.control;
        if (ClassOf(window) == "Static" || ClassOf(window) == "Button") {
            ExpectTextFits(window, control.name);
        }
    }
}

TEST_F(AtScreenDpi, ClicksOnTheTabsWorkAfterTheArrowKeysChangedThem) {
    dialog_->Show();
    const HWND tabs = dialog_->Controls().PageControl1;
    auto clickTab = [&](int index) {
        RECT box{};
        SendMessageW(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&box));
        const LPARAM at = MAKELPARAM((box.left + box.right) / 2, (box.top + box.bottom) / 2);
        SendMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(tabs, WM_LBUTTONUP, 0, at);
    };
    clickTab(1);
    EXPECT_EQ(dialog_->SelectedTab(), 1);
    SendMessageW(tabs, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(dialog_->SelectedTab(), 2);
    clickTab(0);
    EXPECT_EQ(dialog_->SelectedTab(), 0);
    EXPECT_TRUE(IsWindowVisible(dialog_->Controls().TabSheet3));
}

TEST_F(AtScreenDpi, SavesAScreenshotOfEveryTabAndTheEditor) {
    dialog_->Show();
    const std::string dpi = "-" + std::to_string(ScreenDpi());
    const std::string names[] = {"settings-tab-1", "settings-tab-2", "settings-tab-3"};
    for (int tab = 0; tab < 3; ++tab) {
        SelectTab(tab);
        testing::SaveScreenshot(testing::CaptureWindow(dialog_->Handle()), names[tab] + dpi);
    }
    ShowWindow(editor_->Handle(), SW_SHOWNOACTIVATE);
    testing::SaveScreenshot(testing::CaptureWindow(editor_->Handle()), "account-editor" + dpi);
    ShowWindow(editor_->Handle(), SW_HIDE);
}

}  // namespace
}  // namespace pigeonet
