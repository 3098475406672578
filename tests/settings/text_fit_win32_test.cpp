// Every translated text against the control that shows it, in each language, at the screen's resolution (96 DPI
// with the rest of the suite, 144 and 192 by tests/settings/dpi-suite.sh). The texts come from the language
// application table, so a text added to it is measured without a change here; each measure is printed, and written
// to text-fit-DPI.txt in the build directory.
#include "i18n/language.h"
#include "settings/dialogs/account_editor_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"
#include "util/handles_win32.h"
#include "util/memory_registry.h"
#include "util/screen_dpi_win32.h"
#include "util/unicode_win32.h"
#include "util/window_text_win32.h"

#include "support/dialog_fakes_win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

namespace pigeonet {
namespace {

// One text in its control: the pixels it needs against those the control gives it (for a text that may wrap, the
// lines it needs against the lines the control holds).
struct Measure {
    int needed = 0;
    int room = 0;
    bool fits = true;
    std::string unit = "px";
};

std::string ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return Narrow(name);
}

HFONT FontOf(HWND control) {
    return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
}

// The text as one line in `font`.
int LineWidth(HFONT font, const std::string& text) {
    const ScopedGetDc dc(nullptr);
    const ScopedSelectObject select(dc.get(), font);
    const std::wstring wide = Widen(text);
    SIZE size{};
    GetTextExtentPoint32W(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &size);
    return size.cx;
}

// The text word-wrapped to `width`, as a static control wraps it: the box DrawText needs.
RECT WrappedBox(HFONT font, const std::string& text, int width) {
    const ScopedGetDc dc(nullptr);
    const ScopedSelectObject select(dc.get(), font);
    std::wstring wide = Widen(text);
    RECT box{0, 0, width, 0};
    DrawTextW(dc.get(), wide.data(), static_cast<int>(wide.size()), &box, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    return box;
}

int LineHeightOf(HFONT font) {
    const ScopedGetDc dc(nullptr);
    const ScopedSelectObject select(dc.get(), font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc.get(), &metrics);
    return metrics.tmHeight;
}

// A control's own text in the control: beside the check box's square, inside the group box's frame, between the
// push button's edges, and for a static control wrapped as it wraps it, counted in lines.
Measure MeasureControl(HWND control, const std::string& text) {
    RECT client{};
    GetClientRect(control, &client);
    const HFONT font = FontOf(control);
    const int width = LineWidth(font, text);
    const auto style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    if (ClassOf(control) == "Button") {
        const DWORD kind = style & BS_TYPEMASK;
        int margin = Scaled(8);  // a push button's edges and focus frame
        if (kind == BS_AUTOCHECKBOX || kind == BS_CHECKBOX || kind == BS_AUTORADIOBUTTON || kind == BS_RADIOBUTTON) {
            margin = Scaled(kCheckBoxTextOffset);
        } else if (kind == BS_GROUPBOX) {
            margin = Scaled(14);
        }
        return {width + margin, static_cast<int>(client.right), width + margin <= client.right};
    }
    if ((style & SS_TYPEMASK) == SS_OWNERDRAW) {
        // The header labels draw their text on one line.
        return {width, static_cast<int>(client.right), width <= client.right};
    }
    // A static control breaks its text at blanks; what does not fit its height is cut off.
    const RECT wrapped = WrappedBox(font, text, client.right);
    const int lineHeight = std::max(LineHeightOf(font), 1);
    const int lines = static_cast<int>((wrapped.bottom + lineHeight - 1) / lineHeight);
    const int room = std::max(static_cast<int>(client.bottom / lineHeight), 1);
    if (room == 1) {
        return {width, static_cast<int>(client.right), width <= client.right};
    }
    return {lines, room, lines <= room && wrapped.right <= client.right, "lines"};
}

const char* LanguageName(LanguageIndex language) {
    switch (language) {
        case LanguageIndex::Russian:
            return "ru";
        case LanguageIndex::English:
            return "en";
        default:
            return "de";
    }
}

// The child window (at any depth) whose text is `text`.
HWND FindShowing(HWND parent, const std::string& text) {
    struct Search {
        std::string text;
        HWND found = nullptr;
    } search{text};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            if (WindowTextUtf8(child) == s.text) {
                s.found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class TextsFitAtScreenDpi : public ::testing::Test {
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
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
        menuFont_.reset(CreateFontIndirectW(&metrics.lfMenuFont));
    }
    void TearDown() override {
        editor_ = nullptr;
        dialog_.reset();
    }

    // Where the target shows its text, measured; false when the test knows no way to find it.
    bool MeasureTarget(LangTarget target, const std::string& text, Measure& measure) {
        const SettingsDialogControls& d = dialog_->Controls();
        const AccountEditorControls& e = editor_->Controls();
        switch (target) {
            case LangTarget::MainLabel8:
                // No control: the word goes into the tray tooltip, which is as wide as its text.
                return false;
            case LangTarget::DialogSpinEdit1Hint:
                // A tooltip, as wide as its text.
                return false;
            case LangTarget::DialogLabel6Hint: {
                // The unit word shows in the interval label, after the "less" word at position 0 (its widest).
                SendMessageW(d.TrackBar2, TBM_SETPOS, TRUE, 0);
                dialog_->IntervalLabel();
                measure = MeasureControl(d.Label6, WindowTextUtf8(d.Label6));
                return true;
            }
            case LangTarget::DialogTabSheet3:
            case LangTarget::DialogTabSheet2: {
                // A tab is as wide as its caption: the row of tabs must stay within the control, on one row.
                const int index = target == LangTarget::DialogTabSheet3 ? 0 : 2;
                RECT item{};
                SendMessageW(d.PageControl1, TCM_GETITEMRECT, static_cast<WPARAM>(index),
                             reinterpret_cast<LPARAM>(&item));
                RECT client{};
                GetClientRect(d.PageControl1, &client);
                const bool oneRow = SendMessageW(d.PageControl1, TCM_GETROWCOUNT, 0, 0) == 1;
                measure = {static_cast<int>(item.right), static_cast<int>(client.right),
                           oneRow && item.right <= client.right};
                return true;
            }
            case LangTarget::DialogListView1Column0:
            case LangTarget::DialogListView1Column1: {
                const int column = target == LangTarget::DialogListView1Column0 ? 0 : 1;
                const int needed = LineWidth(FontOf(d.ListView1), text) + 6 * GetSystemMetrics(SM_CXEDGE);
                const int room = static_cast<int>(SendMessageW(d.ListView1, LVM_GETCOLUMNWIDTH, column, 0));
                measure = {needed, room, needed <= room};
                return true;
            }
            case LangTarget::EditorComboBox3None: {
                COMBOBOXINFO info{};
                info.cbSize = sizeof(info);
                GetComboBoxInfo(e.ComboBox3, &info);
                const int needed = LineWidth(FontOf(e.ComboBox3), text) + Scaled(4);
                const int room = info.rcItem.right - info.rcItem.left;
                measure = {needed, room, needed <= room};
                return true;
            }
            case LangTarget::EditorTestRunning:
            case LangTarget::EditorTestUnread:
            case LangTarget::EditorTestMessages:
            case LangTarget::EditorTestFailed: {
                // The test's line under the fields, with a large count or a long failure filled in (failures are
                // the system's socket messages, in English).
                std::string filled = text;
                const std::size_t at = filled.find("%s");
                if (at != std::string::npos) {
                    filled.replace(at, 2,
                                   target == LangTarget::EditorTestFailed
                                       ? "Socket Error # 10047\r\nAddress family not supported by protocol family."
                                       : "12345");
                }
                measure = MeasureControl(e.Label8, filled);
                return true;
            }
            default:
                break;
        }
        if (WindowOfTarget(target) == LangWindow::Main) {
            // A menu item: the popup menu is as wide as its widest item, within the screen.
            const int needed = LineWidth(menuFont_.get(), text) + 2 * GetSystemMetrics(SM_CXMENUCHECK);
            measure = {needed, GetSystemMetrics(SM_CXSCREEN), needed <= GetSystemMetrics(SM_CXSCREEN)};
            return true;
        }
        // Any other target is a control's window text: find the control by a text of its own, then measure.
        LanguageTextOwner& owner = Owner(target);
        const std::string marker = "fit-" + std::to_string(static_cast<int>(target));
        owner.ApplyText(target, marker);
        const HWND control =
            FindShowing(WindowOfTarget(target) == LangWindow::Editor ? editor_->Handle() : dialog_->Handle(), marker);
        owner.ApplyText(target, text);
        if (!control) {
            return false;
        }
        measure = MeasureControl(control, WindowTextUtf8(control));
        return true;
    }

    LanguageTextOwner& Owner(LangTarget target) {
        return WindowOfTarget(target) == LangWindow::Editor ? static_cast<LanguageTextOwner&>(*editor_)
                                                            : static_cast<LanguageTextOwner&>(*dialog_);
    }

    MemoryRegistry user_;
    SettingsStore store_{user_};
    testing::TestDialogSystem system_;
    testing::RecordingSound sound_{user_};
    std::unique_ptr<TForm2> dialog_;
    TForm3* editor_ = nullptr;  // the dialog's own
    UniqueFont menuFont_;
};

TEST_F(TextsFitAtScreenDpi, EveryTranslatedTextFitsItsControlInEveryLanguage) {
    const int dpi = ScreenDpi();
    std::ostringstream table;
    table << "dpi\tlang\tneeded\troom\tunit\tfits\ttext\n";
    for (const LanguageIndex language : {LanguageIndex::Russian, LanguageIndex::English, LanguageIndex::German}) {
        const LanguageTexts texts = TextsForLanguage(language);
        for (const LanguageText& entry : texts) {
            if (WindowOfTarget(entry.target) != LangWindow::Main) {
                Owner(entry.target).ApplyText(entry.target, entry.text);
            }
        }
        for (const LanguageText& entry : texts) {
            Measure measure;
            if (!MeasureTarget(entry.target, entry.text, measure)) {
                EXPECT_TRUE(entry.target == LangTarget::MainLabel8 || entry.target == LangTarget::DialogSpinEdit1Hint)
                    << "no control found for target " << static_cast<int>(entry.target) << " (\"" << entry.text
                    << "\")";
                continue;
            }
            table << dpi << '\t' << LanguageName(language) << '\t' << measure.needed << '\t' << measure.room << '\t'
                  << measure.unit << '\t' << (measure.fits ? "yes" : "NO") << '\t' << entry.text << '\n';
            EXPECT_TRUE(measure.fits) << LanguageName(language) << " at " << dpi << " DPI: \"" << entry.text
                                      << "\" needs " << measure.needed << " " << measure.unit << ", has "
                                      << measure.room;
        }
    }
    std::cout << table.str();
    if (const char* build = std::getenv("PIGEONET_BUILD_DIR")) {
        std::ofstream(std::string(build) + "/text-fit-" + std::to_string(dpi) + ".txt") << table.str();
    }
}

}  // namespace
}  // namespace pigeonet
