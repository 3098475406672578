#include "support/settings_dialog_fixture_win32.h"

#include "util/error_display_win32.h"
#include "util/unicode_win32.h"

#include <commctrl.h>

#include <filesystem>
#include <fstream>

namespace pigeonet {

namespace {

std::function<void()> pendingAction;

void CALLBACK RunPendingAction(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    auto action = std::move(pendingAction);
    pendingAction = nullptr;
    if (action) {
        action();
    }
}

}  // namespace

void WhenModal(std::function<void()> action) {
    pendingAction = std::move(action);
    SetTimer(nullptr, 0, 30, &RunPendingAction);
}

void SettingsDialog::SetUp() {
    ASSERT_NO_FATAL_FAILURE(root_.Open(L"Software\\PigeonetTests\\SettingsDialog"));
    hive_ = std::make_unique<Win32RegistryHive>(root_.get());
    recording_ = std::make_unique<RecordingHive>(*hive_);
    store_ = std::make_unique<SettingsStore>(*recording_);
    sound_ = std::make_unique<testing::RecordingSound>(*hive_);
    testing::RegisterMailClient(system_.localMachine);
}

void SettingsDialog::TearDown() {
    editor_ = nullptr;
    dialog_.reset();
    store_.reset();
    root_.Close();
    if (!media_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(media_).parent_path(), ignored);
    }
}

void SettingsDialog::Put(const std::string& name, const std::string& text) {
    hive_->CreateKey(kSettingsKey);
    hive_->WriteText(kSettingsKey, name, text);
}

std::optional<std::string> SettingsDialog::Stored(const std::string& name) {
    const auto value = hive_->ReadValue(kSettingsKey, name);
    return value ? std::optional<std::string>(value->text) : std::nullopt;
}

void SettingsDialog::PutAccounts(int count) {
    Put("list", std::to_string(count));
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        Put("email" + n, "user" + n + "@mail.example");
        Put("smtp" + n, "pop.mail.example");
        Put("log" + n, "user" + n);
        Put("pas" + n, "secret" + n);
        Put("count" + n, std::to_string(i + 1));
        Put("port" + n, "110");
    }
}

void SettingsDialog::MakeMediaFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring base = std::wstring(temp) + L"pigeonet-dialog-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(base.c_str(), nullptr);
    const std::wstring media = base + L"\\Media";
    CreateDirectoryW(media.c_str(), nullptr);
    for (const wchar_t* name : {L"tada.wav", L"Ding.WAV", L"chimes.Wav", L"readme.txt", L"secret.wav"}) {
        std::ofstream(std::filesystem::path(media + L"\\" + name)) << "RIFF";
    }
    SetFileAttributesW((media + L"\\secret.wav").c_str(), FILE_ATTRIBUTE_HIDDEN);
    CreateDirectoryW((media + L"\\folder.wav").c_str(), nullptr);
    media_ = Narrow(media);
    const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    hive_->CreateKey(key);
    hive_->WriteText(key, "Fonts", Narrow(base) + "\\Fonts");
}

void SettingsDialog::Open() {
    dialog_ = std::make_unique<TForm2>(
        GetModuleHandleW(nullptr), nullptr, *store_, [this] { ++pollTimerEnabled_; }, system_, *sound_);
    editor_ = &dialog_->Editor();
    recording_->written.clear();
}

void SettingsDialog::SelectTab(int index) {
    const HWND tabs = DialogControls().PageControl1;
    SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    NMHDR header{tabs, static_cast<UINT_PTR>(GetDlgCtrlID(tabs)), static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(dialog_->Handle(), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

void SettingsDialog::SelectRow(int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(DialogControls().ListView1, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

void SettingsDialog::TypeAddress(const std::string& text) {
    SetWindowTextW(EditorControls().Edit1, Widen(text).c_str());
    SendMessageW(EditorControls().Edit1, WM_KEYUP, 'X', 0);
}

}  // namespace pigeonet
