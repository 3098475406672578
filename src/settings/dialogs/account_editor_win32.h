#pragma once

#include "i18n/language.h"
#include "settings/account_editor_rules.h"
#include "settings/dialogs/dialog_controls_win32.h"
#include "settings/dialogs/dialog_form_win32.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace pigeonet {

class TForm2;

// The account editor: a small modal window over the settings dialog that adds an account to its list or changes
// one. Created hidden at start-up, after the settings dialog, and reused for every opening.
class TForm3 final : public DialogForm, public LanguageTextOwner {
  public:
    // Registers itself as `settingsDialog`'s account editor; the dialog owns the editor's window.
    TForm3(HINSTANCE instance, TForm2& settingsDialog);
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

    // The language switch's setter, as on the settings dialog: "Caption", "Label1".."Label5", "Edit1".."Edit4",
    // "ComboBox1", "Button1", "Button2". UTF-8; false for an unknown name.
    bool SetControlText(std::string_view controlName, const std::string& utf8);
    // LanguageTextOwner: the Editor* targets of the language switch.
    void ApplyText(LangTarget target, const std::string& text) override;
    std::string ControlText(std::string_view controlName) const;

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void CloseByTitleBar() override { Button2Click(); }

  private:
    static LRESULT CALLBACK
    AddressFieldProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
    AccountFields Fields() const;
    void Close();

    TForm2& settingsDialog_;
    UniqueFont font_;
    int mode_ = kAddAccountMode;
    bool showing_ = false;
    bool filling_ = false;
};

}  // namespace pigeonet
