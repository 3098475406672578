// The account editor, opened from the settings dialog: adding, editing and refusing accounts.
#include "settings/dialogs/account_editor_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"
#include "util/unicode_win32.h"
#include "util/window_text_win32.h"

#include "support/recording_error_display_win32.h"
#include "support/settings_dialog_fixture_win32.h"
#include "support/vector_rows.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pigeonet {
namespace {

using testing::VectorRows;

// The editor on its own, over a list of its own, its Test button served by a fake that records what it was asked.
class AccountEditor : public ::testing::Test {
  protected:
    void SetUp() override {
        editor_ = std::make_unique<TForm3>(GetModuleHandleW(nullptr), nullptr, rows_, [this](const Account& account) {
            tested_.push_back(account);
            if (whileTesting_) {
                whileTesting_();
            }
            return result_;
        });
    }
    const AccountEditorControls& C() const { return editor_->Controls(); }
    void Choose(HWND combo, int index) {
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(editor_->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
    }
    static std::string Entries(HWND combo) {  // the list's entries, each followed by "|", and the selected index
        std::string entries;
        for (int i = 0; i < SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i) {
            wchar_t text[64] = {};
            SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            entries += Narrow(text) + "|";
        }
        return entries + std::to_string(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    }
    std::string Label8() const { return WindowTextUtf8(C().Label8); }

    testing::RecordingErrorDisplay errors_;
    VectorRows rows_;
    std::unique_ptr<TForm3> editor_;
    std::vector<Account> tested_;
    std::function<void()> whileTesting_;
    AccountTestResult result_;
};

TEST_F(AccountEditor, ShowsTheRowsConnectionAndMovesTheStandardPortWithTheProtocol) {
    rows_.rows.push_back({"a@b.c", "imap.b.c", "a", "pw", "7", "993", "imap", "tls", "12", "5"});
    editor_->SetMode(0);
    editor_->FormShow();
    EXPECT_EQ(Entries(C().ComboBox2), "POP3|IMAP|1");
    EXPECT_EQ(Entries(C().ComboBox3), "Нет|STARTTLS|SSL/TLS|2");
    EXPECT_EQ(Entries(C().ComboBox1), "143|993|-1");
    EXPECT_EQ(WindowTextUtf8(C().ComboBox1), "993");

    editor_->SetMode(kAddAccountMode);
    SetWindowTextW(C().ComboBox1, L"110");
    editor_->FormShow();
    SetWindowTextW(C().Edit1, L"user@mail.exampl");
    SendMessageW(C().Edit1, EM_SETSEL, 16, 16);
    SendMessageW(C().Edit1, WM_CHAR, 'e', 0);
    SendMessageW(C().Edit1, WM_KEYUP, 'E', 0);
    DWORD caret = 0;
    SendMessageW(C().Edit1, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    EXPECT_EQ(caret, 17u);  // the auto-fill leaves the typing where it was
    Choose(C().ComboBox2, 1);
    EXPECT_EQ(WindowTextUtf8(C().ComboBox1), "143");
    EXPECT_EQ(Entries(C().ComboBox1), "143|993|-1");
    EXPECT_EQ(WindowTextUtf8(C().Edit2), "imap.mail.example");
    Choose(C().ComboBox1, 1);  // 993 picked from the list: TLS
    EXPECT_EQ(Entries(C().ComboBox3), "Нет|STARTTLS|SSL/TLS|2");
    SetWindowTextW(C().ComboBox1, L"10143");
    Choose(C().ComboBox2, 0);
    EXPECT_EQ(WindowTextUtf8(C().ComboBox1), "10143");
    EXPECT_EQ(WindowTextUtf8(C().Edit2), "pop.mail.example");
}

TEST_F(AccountEditor, TheTestButtonShowsTheCountOrTheFailureInTheEditorAndNoMessageBox) {
    editor_->FormShow();
    SetWindowTextW(C().Edit1, L"user@mail.example");
    SendMessageW(C().Edit1, WM_KEYUP, 'X', 0);
    result_ = {AccountTestResult::Outcome::Count, 3, ""};
    Click(C().Button3);
    ASSERT_EQ(tested_.size(), 1u);
    EXPECT_EQ(tested_[0], (Account{"user@mail.example", "pop.mail.example", "", "", "0", "110"}));
    EXPECT_EQ(Label8(), "Подключено, сообщений: 3");
    for (const LangTarget target : {LangTarget::EditorTestUnread, LangTarget::EditorTestMessages}) {
        editor_->ApplyText(target, std::string(TextFor(TextsForLanguage(LanguageIndex::English), target)));
    }
    EXPECT_EQ(Label8(), "Connected: 3 messages");
    Choose(C().ComboBox2, 1);
    Click(C().Button3);
    EXPECT_EQ(Label8(), "Connected: 3 unread");

    result_ = {AccountTestResult::Outcome::OpenFailure, 0, "Socket Error # 10061 Connection refused."};
    Click(C().Button3);
    EXPECT_EQ(Label8(), "Ошибка: Socket Error # 10061 Connection refused.");
    whileTesting_ = [] { throw std::runtime_error("broken tester"); };
    Click(C().Button3);
    EXPECT_EQ(Label8(), "Ошибка: broken tester");
    EXPECT_TRUE(errors_.shown.empty());
    EXPECT_TRUE(IsEnabled(C().Button3));
    editor_->FormShow();
    EXPECT_EQ(Label8(), "");
}

TEST_F(AccountEditor, WhileATestRunsItCannotStartAgainNorBeAcceptedAndCancelWaitsForIt) {
    rows_.rows.push_back({"a@b.c", "pop.b.c", "a", "pw", "7", "110"});
    editor_->SetMode(0);
    bool showingAfterCancel = false;
    std::string label;
    whileTesting_ = [&] {
        EXPECT_FALSE(IsEnabled(C().Button3));
        label = Label8();
        SetWindowTextW(C().Edit3, L"b");  // a change of the fields does not enable OK
        EXPECT_FALSE(IsEnabled(C().Button1));
        SendMessageW(editor_->Handle(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        SendMessageW(editor_->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(C().Button3), BN_CLICKED), 0);
        Click(C().Button2);
        showingAfterCancel = editor_->Showing();
    };
    WhenModal([&] { Click(C().Button3); });
    editor_->ShowModal();
    EXPECT_EQ(tested_.size(), 1u);
    EXPECT_EQ(label, "Проверка...");
    EXPECT_TRUE(showingAfterCancel);
    EXPECT_FALSE(editor_->Showing());
    EXPECT_EQ(rows_.rows.at(0).login, "a");
}

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
    // Stored without a security, the account on 995 has always been checked over TLS, and editing keeps it so.
    EXPECT_EQ(dialog_->AccountAt(0),
              (Account{"user0@mail.example", "mail.example.org", "user0", "secret0", "5", "995", "pop3", "tls"}));

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
