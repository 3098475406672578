#pragma once

// The settings dialog and its account editor over a scratch registry key, with the system's effects recorded: the
// set-up the settings dialog's suites share.
#include "settings/dialogs/account_editor_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"
#include "util/registry_win32.h"

#include "support/dialog_fakes_win32.h"
#include "support/recording_error_display_win32.h"
#include "support/registry_fixture_win32.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pigeonet {

inline const std::string kSettingsKey = "Software\\Zelvik\\pg";
inline const std::string kNoSound = "(без звукового сигнала)";

// Forwards to the real registry and notes the name of every value written, in order.
class RecordingHive final : public RegistryHive {
  public:
    explicit RecordingHive(RegistryHive& inner) : inner_(inner) {}
    bool CreateKey(const std::string& path) override { return inner_.CreateKey(path); }
    bool KeyExists(const std::string& path) const override { return inner_.KeyExists(path); }
    std::optional<RegistryValue> ReadValue(const std::string& keyPath, const std::string& name) const override {
        return inner_.ReadValue(keyPath, name);
    }
    bool WriteText(const std::string& keyPath, const std::string& name, const std::string& text) override {
        written.push_back(name);
        return inner_.WriteText(keyPath, name, text);
    }
    std::vector<std::string> written;

  private:
    RegistryHive& inner_;
};

// Runs `action` from inside whatever message loop runs next (the editor's modal loop).
void WhenModal(std::function<void()> action);

inline void Click(HWND button) {
    SendMessageW(button, BM_CLICK, 0, 0);
}
inline bool IsShown(HWND control) {
    return IsWindowVisible(control) != FALSE;
}
inline bool IsEnabled(HWND control) {
    return IsWindowEnabled(control) != FALSE;
}

class SettingsDialog : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    void Put(const std::string& name, const std::string& text);
    std::optional<std::string> Stored(const std::string& name);
    // Accounts 0..count-1 as the store holds them: "user<i>@mail.example" on "pop.mail.example", count i + 1.
    void PutAccounts(int count);
    // A media folder of the test's own, reached through a "Fonts" shell folder beside it.
    void MakeMediaFolder();
    // Creates the dialog (and with it the editor) over the store, then forgets what the creation wrote.
    void Open();

    void SelectTab(int index);
    void SelectRow(int row);
    // Types into the editor's address field and releases a key there.
    void TypeAddress(const std::string& text);
    const SettingsDialogControls& DialogControls() const { return dialog_->Controls(); }
    const AccountEditorControls& EditorControls() const { return editor_->Controls(); }

    testing::ScratchRegistryKey root_;
    std::unique_ptr<Win32RegistryHive> hive_;
    std::unique_ptr<RecordingHive> recording_;
    std::unique_ptr<SettingsStore> store_;
    testing::TestDialogSystem system_;
    std::unique_ptr<testing::RecordingSound> sound_;
    std::unique_ptr<TForm2> dialog_;
    TForm3* editor_ = nullptr;  // the dialog's own
    testing::RecordingErrorDisplay errorDisplay_;
    std::vector<std::string>& errors_ = errorDisplay_.shown;
    std::string media_;
    int pollTimerEnabled_ = 0;
};

}  // namespace pigeonet
