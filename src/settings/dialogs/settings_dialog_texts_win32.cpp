// The settings dialog's texts by control name, for the language switch: window texts, tab captions, column
// captions and hints each live somewhere else in Windows.
#include "settings/dialogs/settings_dialog_layout_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"

#include "util/unicode_win32.h"
#include "util/window_text_win32.h"

#include <commctrl.h>

namespace pigeonet {

using namespace settings_dialog;

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

// How a name given to SetControlText reaches its text.
struct TForm2::Target {
    enum class Kind { Window, Tab, Column, Hint } kind;
    HWND window = nullptr;
    int index = 0;
    std::string hintKey;
};

std::optional<TForm2::Target> TForm2::FindTarget(std::string_view name) const {
    using Kind = Target::Kind;
    if (name == "Caption") {
        return Target{Kind::Window, Handle()};
    }
    if (name == "TabSheet3" || name == "TabSheet1" || name == "TabSheet2") {
        return Target{Kind::Tab, tabs_, name == "TabSheet3" ? 0 : name == "TabSheet1" ? 1 : 2};
    }
    constexpr std::string_view kColumn = "ListView1.Column";
    if (name.starts_with(kColumn) && name.size() == kColumn.size() + 1) {
        const int index = name.back() - '0';
        if (index >= 0 && index < kColumnCount - 1) {
            return Target{Kind::Column, Control("ListView1"), index};
        }
        return std::nullopt;
    }
    if (name.ends_with(".Hint")) {
        const auto found = hintTexts_.find(name);
        if (found == hintTexts_.end()) {
            return std::nullopt;
        }
        return Target{Kind::Hint, Control(name.substr(0, name.size() - 5)), 0, std::string(name)};
    }
    const HWND control = Control(name);
    if (!control || name == "PageControl1" || name == "ListView1" || name.starts_with("TrackBar")) {
        return std::nullopt;
    }
    return Target{Kind::Window, control};
}

bool TForm2::SetControlText(std::string_view controlName, const std::string& utf8) {
    const auto target = FindTarget(controlName);
    if (!target) {
        return false;
    }
    switch (target->kind) {
        case Target::Kind::Window:
            SetWindowTextUtf8(target->window, utf8);
            break;
        case Target::Kind::Tab:
            SetItemCaption<TCITEMW>(target->window, TCM_SETITEMW, TCIF_TEXT, target->index, utf8);
            break;
        case Target::Kind::Column:
            SetItemCaption<LVCOLUMNW>(target->window, LVM_SETCOLUMNW, LVCF_TEXT, target->index, utf8);
            break;
        case Target::Kind::Hint:
            hintTexts_[target->hintKey] = utf8;
            hints_.Set(target->window, utf8);
            break;
    }
    return true;
}

std::string TForm2::ControlText(std::string_view controlName) const {
    const auto target = FindTarget(controlName);
    if (!target) {
        return std::string();
    }
    switch (target->kind) {
        case Target::Kind::Window:
            return WindowTextUtf8(target->window);
        case Target::Kind::Tab:
            return ItemCaption<TCITEMW>(target->window, TCM_GETITEMW, TCIF_TEXT, target->index);
        case Target::Kind::Column:
            return ItemCaption<LVCOLUMNW>(target->window, LVM_GETCOLUMNW, LVCF_TEXT, target->index);
        case Target::Kind::Hint:
            return hintTexts_.find(target->hintKey)->second;
    }
    return std::string();
}

void TForm2::ApplyText(LangTarget target, const std::string& text) {
    switch (target) {
        case LangTarget::DialogListView1Column0:
            SetControlText("ListView1.Column0", text);
            return;
        case LangTarget::DialogListView1Column1:
            SetControlText("ListView1.Column1", text);
            return;
        case LangTarget::DialogLabel6Hint:
            SetControlText("Label6.Hint", text);
            return;
        case LangTarget::DialogSpinEdit1Hint:
            SetControlText("SpinEdit1.Hint", text);
            return;
        default:
            break;
    }
    for (const auto& row : kLangApplicationTable) {
        if (row.target == target) {
            SetControlText(row.control, text);
            return;
        }
    }
}

}  // namespace pigeonet
