#pragma once

#include "i18n/language.h"
#include "notify/sound_alert.h"
#include "settings/account_editor_rules.h"
#include "settings/dialogs/dialog_controls_win32.h"
#include "settings/dialogs/dialog_form_win32.h"
#include "settings/dialogs/dialog_pictures_win32.h"
#include "settings/live_settings.h"
#include "settings/settings_store.h"
#include "util/registry_hive.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pigeonet {

class TForm3;

// What the settings dialog asks of the system, replaceable by tests. Empty members take the real system.
struct SettingsDialogSeams {
    // HKEY_LOCAL_MACHINE, for the default mail client's registration.
    const RegistryHive* localMachine = nullptr;
    // HKEY_CURRENT_USER, for the shell folders the sound list starts from.
    const RegistryHive* currentUser = nullptr;
    // Listing, temporary folder and playing for the sound alert. Missing members take the real ones.
    SoundPlatform sound;
    // The browse button's file choice: the program the user picks, nullopt when cancelled.
    std::function<std::optional<std::string>(HWND owner)> chooseMailProgram;
};

// The settings dialog. Created hidden at start-up, after the store is open; from then on its controls are the
// `LiveSettings` the rest of the program reads. Non-modal: shown by the tray's settings command, hidden by OK and
// Cancel (and by the title bar's close, which acts as Cancel).
class TForm2 final : public DialogForm, public LiveSettings, public AccountRows, public LanguageTextOwner {
  public:
    // `owner` is the application window; `enablePollTimer` enables the poll tick `Timer1` again after OK or Cancel.
    // Loads every setting (FormCreate) before returning.
    TForm2(HINSTANCE instance,
           HWND owner,
           SettingsStore& store,
           std::function<void()> enablePollTimer,
           SettingsDialogSeams seams = {});
    ~TForm2() override;

    // The account editor the add and edit buttons open; TForm3's constructor registers itself here.
    void SetAccountEditor(TForm3* editor) { editor_ = editor; }

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

    // The language switch's setter: the caption, text or hint of a control by its name. Names: "Caption" (the
    // window), "Label1".."Label7", "TabSheet1".."TabSheet3", "GroupBox1".."GroupBox4", "Button1".."Button6",
    // "CheckBox1", "CheckBox2", "Edit1", "ComboBox2", "SpinEdit1", "ListView1.Column0".."ListView1.Column4", and
    // hints as "<name>.Hint" ("Label6.Hint", "SpinEdit1.Hint", "Button6.Hint", "ToolButton1.Hint"). UTF-8. False
    // for a name the dialog does not have. Setting "Label6.Hint" does not recompute the label: call IntervalLabel.
    bool SetControlText(std::string_view controlName, const std::string& utf8);
    // LanguageTextOwner: the Dialog* targets of the language switch.
    void ApplyText(LangTarget target, const std::string& text) override;
    std::string ControlText(std::string_view controlName) const;

    int SelectedTab() const;
    int SelectedRow() const;  // -1 when none
    const std::string& SoundFolder() const { return soundFolder_; }

    // LiveSettings, read from the controls.
    int AccountCount() const override;
    Account AccountAt(int index) const override;
    void SetAccountCount(int index, const std::string& count) override;
    std::uint64_t AccountListRevision() const override { return revision_; }
    int IntervalPosition() const override;
    int AnimationSpeed() const override;
    bool FlashIcon() const override;
    int DisplayTime() const override;
    bool ConnectNotice() const override;
    std::string MailProgram() const override;
    std::string Sound() const override;

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
    struct Target;
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
    void OpenAccountEditor(int mode, const char* pressedButton);
    void ShowPage(int index);
    void SetRowTexts(int index, const Account& account);
    void RemoveAllRows();
    std::optional<Target> FindTarget(std::string_view name) const;

    HINSTANCE instance_;
    SettingsStore& store_;
    std::function<void()> enablePollTimer_;
    SettingsDialogSeams seams_;
    std::unique_ptr<RegistryHive> ownLocalMachine_;
    std::unique_ptr<RegistryHive> ownCurrentUser_;
    TForm3* editor_ = nullptr;

    GdiplusSession gdiplus_;
    std::map<DialogPicture, std::unique_ptr<Gdiplus::Bitmap>> pictures_;
    std::map<HWND, DialogPicture> pictureControls_;
    UniqueIcon playGlyph_;
    UniqueFont font_;
    UniqueFont titleFont_;
    UniqueFont subtitleFont_;
    UniqueFont versionFont_;
    Hints hints_;
    std::map<std::string, std::string, std::less<>> hintTexts_;
    HWND tabs_ = nullptr;
    HWND pages_[3] = {};
    std::string soundFolder_;
    std::uint64_t revision_ = 0;
    // What the load could not read; OK leaves those values as stored while their settings are unchanged.
    UnreadableAtLoad unreadable_;
};

}  // namespace pigeonet
