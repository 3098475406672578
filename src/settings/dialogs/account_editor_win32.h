#pragma once

#include "i18n/language.h"
#include "polling/account_test.h"
#include "settings/account_editor_rules.h"
#include "settings/dialogs/dialog_controls_win32.h"
#include "settings/dialogs/dialog_form_win32.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace pigeonet {

// Checks an account as typed, once, serving the GUI while it waits; the program's is TestAccountOnce.
using AccountTester = std::function<AccountTestResult(const Account&)>;

// The account editor's controls, by the names the program knows them by, in tab order after the labels.
struct AccountEditorControls {
    HWND Label4 = nullptr;  // address
    HWND Edit1 = nullptr;
    HWND Label3 = nullptr;  // login
    HWND Edit3 = nullptr;
    HWND Label1 = nullptr;  // password
    HWND Edit4 = nullptr;
    HWND Label2 = nullptr;  // server
    HWND Edit2 = nullptr;
    HWND Button1 = nullptr;  // OK
    HWND Button2 = nullptr;  // Cancel
    HWND Label5 = nullptr;   // port
    HWND ComboBox1 = nullptr;
    HWND Label6 = nullptr;  // protocol
    HWND ComboBox2 = nullptr;
    HWND Label7 = nullptr;  // security
    HWND ComboBox3 = nullptr;
    HWND Button3 = nullptr;  // Test
    HWND Label8 = nullptr;   // what the test is doing or found
};

// The account editor: a small modal window over the settings dialog that adds an account to its list or changes
// one. The settings dialog creates it hidden at start-up, after its own controls and settings, owns it and reuses
// it for every opening.
class TForm3 final : public DialogForm, public LanguageTextOwner {
  public:
    // `owner` is the settings dialog's window, `rows` its account list; both outlive the editor. `testAccount`
    // serves the Test button; without one the button stays disabled.
    TForm3(HINSTANCE instance, HWND owner, AccountRows& rows, AccountTester testAccount = {});
    ~TForm3() override;

    // kAddAccountMode (-1) adds a row; any other value is the index of the row to edit. Kept between openings.
    void SetMode(int mode) { mode_ = mode; }
    int Mode() const { return mode_; }

    // Shows the editor modally over the settings dialog and returns when it is closed (OK, Cancel, Escape or the
    // title bar). A WM_QUIT met meanwhile closes it and is posted again for the main loop.
    void ShowModal();
    bool Showing() const { return showing_; }

    void FormShow();
    void Edit3Change();      // any change of the address, server, login or password: runs the validation
    void Edit1KeyUp();       // any key released in the address field: AutoFillServer
    void Button1Click();     // OK: writes the row, closes
    void Button2Click();     // Cancel: closes; during a test, as soon as the test is over
    void Button3Click();     // Test: checks the account as typed and shows the count or the failure in Label8
    void ComboBox1Change();  // a port picked from the port list
    void ComboBox2Change();  // the protocol chosen
    void ComboBox3Change();  // the security chosen
    bool Testing() const { return testing_; }

    // LanguageTextOwner: the Editor* targets of the language switch; other targets change nothing.
    void ApplyText(LangTarget target, const std::string& text) override;

    const AccountEditorControls& Controls() const { return controls_; }
    // The pattern a test's progress or outcome target holds (UTF-8, "%s" for the count or the failure); "" for
    // any other target.
    std::string TestText(LangTarget target) const;

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void CloseByTitleBar() override { Button2Click(); }

  private:
    static LRESULT CALLBACK
    AddressFieldProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
    AccountFields Fields() const;
    // Shows every field, the port list following the protocol, then runs the validation.
    void ShowFields(const AccountFields& fields);
    void FillPortList(MailProtocol protocol);
    void ShowTestOutcome();
    void Close();

    HWND owner_;
    AccountRows& rows_;
    AccountEditorControls controls_;
    UniqueFont font_;
    int mode_ = kAddAccountMode;
    bool showing_ = false;
    bool filling_ = false;
    // The protocol the combo showed before the user's choice, which the choice moves the port from.
    MailProtocol protocol_ = MailProtocol::Pop3;
    AccountTester testAccount_;
    bool testing_ = false;
    bool closeAfterTest_ = false;
    // The last test's protocol and outcome, shown again in another language.
    std::optional<std::pair<MailProtocol, AccountTestResult>> lastTest_;
    std::string testRunning_ = "Проверка...";
    std::string testUnread_ = "Подключено, непрочитанных: %s";
    std::string testMessages_ = "Подключено, сообщений: %s";
    std::string testFailed_ = "Ошибка: %s";
};

}  // namespace pigeonet
