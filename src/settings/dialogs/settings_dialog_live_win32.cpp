// The settings dialog's controls as the live settings: loaded from the store at creation, read by the rest of the
// program whenever it needs a value, and saved back by OK.
#include "settings/dialogs/settings_dialog_layout_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"

#include "i18n/translation_table.h"
#include "settings/mail_command.h"
#include "settings/settings_dialog_rules.h"
#include "util/unicode_win32.h"
#include "util/window_text_win32.h"

#include <commctrl.h>

#include <vector>

namespace pigeonet {

using namespace settings_dialog;

namespace {

std::string ListViewText(HWND list, int row, int column) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const auto length = static_cast<std::size_t>(
            SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < buffer.size()) {
            return Narrow(std::wstring_view(buffer.data(), length));
        }
        buffer.resize(buffer.size() * 4);
    }
}

void SetListViewText(HWND list, int row, int column, const std::string& text) {
    std::wstring wide = Widen(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

bool Checked(HWND box) {
    return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND box, bool checked) {
    SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int TrackBarPosition(HWND bar) {
    return static_cast<int>(SendMessageW(bar, TBM_GETPOS, 0, 0));
}

}  // namespace

void TForm2::FormCreate() {
    // A value that cannot be read shows its default alone and is noted in the store, which the start reports
    // together with every other such value once the windows exist.
    const std::string noSound = NoSoundEntry(store_.ReadInt(kSettingsSection, "lang", 0));
    SettingsValues values;
    LoadSettingsInto(
        store_, values, [this] { return DefaultMailCommand(system_.LocalMachine(), sound_.TempFolderPath()); },
        noSound);
    unreadable_ = std::move(values.unreadable);
    unreadable_.insert(values.absent.begin(), values.absent.end());

    RemoveAllRows();
    SendMessageW(controls_.TrackBar1, TBM_SETPOS, TRUE, values.animationSpeed);
    SendMessageW(controls_.TrackBar2, TBM_SETPOS, TRUE, values.intervalPosition);
    IntervalLabel();
    SetChecked(controls_.CheckBox1, values.flashIcon);
    SetWindowTextUtf8(controls_.SpinEdit1, std::to_string(values.displayTime));
    SetChecked(controls_.CheckBox2, values.connectNotice);
    SetChecked(controls_.CheckBox3, values.announceOnlyNew);
    SetChecked(controls_.CheckBox4, values.countOnIcon);
    SetChecked(controls_.CheckBox5, values.quietWhileBusy);
    for (const Account& account : values.accounts) {
        AppendRow(account);
    }
    SetWindowTextUtf8(controls_.Edit1, values.mailProgram);

    const SoundList list = BuildSoundList(sound_, noSound);
    soundFolder_ = list.folder;
    const HWND sounds = controls_.ComboBox2;
    SendMessageW(sounds, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : list.items) {
        SendMessageW(sounds, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    }
    SetWindowTextUtf8(sounds, values.sound);
}

void TForm2::Button4Click() {
    SaveLiveSettings(store_, *this, &unreadable_);
    HideAndResumePolling();
}

int TForm2::AccountCount() const {
    return static_cast<int>(SendMessageW(controls_.ListView1, LVM_GETITEMCOUNT, 0, 0));
}

Account TForm2::AccountAt(int index) const {
    const HWND list = controls_.ListView1;
    return {ListViewText(list, index, 0),
            ListViewText(list, index, 1),
            ListViewText(list, index, 2),
            ListViewText(list, index, 3),
            ListViewText(list, index, kCountColumn),
            ListViewText(list, index, kPortColumn),
            ListViewText(list, index, kProtocolColumn),
            ListViewText(list, index, kSecurityColumn),
            ListViewText(list, index, kUidNextColumn),
            ListViewText(list, index, kUidValidityColumn)};
}

void TForm2::SetAccountCount(int index, const std::string& count) {
    SetListViewText(controls_.ListView1, index, kCountColumn, count);
}

void TForm2::SetAccountUids(int index, const std::string& uidnext, const std::string& uidvalidity) {
    SetListViewText(controls_.ListView1, index, kUidNextColumn, uidnext);
    SetListViewText(controls_.ListView1, index, kUidValidityColumn, uidvalidity);
}

int TForm2::IntervalPosition() const {
    return TrackBarPosition(controls_.TrackBar2);
}

int TForm2::AnimationSpeed() const {
    return TrackBarPosition(controls_.TrackBar1);
}

bool TForm2::FlashIcon() const {
    return Checked(controls_.CheckBox1);
}

int TForm2::DisplayTime() const {
    return DisplayTimeFromText(WindowTextUtf8(controls_.SpinEdit1));
}

bool TForm2::ConnectNotice() const {
    return Checked(controls_.CheckBox2);
}

bool TForm2::AnnounceOnlyNew() const {
    return Checked(controls_.CheckBox3);
}

bool TForm2::CountOnIcon() const {
    return Checked(controls_.CheckBox4);
}

bool TForm2::QuietWhileBusy() const {
    return Checked(controls_.CheckBox5);
}

std::string TForm2::MailProgram() const {
    return WindowTextUtf8(controls_.Edit1);
}

std::string TForm2::Sound() const {
    return WindowTextUtf8(controls_.ComboBox2);
}

void TForm2::AppendRow(const Account& account) {
    const HWND list = controls_.ListView1;
    std::wstring caption = Widen(account.email);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = AccountCount();
    item.pszText = caption.data();
    const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    SetRowTexts(row, account);
    ++revision_;
}

void TForm2::ReplaceRow(int index, const Account& account) {
    SetRowTexts(index, account);
}

void TForm2::SetRowTexts(int index, const Account& account) {
    const HWND list = controls_.ListView1;
    const std::string* fields[kColumnCount] = {
        &account.email, &account.server,   &account.login,    &account.password, &account.count,
        &account.port,  &account.protocol, &account.security, &account.uidnext,  &account.uidvalidity};
    for (int column = 0; column < kColumnCount; ++column) {
        SetListViewText(list, index, column, *fields[column]);
    }
}

void TForm2::RemoveAllRows() {
    SendMessageW(controls_.ListView1, LVM_DELETEALLITEMS, 0, 0);
    ++revision_;
}

}  // namespace pigeonet
