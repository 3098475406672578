// The account editor, opened from the settings dialog: adding, editing and refusing accounts.
#include "settings/dialogs/account_editor_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"
#include "util/window_text_win32.h"

#include "support/settings_dialog_fixture_win32.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace pigeonet {
namespace {

TEST_F(SettingsDialog, TheEditorRefusesAPortThatIsNoPortAndStaysOpen) {
    Open();
    bool showingAfterOk = false;
    WhenModal([&] {
        TypeAddress("user@mail.example");
        SetWindowTextW(EditorControls().Edit3, L"user");
        SetWindowTextW(EditorControls().Edit4, L"pw");
        SetWindowTextW(EditorControls().ComboBox1, L"pop3");
        Click(EditorControls().Button1);
        showingAfterOk = editor_->Showing();
        SetWindowTextW(EditorControls().ComboBox1, L"995");
        Click(EditorControls().Button1);
    });
    dialog_->Button1Click();
    EXPECT_EQ(errors_, std::vector<std::string>{"The port must be a whole number from 1 to 65535, not 'pop3'"});
    EXPECT_TRUE(showingAfterOk);
    ASSERT_EQ(dialog_->AccountCount(), 1);
    EXPECT_EQ(dialog_->AccountAt(0).port, "995");
}

TEST_F(SettingsDialog, AddsAnAccountThroughTheEditor) {
    Open();
    dialog_->Show();
    SelectTab(1);
    std::string caption;
    bool okEnabledWithoutAt = true;
    std::optional<std::string> serverAfterShortAddress;
    WhenModal([&] {
        caption = WindowTextUtf8(editor_->Handle());
        TypeAddress("a@bcd");
        serverAfterShortAddress = WindowTextUtf8(EditorControls().Edit2);
        TypeAddress("user@mail.example");
        SetWindowTextW(EditorControls().Edit3, L"user");
        SetWindowTextW(EditorControls().Edit4, L"pw");
        okEnabledWithoutAt = IsEnabled(EditorControls().Button1);  // the address has an "@": enabled
        Click(EditorControls().Button1);
    });
    Click(DialogControls().Button1);
    EXPECT_EQ(caption, "Добавить E-mail");
    EXPECT_EQ(serverAfterShortAddress, "");
    EXPECT_TRUE(okEnabledWithoutAt);
    ASSERT_EQ(dialog_->AccountCount(), 1);
    EXPECT_EQ(dialog_->AccountAt(0), (Account{"user@mail.example", "pop.mail.example", "user", "pw", "0", "110"}));
    EXPECT_FALSE(editor_->Showing());
    EXPECT_TRUE(IsWindowEnabled(dialog_->Handle()));
}

TEST_F(SettingsDialog, KeepsOkDisabledWithoutAnAt) {
    Open();
    bool enabled = true;
    WhenModal([&] {
        TypeAddress("user.mail.example");
        SetWindowTextW(EditorControls().Edit2, L"pop.mail.example");
        SetWindowTextW(EditorControls().Edit3, L"user");
        SetWindowTextW(EditorControls().Edit4, L"pw");
        enabled = IsEnabled(EditorControls().Button1);
        Click(EditorControls().Button1);  // a disabled button does nothing
        SendMessageW(editor_->Handle(), WM_CLOSE, 0, 0);
    });
    dialog_->Button1Click();
    EXPECT_FALSE(enabled);
    EXPECT_EQ(dialog_->AccountCount(), 0);
}

TEST_F(SettingsDialog, EditingKeepsTheLastCountAndTheNextAddKeepsThePort) {
    PutAccounts(1);
    Put("count0", "5");
    Put("port0", "995");
    Open();
    SelectRow(0);
    std::string caption;
    WhenModal([&] {
        caption = WindowTextUtf8(editor_->Handle());
        EXPECT_EQ(WindowTextUtf8(EditorControls().Edit1), "user0@mail.example");
        EXPECT_EQ(WindowTextUtf8(EditorControls().ComboBox1), "995");
        SetWindowTextW(EditorControls().Edit2, L"mail.example.org");
        Click(EditorControls().Button1);
    });
    dialog_->ListView1DblClick();
    EXPECT_EQ(caption, "Изменить E-mail");
    EXPECT_EQ(dialog_->AccountAt(0),
              (Account{"user0@mail.example", "mail.example.org", "user0", "secret0", "5", "995"}));

    std::string port;
    std::string address = "x";
    WhenModal([&] {
        port = WindowTextUtf8(EditorControls().ComboBox1);
        address = WindowTextUtf8(EditorControls().Edit1);
        Click(EditorControls().Button2);
    });
    dialog_->Button1Click();
    EXPECT_EQ(port, "995");
    EXPECT_EQ(address, "");
    EXPECT_EQ(dialog_->AccountCount(), 1);
}

TEST_F(SettingsDialog, EditWithoutASelectionDoesNothing) {
    PutAccounts(1);
    Open();
    dialog_->Button2Click();  // would block in the editor's modal loop if it opened
    dialog_->Button3Click();
    EXPECT_EQ(dialog_->AccountCount(), 1);
}

}  // namespace
}  // namespace pigeonet
