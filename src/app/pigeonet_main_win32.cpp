// The entry of pigeonet.exe: builds the application window and the three windows in start-up order, then runs the
// GUI message loop until the main window closes.
#include "app/application_win32.h"
#include "app/main_form_win32.h"
#include "app/platform_win32.h"
#include "util/error_display_win32.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace pigeonet;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    ApplicationWindow application;
    SetErrorDisplayOwner(application.Handle());
    ShellProgramLauncher launcher;
    TForm1 mainForm(application, HKEY_CURRENT_USER, launcher);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
