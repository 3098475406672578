// The settings dialog's texts for the language switch: window texts, tab captions, column captions and hints each
// live somewhere else in Windows.
#include "settings/dialogs/settings_dialog_win32.h"

#include "util/unicode_win32.h"
#include "util/window_text_win32.h"

#include <commctrl.h>

namespace pigeonet {

namespace {

// Tab items and list columns hold their captions alike: in a structure with a text flag, a text pointer and the
// buffer's size, read and written by a message each.
template <typename Item>
std::string ItemCaption(HWND control, UINT getMessage, UINT textFlag, int index) {
    wchar_t buffer[256] = {};
    Item item{};
    item.mask = textFlag;
    item.pszText = buffer;
    item.cchTextMax = static_cast<int>(std::size(buffer));
    SendMessageW(control, getMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return Narrow(buffer);
}

template <typename Item>
void SetItemCaption(HWND control, UINT setMessage, UINT textFlag, int index, const std::string& text) {
    std::wstring wide = Widen(text);
    Item item{};
    item.mask = textFlag;
    item.pszText = wide.data();
    SendMessageW(control, setMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

std::string TForm2::TabCaption(int index) const {
    return ItemCaption<TCITEMW>(controls_.PageControl1, TCM_GETITEMW, TCIF_TEXT, index);
}

std::string TForm2::ColumnCaption(int index) const {
    return ItemCaption<LVCOLUMNW>(controls_.ListView1, LVM_GETCOLUMNW, LVCF_TEXT, index);
}

HWND TForm2::TextControl(LangTarget target) const {
    const SettingsDialogControls& c = controls_;
    switch (target) {
        case LangTarget::DialogLabel2:
            return c.Label2;
        case LangTarget::DialogGroupBox1:
            return c.GroupBox1;
        case LangTarget::DialogLabel7:
            return c.Label7;
        case LangTarget::DialogGroupBox2:
            return c.GroupBox2;
        case LangTarget::DialogButton1:
            return c.Button1;
        case LangTarget::DialogButton2:
            return c.Button2;
        case LangTarget::DialogButton3:
            return c.Button3;
        case LangTarget::DialogButton5:
            return c.Button5;
        case LangTarget::DialogGroupBox3:
            return c.GroupBox3;
        case LangTarget::DialogCheckBox1:
            return c.CheckBox1;
        case LangTarget::DialogGroupBox4:
            return c.GroupBox4;
        case LangTarget::DialogLabel4:
            return c.Label4;
        case LangTarget::DialogLabel5:
            return c.Label5;
        case LangTarget::DialogCheckBox2:
            return c.CheckBox2;
        case LangTarget::DialogCheckBox3:
            return c.CheckBox3;
        case LangTarget::DialogCheckBox4:
            return c.CheckBox4;
        case LangTarget::DialogCheckBox5:
            return c.CheckBox5;
        default:
            return nullptr;
    }
}

void TForm2::ApplyText(LangTarget target, const std::string& text) {
    switch (target) {
        case LangTarget::DialogTabSheet3:
            SetItemCaption<TCITEMW>(controls_.PageControl1, TCM_SETITEMW, TCIF_TEXT, 0, text);
            return;
        case LangTarget::DialogTabSheet2:
            SetItemCaption<TCITEMW>(controls_.PageControl1, TCM_SETITEMW, TCIF_TEXT, 2, text);
            return;
        case LangTarget::DialogListView1Column0:
            SetItemCaption<LVCOLUMNW>(controls_.ListView1, LVM_SETCOLUMNW, LVCF_TEXT, 0, text);
            return;
        case LangTarget::DialogListView1Column1:
            SetItemCaption<LVCOLUMNW>(controls_.ListView1, LVM_SETCOLUMNW, LVCF_TEXT, 1, text);
            return;
        case LangTarget::DialogLabel6Hint:
            hints_.Set(controls_.Label6, text);
            return;
        case LangTarget::DialogSpinEdit1Hint:
            hints_.Set(controls_.SpinEdit1, text);
            return;
        default:
            break;
    }
    if (const HWND control = TextControl(target)) {
        SetWindowTextUtf8(control, text);
    }
}

}  // namespace pigeonet
