#pragma once

#include "i18n/language.h"
#include "settings/account_editor_rules.h"
#include "settings/dialogs/dialog_controls_win32.h"
#include "settings/dialogs/dialog_form_win32.h"

#include <windows.h>

#include <string>

namespace pigeonet {

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
};

// The account editor: a small modal window over the settings dialog that adds an account to its list or changes
// one. The settings dialog creates it hidden at start-up, after its own controls and settings, owns it and reuses
// it for every opening.
class TForm3 final : public DialogForm, public LanguageTextOwner {
  public:
    // `owner` is the settings dialog's window, `rows` its account list; both outlive the editor.
    TForm3(HINSTANCE instance, HWND owner, AccountRows& rows);
    ~TForm3() override;

    // kAddAccountMode (-1) adds a row; any other value is the index of the row to edit. Kept between openings.
    void SetMode(int mode) { mode_ = mode; }
    int Mode() const { return mode_; }

    // Shows the editor modally over the settings dialog and returns when it is closed (OK, Cancel, Escape or the
    // title bar). A WM_QUIT met meanwhile closes it and is posted again for the main loop.
    void ShowModal();
    bool Showing() const { return showing_; }

    void FormShow();
    void Edit3Change();   // any change of the address, server, login or password: runs the validation
    void Edit1KeyUp();    // any key released in the address field: AutoFillServer
    void Button1Click();  // OK: writes the row, closes
    void Button2Click();  // Cancel: closes

    // LanguageTextOwner: the Editor* targets of the language switch; other targets change nothing.
    void ApplyText(LangTarget target, const std::string& text) override;

    const AccountEditorControls& Controls() const { return controls_; }

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void CloseByTitleBar() override { Button2Click(); }

  private:
    static LRESULT CALLBACK
    AddressFieldProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
    AccountFields Fields() const;
    void Close();

    HWND owner_;
    AccountRows& rows_;
    AccountEditorControls controls_;
    UniqueFont font_;
    int mode_ = kAddAccountMode;
    bool showing_ = false;
    bool filling_ = false;
};

}  // namespace pigeonet
