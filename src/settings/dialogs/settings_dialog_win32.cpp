// The settings dialog's life and its handlers: creation, showing, the buttons, the tabs and the account list.
#include "settings/dialogs/settings_dialog_win32.h"

#include "i18n/language.h"
#include "notify/sound_alert_win32.h"
#include "settings/dialogs/account_editor_win32.h"
#include "settings/dialogs/settings_dialog_layout_win32.h"
#include "settings/settings_dialog_rules.h"
#include "util/error_display_win32.h"
#include "util/unicode_win32.h"
#include "util/window_text_win32.h"

#include <commctrl.h>
#include <commdlg.h>

namespace pigeonet {

using namespace settings_dialog;

namespace {

// Wine's tab control marks the tab a mouse click selected as pressed and keeps the mark when the arrow keys move to
// another tab; while a tab other than the selected one is marked, it ignores every click on the tabs. Without
// button-style tabs the mark means nothing, so it is cleared from the unselected tabs whenever the page changes.
void ClearStaleTabPress(HWND tabs) {
    const int selected = static_cast<int>(SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
    const int count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        if (i == selected) {
            continue;
        }
        TCITEMW item{};
        item.mask = TCIF_STATE;
        item.dwStateMask = TCIS_BUTTONPRESSED;
        item.dwState = 0;
        SendMessageW(tabs, TCM_SETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
}

}  // namespace

std::optional<std::string> Win32SettingsDialogSystem::ChooseMailProgram(HWND owner) {
    wchar_t file[MAX_PATH * 4] = {};
    // "Почтовая программа|*.exe" as the dialog wants it: pairs separated by zero characters.
    static const wchar_t kFilter[] = L"Почтовая программа\0*.exe\0";
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = kFilter;
    dialog.lpstrFile = file;
    dialog.nMaxFile = static_cast<DWORD>(std::size(file));
    dialog.Flags = OFN_HIDEREADONLY | OFN_EXPLORER;
    if (!GetOpenFileNameW(&dialog)) {
        return std::nullopt;
    }
    return Narrow(file);
}

TForm2::TForm2(HINSTANCE instance,
               HWND owner,
               SettingsStore& store,
               std::function<void()> enablePollTimer,
               SettingsDialogSystem& system,
               SoundPlatform& sound,
               AccountTester testAccount)
    : instance_(instance), store_(store), enablePollTimer_(std::move(enablePollTimer)), system_(system), sound_(sound) {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES |
                                                      ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);
    font_ = MakeTahoma(kControlFontHeight);
    titleFont_ = MakeTahoma(19, true);
    subtitleFont_ = MakeTahoma(13);
    versionFont_ = MakeTahoma(9);
    for (const DialogPicture picture :
         {DialogPicture::HeaderImage, DialogPicture::HeaderIcon, DialogPicture::MailProgram, DialogPicture::Interval,
          DialogPicture::Sound, DialogPicture::Play}) {
        pictures_[picture] = LoadDialogPicture(instance_, picture);
    }
    playGlyph_.reset(PictureIcon(*pictures_[DialogPicture::Play]));

    // Near the bottom-right corner: 20 pixels from the screen's right edge, 50 from its bottom.
    CreateForm(L"PigeonetSettingsDialog", WS_CLIPCHILDREN, L"Pigeonet", {kClientWidth, kClientHeight, 20, 50}, owner);
    CreateControls();
    // A failure of the creation handler is shown and the program goes on with the dialog as far as it was loaded.
    GuardEvent([this] { FormCreate(); });
    editor_ = std::make_unique<TForm3>(instance_, Handle(), *this, std::move(testAccount));
}

TForm2::~TForm2() = default;

void TForm2::Show() {
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
}

bool TForm2::Visible() const {
    return IsWindowVisible(Handle()) != FALSE;
}

void TForm2::Button1Click() {
    OpenAccountEditor(kAddAccountMode, controls_.Button1);
}

void TForm2::Button2Click() {
    const int row = SelectedRow();
    if (row >= 0) {
        OpenAccountEditor(row, controls_.Button2);
    }
}

void TForm2::OpenAccountEditor(int mode, HWND pressedButton) {
    editor_->SetMode(mode);
    SetWindowTextUtf8(editor_->Handle(), AccountEditorCaption(WindowTextUtf8(pressedButton)));
    editor_->ShowModal();
}

void TForm2::Button3Click() {
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    SendMessageW(controls_.ListView1, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    ++revision_;
}

void TForm2::Button5Click() {
    HideAndResumePolling();
}

void TForm2::HideAndResumePolling() {
    ShowWindow(Handle(), SW_HIDE);
    if (enablePollTimer_) {
        enablePollTimer_();
    }
}

void TForm2::Button6Click() {
    if (const auto file = system_.ChooseMailProgram(Handle())) {
        SetWindowTextUtf8(controls_.Edit1, *file);
    }
}

void TForm2::ToolButton1Click() {
    PlaySoundChoice(sound_, Sound(), soundFolder_);
}

void TForm2::PageControl1Change() {
    const bool visible = AccountButtonsVisible(SelectedTab());
    for (const HWND button : {controls_.Button1, controls_.Button2, controls_.Button3}) {
        ShowWindow(button, visible ? SW_SHOW : SW_HIDE);
    }
}

void TForm2::ListView1KeyDown(WORD key) {
    if (key == VK_DELETE) {
        Button3Click();
    }
}

void TForm2::ListView1DblClick() {
    Button2Click();
}

void TForm2::IntervalLabel() {
    SetWindowTextUtf8(controls_.Label6, IntervalLabelText(IntervalPosition(), WindowTextUtf8(controls_.Label4),
                                                          hints_.Text(controls_.Label6)));
}

void TForm2::ShowPage(int index) {
    const HWND pages[] = {controls_.TabSheet3, controls_.TabSheet1, controls_.TabSheet2};
    for (int i = 0; i < 3; ++i) {
        ShowWindow(pages[i], i == index ? SW_SHOW : SW_HIDE);
    }
}

int TForm2::SelectedTab() const {
    return static_cast<int>(SendMessageW(controls_.PageControl1, TCM_GETCURSEL, 0, 0));
}

int TForm2::SelectedRow() const {
    return static_cast<int>(SendMessageW(controls_.ListView1, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

bool TForm2::ClickButton(int id) {
    switch (id) {
        case kButton1:
            Button1Click();
            return true;
        case kButton2:
            Button2Click();
            return true;
        case kButton3:
            Button3Click();
            return true;
        case kButton4:
            Button4Click();
            return true;
        case kButton5:
            Button5Click();
            return true;
        case kButton6:
            Button6Click();
            return true;
        case kToolButton1:
            ToolButton1Click();
            return true;
        case IDCANCEL:
            // Escape: the Cancel button is deliberately not the cancel button of the keyboard.
            return true;
        default:
            return false;
    }
}

LRESULT TForm2::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && ClickButton(LOWORD(wParam))) {
                return 0;
            }
            break;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == controls_.PageControl1 && header->code == TCN_SELCHANGE) {
                ClearStaleTabPress(controls_.PageControl1);
                ShowPage(SelectedTab());
                PageControl1Change();
                return 0;
            }
            if (header->hwndFrom == controls_.ListView1) {
                if (header->code == LVN_KEYDOWN) {
                    ListView1KeyDown(reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey);
                    return 0;
                }
                if (header->code == NM_DBLCLK) {
                    ListView1DblClick();
                    return 0;
                }
            }
            break;
        }
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lParam) == controls_.TrackBar2) {
                IntervalLabel();
                return 0;
            }
            break;
        case WM_DRAWITEM:
            if (PaintOwnerDrawn(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) {
                return TRUE;
            }
            break;
        case WM_PAINT:
            PaintHeader();
            return 0;
        default:
            break;
    }
    return DialogForm::HandleMessage(message, wParam, lParam);
}

}  // namespace pigeonet
