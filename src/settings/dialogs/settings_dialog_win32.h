#pragma once

#include "i18n/language.h"
#include "notify/sound_alert.h"
#include "settings/account_editor_rules.h"
#include "settings/dialogs/account_editor_win32.h"
#include "settings/dialogs/dialog_controls_win32.h"
#include "settings/dialogs/dialog_form_win32.h"
#include "settings/dialogs/dialog_pictures_win32.h"
#include "settings/live_settings.h"
#include "settings/settings_store.h"
#include "util/registry_hive.h"
#include "util/registry_win32.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace pigeonet {

// What the settings dialog asks of the system beyond the sound alert's. The program hands in the Win32 one;
// tests hand in their own.
class SettingsDialogSystem {
  public:
    virtual ~SettingsDialogSystem() = default;
    // HKEY_LOCAL_MACHINE, where the default mail client is registered.
    virtual const RegistryHive& LocalMachine() = 0;
    // The browse button's file choice: the program the user picks (UTF-8), nullopt when cancelled.
    virtual std::optional<std::string> ChooseMailProgram(HWND owner) = 0;
};

// The real system: the registry's HKEY_LOCAL_MACHINE and the system's file-open dialog.
class Win32SettingsDialogSystem final : public SettingsDialogSystem {
  public:
    const RegistryHive& LocalMachine() override { return localMachine_; }
    std::optional<std::string> ChooseMailProgram(HWND owner) override;

  private:
    Win32RegistryHive localMachine_{HKEY_LOCAL_MACHINE};
};

// The settings dialog's controls, by the names the program knows them by. Created with the dialog, destroyed
// with its window.
struct SettingsDialogControls {
    // The header over the tabs: title, subtitle and version, drawn by the dialog.
    HWND Label1 = nullptr;
    HWND Label2 = nullptr;
    HWND Label3 = nullptr;
    // The tabs and their pages: main options (tab 0), accounts (tab 1), notification (tab 2).
    HWND PageControl1 = nullptr;
    HWND TabSheet3 = nullptr;
    HWND TabSheet1 = nullptr;
    HWND TabSheet2 = nullptr;
    // Beside the tabs: add, edit and delete an account (shown on the accounts tab only), OK and Cancel.
    HWND Button1 = nullptr;
    HWND Button2 = nullptr;
    HWND Button3 = nullptr;
    HWND Button4 = nullptr;
    HWND Button5 = nullptr;
    // Main options: the mail program with its browse button, and the check interval.
    HWND GroupBox1 = nullptr;
    HWND Edit1 = nullptr;
    HWND Button6 = nullptr;
    HWND Label7 = nullptr;
    HWND GroupBox2 = nullptr;
    HWND TrackBar2 = nullptr;
    HWND Label6 = nullptr;
    // Accounts: the list and the connect notice.
    HWND ListView1 = nullptr;
    HWND CheckBox2 = nullptr;
    // Notification: the sound and its play button, the flashing, the animation speed and the display time; below
    // them only new mail announced, the count on the icon and quiet while the user is busy.
    HWND GroupBox3 = nullptr;
    HWND ComboBox2 = nullptr;
    HWND ToolButton1 = nullptr;
    HWND CheckBox1 = nullptr;
    HWND GroupBox4 = nullptr;
    HWND Label4 = nullptr;
    HWND TrackBar1 = nullptr;
    HWND Label5 = nullptr;
    HWND SpinEdit1 = nullptr;
    HWND CheckBox3 = nullptr;
    HWND CheckBox4 = nullptr;
    HWND CheckBox5 = nullptr;
};

// The settings dialog. Created hidden at start-up, after the store is open; from then on its controls are the
// `LiveSettings` the rest of the program reads. Non-modal: shown by the tray's settings command, hidden by OK and
// Cancel (and by the title bar's close, which acts as Cancel).
class TForm2 final : public DialogForm, public LiveSettings, public AccountRows, public LanguageTextOwner {
  public:
    // `owner` is the application window; `enablePollTimer` enables the poll tick `Timer1` again after OK or Cancel.
    // `system` and `sound` are borrowed and must outlive the dialog. Loads every setting (FormCreate), then creates
    // the account editor, which the dialog owns and hands `testAccount` for its Test button.
    TForm2(HINSTANCE instance,
           HWND owner,
           SettingsStore& store,
           std::function<void()> enablePollTimer,
           SettingsDialogSystem& system,
           SoundPlatform& sound,
           AccountTester testAccount = {});
    ~TForm2() override;

    // The account editor the add and edit buttons open.
    TForm3& Editor() { return *editor_; }

