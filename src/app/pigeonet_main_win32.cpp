// The entry of pigeonet.exe: builds the application window and the three windows in start-up order, then runs the
// GUI message loop until the main window closes.
#include "app/application_win32.h"
#include "app/main_form_win32.h"
#include "app/platform_win32.h"
#include "notify/sound_alert_win32.h"
#include "settings/dialogs/account_editor_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"
#include "util/com_apartment_win32.h"
#include "util/error_display_win32.h"
#include "util/registry_win32.h"

#include <commctrl.h>

#include <exception>

namespace pigeonet {
namespace {

int Run(HINSTANCE instance) {
    // COM for the GUI thread, started before any window and ended after the last: the shell's open verb may hand a
    // web address or a program to shell extensions that need it.
    const ComApartment com;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    ApplicationWindow application;
    SetErrorDisplayOwner(application.Handle());
    ShellProgramLauncher launcher;
    TForm1 mainForm(application, HKEY_CURRENT_USER, launcher);
    Win32SettingsDialogSystem dialogSystem;
    const Win32RegistryHive currentUser(HKEY_CURRENT_USER);
    Win32SoundPlatform sound(currentUser);
    TForm2 settingsDialog(
        instance, application.Handle(), mainForm.Store(), [&mainForm] { mainForm.SetTimerEnabled(1, true); },
        dialogSystem, sound);
    TForm3& accountEditor = settingsDialog.Editor();

    MainFormWiring wiring;
    wiring.live = &settingsDialog;
    wiring.showSettings = [&settingsDialog] { settingsDialog.Show(); };
    wiring.setDialogText = [&](LangTarget target, const std::string& text) {
        LanguageTextOwner& owner = WindowOfTarget(target) == LangWindow::Editor
                                       ? static_cast<LanguageTextOwner&>(accountEditor)
                                       : static_cast<LanguageTextOwner&>(settingsDialog);
        owner.ApplyText(target, text);
    };
    wiring.refreshIntervalLabel = [&settingsDialog] { settingsDialog.IntervalLabel(); };
    wiring.playAlertSound = [&settingsDialog] { settingsDialog.ToolButton1Click(); };
    mainForm.Wire(std::move(wiring));

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

}  // namespace
}  // namespace pigeonet

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    try {
        return pigeonet::Run(instance);
    } catch (const std::exception& failure) {
        // Only a start that cannot go on gets here (the settings key cannot be created, say): say why, then end,
        // rather than vanish without a word.
        pigeonet::ShowApplicationError(failure);
        return 1;
    }
}
