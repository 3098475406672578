// The entry of pigeonet.exe: the one place that builds the program. It makes the application window, settles the
// single-instance question, then builds the store, the dialogs and last the main window, each handed what it needs,
// and runs the GUI message loop until the main window closes. One switch, `/close`, runs none of that: it ends the
// running program instead, for the installer.
#include "app/application_win32.h"
#include "app/main_form_win32.h"
#include "app/platform_win32.h"
#include "app/start_language.h"
#include "notify/envelope_win32.h"
#include "notify/sound_alert_win32.h"
#include "polling/account_test.h"
#include "polling/inbox_watch_win32.h"
#include "settings/dialogs/account_editor_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"
#include "settings/settings_store.h"
#include "tray/simple_timer_win32.h"
#include "util/com_apartment_win32.h"
#include "util/error_display_win32.h"
#include "util/handles_win32.h"
#include "util/registry_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>
#include <exception>
#include <vector>

namespace pigeonet {
namespace {

// The settings dialog's handlers as the main window calls them.
class SettingsDialogOfTForm2 final : public SettingsDialogCommands {
  public:
    explicit SettingsDialogOfTForm2(TForm2& dialog) : dialog_(dialog) {}
    void Show() override { dialog_.Show(); }
    void RefreshIntervalLabel() override { dialog_.IntervalLabel(); }
    void PlayAlertSound() override { dialog_.ToolButton1Click(); }

  private:
    TForm2& dialog_;
};

// How long `/close` waits for the running program to end after asking it, and then after ending it by force. The
// installer waits for us in turn, so both stay short; a program that ignores the request is ended rather than left
// holding files that are about to be replaced or removed.
constexpr DWORD kCloseWaitMs = 5000;
constexpr DWORD kTerminateWaitMs = 2000;

// `pigeonet.exe /close`: asks every running Pigeonet on this desktop to end as its Exit command does (WM_CLOSE to
// its main window, class "TForm1" titled "Pigeonet") and waits for each process to be gone. 0 when none is left.
int CloseRunningProgram() {
    std::vector<UniqueKernelHandle> processes;
    for (HWND window = FindWindowExW(nullptr, nullptr, L"TForm1", kApplicationTitle); window;
         window = FindWindowExW(nullptr, window, L"TForm1", kApplicationTitle)) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (processId == 0 || processId == GetCurrentProcessId()) {
            continue;
        }
        UniqueKernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId));
        PostMessageW(window, WM_CLOSE, 0, 0);
        if (process) {
            processes.push_back(std::move(process));
        }
    }
    int left = 0;
    for (const UniqueKernelHandle& process : processes) {
        if (WaitForSingleObject(process.get(), kCloseWaitMs) == WAIT_OBJECT_0) {
            continue;
        }
        TerminateProcess(process.get(), 1);
        if (WaitForSingleObject(process.get(), kTerminateWaitMs) != WAIT_OBJECT_0) {
            ++left;
        }
    }
    return left == 0 ? 0 : 1;
}

// Whether the command line holds the switch `/close` (any letter case).
bool AsksToClose(PCWSTR commandLine) {
    if (!commandLine || !*commandLine) {
        return false;
    }
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine, &count);
    if (!arguments) {
        return false;
    }
    bool close = false;
    // The line handed to wWinMain holds the arguments alone, which CommandLineToArgvW reads from the first.
    for (int i = 0; i < count; ++i) {
        close = close || lstrcmpiW(arguments[i], L"/close") == 0;
    }
    LocalFree(arguments);
    return close;
}

int Run(HINSTANCE instance) {
    // COM for the GUI thread, started before any window and ended after the last: the shell's open verb may hand a
    // web address or a program to shell extensions that need it.
    const ComApartment com;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    ApplicationWindow application;
    MessageBoxErrorDisplay errorBox(application.Handle());
    const ErrorDisplayScope showErrors(errorBox);
    // One instance per desktop, decided before anything else is built: a second start ends here, silently and
    // before its tray icon or any other window exists, which is no worse than an icon that shows for a moment.
    if (AnotherInstanceRuns(application.Handle(), kApplicationTitle)) {
        return 0;
    }

    // Every object is built complete, in dependency order; none is wired after its construction.
    Win32RegistryHive userRegistry(HKEY_CURRENT_USER);
    // Without its store the program cannot run: that failure ends the start (with its message, see wWinMain).
    SettingsStore store(userRegistry);
    // Read before the settings dialog loads the rest, so an unreadable "lang" (which marks Russian, its default)
    // heads the report below. A first start, with none stored, speaks the user's Windows display language.
    const LanguageMarks storedLanguage =
        StartLanguageMarks(store, [] { return static_cast<std::uint16_t>(GetUserDefaultUILanguage()); });
    // The main window's poll tick; the settings dialog's OK and Cancel switch it on again and let the main window
    // follow the accounts they leave.
    TSimpleTimer timer1;
    SettingsDialogClosed settingsClosed(timer1);
    Win32SettingsDialogSystem dialogSystem;
    Win32SoundPlatform sound(userRegistry);
    TForm2 settingsDialog(
        instance, application.Handle(), store, [&settingsClosed] { settingsClosed(); }, dialogSystem, sound,
        [](const Account& account) { return TestAccountOnce(account); });
    // The account editor belongs to the settings dialog, which builds it last.
    TForm3& accountEditor = settingsDialog.Editor();
    SettingsDialogOfTForm2 settingsCommands(settingsDialog);
    ShellProgramLauncher launcher;
    Win32MainFormPlatform platform;
    Win32EnvelopePlatform envelopePlatform(application.Handle());
    // Never destroyed: a watcher that Exit could not wait for (one blocked in a name lookup, say) may still use it
    // until the process is gone.
    Win32WatchEnvironment& watchEnvironment = *new Win32WatchEnvironment;
    TForm1 mainForm(application,
                    {.userRegistry = userRegistry,
                     .store = store,
                     .live = settingsDialog,
                     .settingsDialog = settingsCommands,
                     .settingsTexts = settingsDialog,
                     .editorTexts = accountEditor,
                     .timer1 = timer1,
                     .launcher = launcher,
                     .platform = platform,
                     .envelopePlatform = envelopePlatform,
                     .settingsClosed = settingsClosed,
                     .watchEnvironment = watchEnvironment},
                    storedLanguage);
    // Every stored value the windows could not read while they were built, in one box.
    mainForm.ReportUnreadableValues();

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // The main window has done what had to outlive it (closing it ended the run: the icon is gone, the watchers
    // have ended) and every setting is stored as it changed. Taking down the windows, the dialogs and COM one by one
    // would only hand back what the process's end hands back anyway, and under Wine it costs a third of a second:
    // the process ends here.
    mainForm.EndRun();
    ExitProcess(0);
}

}  // namespace
}  // namespace pigeonet

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    if (pigeonet::AsksToClose(commandLine)) {
        return pigeonet::CloseRunningProgram();
    }
    try {
        return pigeonet::Run(instance);
    } catch (const std::exception& failure) {
        // Only a start that cannot go on gets here (the settings key cannot be created, say): say why, then end,
        // rather than vanish without a word.
        pigeonet::ShowApplicationError(failure);
        return 1;
    }
}