    // Shows the dialog non-modally, with the tab, selection and contents it had when it was hidden.
    void Show();
    bool Visible() const;

    // Handlers, public because other windows and the check round call some of them directly.
    void FormCreate();
    void Button1Click();      // add an account
    void Button2Click();      // edit the selected account
    void Button3Click();      // delete the selected account
    void Button4Click();      // OK: save everything, hide, enable the poll tick; a failure propagates, the dialog stays
    void Button5Click();      // Cancel: hide, enable the poll tick; nothing is reverted
    void Button6Click();      // browse for the mail program
    void ToolButton1Click();  // play the sound choice; the check round calls it after the envelope has risen
    void PageControl1Change();
    void ListView1KeyDown(WORD key);
    void ListView1DblClick();
    void IntervalLabel();

    // LanguageTextOwner: the Dialog* targets of the language switch; other targets are not the dialog's and change
    // nothing. Setting DialogLabel6Hint does not recompute the label: call IntervalLabel.
    void ApplyText(LangTarget target, const std::string& text) override;

    const SettingsDialogControls& Controls() const { return controls_; }
    // Texts that are no window's text (UTF-8): a tab's caption by its index, an account list column's caption, a
    // control's hint ("" for a control without one).
    std::string TabCaption(int index) const;
    std::string ColumnCaption(int index) const;
    std::string Hint(HWND control) const { return hints_.Text(control); }

    int SelectedTab() const;
    int SelectedRow() const;  // -1 when none
    const std::string& SoundFolder() const { return soundFolder_; }

    // LiveSettings, read from the controls.
    int AccountCount() const override;
    Account AccountAt(int index) const override;
    void SetAccountCount(int index, const std::string& count) override;
    void SetAccountUids(int index, const std::string& uidnext, const std::string& uidvalidity) override;
    std::uint64_t AccountListRevision() const override { return revision_; }
    int IntervalPosition() const override;
    int AnimationSpeed() const override;
    bool FlashIcon() const override;
    int DisplayTime() const override;
    bool ConnectNotice() const override;
    std::string MailProgram() const override;
    std::string Sound() const override;
    bool AnnounceOnlyNew() const override;
    bool CountOnIcon() const override;
    bool QuietWhileBusy() const override;

    // AccountRows, for the account editor.
    int RowCount() const override { return AccountCount(); }
    Account RowAt(int index) const override { return AccountAt(index); }
    void AppendRow(const Account& account) override;
    void ReplaceRow(int index, const Account& account) override;

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Closing by the title bar is what users mean by Cancel: hide and let the poll tick run again.
    void CloseByTitleBar() override { Button5Click(); }

  private:
    void CreateControls();
    void CreateMainPage(HWND page);
    void CreateAccountsPage(HWND page);
    void CreateIndicationPage(HWND page);
    void PaintHeader();
    bool PaintOwnerDrawn(const DRAWITEMSTRUCT& item);  // false for a control the dialog does not draw
    void PaintHeaderLabel(const DRAWITEMSTRUCT& item);
    bool ClickButton(int id);  // false for an id that is no button of the dialog
    void HideAndResumePolling();
    // Opens the account editor in `mode`, its caption made from the pressed button's.
    void OpenAccountEditor(int mode, HWND pressedButton);
    void ShowPage(int index);
    void SetRowTexts(int index, const Account& account);
    void RemoveAllRows();
    // The control whose window text a target of the language switch is; nullptr for any other target.
    HWND TextControl(LangTarget target) const;

    HINSTANCE instance_;
    SettingsStore& store_;
    std::function<void()> enablePollTimer_;
    SettingsDialogSystem& system_;
    SoundPlatform& sound_;

    GdiplusSession gdiplus_;
    std::map<DialogPicture, std::unique_ptr<Gdiplus::Bitmap>> pictures_;
    std::map<HWND, DialogPicture> pictureControls_;
    UniqueIcon playGlyph_;
    UniqueFont font_;
    UniqueFont titleFont_;
    UniqueFont subtitleFont_;
    UniqueFont versionFont_;
    SettingsDialogControls controls_;
    Hints hints_;
    std::string soundFolder_;
    std::uint64_t revision_ = 0;
    // What the load could not read, and the options the store does not hold yet; OK leaves those values as stored
    // (or absent) while their settings are unchanged.
    UnreadableAtLoad unreadable_;
    // Last, so it is destroyed before the dialog's window, which owns its window.
    std::unique_ptr<TForm3> editor_;
};

}  // namespace pigeonet
