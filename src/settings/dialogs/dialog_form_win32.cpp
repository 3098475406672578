#include "settings/dialogs/dialog_form_win32.h"

#include "settings/dialogs/dialog_controls_win32.h"
#include "settings/settings_dialog_rules.h"

#include <algorithm>
#include <vector>

namespace pigeonet {

namespace {

constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// Enter, Escape and Tab for top-level windows that are not dialog boxes: while a form is registered, keyboard
// messages for it and its children go through IsDialogMessageW in whichever message loop fetches them (the
// application's loop, the idle pump of a check round, a modal loop). Enter presses IDOK, Escape IDCANCEL.
std::vector<HWND>& DialogKeyWindows() {
    static std::vector<HWND> windows;
    return windows;
}

HHOOK dialogKeyHook = nullptr;

LRESULT CALLBACK DialogKeyHook(int code, WPARAM wParam, LPARAM lParam) {
    auto* message = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST &&
        message->hwnd) {
        const HWND root = GetAncestor(message->hwnd, GA_ROOT);
        const auto& windows = DialogKeyWindows();
        if (std::find(windows.begin(), windows.end(), root) != windows.end()) {
            if (IsDialogMessageW(root, message)) {
                message->message = WM_NULL;
                message->wParam = 0;
                message->lParam = 0;
            }
        }
    }
    return CallNextHookEx(dialogKeyHook, code, wParam, lParam);
}

void RegisterDialogKeys(HWND window) {
    auto& windows = DialogKeyWindows();
    if (std::find(windows.begin(), windows.end(), window) == windows.end()) {
        windows.push_back(window);
    }
    if (!dialogKeyHook) {
        dialogKeyHook = SetWindowsHookExW(WH_GETMESSAGE, &DialogKeyHook, nullptr, GetCurrentThreadId());
    }
}

void UnregisterDialogKeys(HWND window) {
    auto& windows = DialogKeyWindows();
    windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
    if (windows.empty() && dialogKeyHook) {
        UnhookWindowsHookEx(dialogKeyHook);
        dialogKeyHook = nullptr;
    }
}

}  // namespace

DialogForm::~DialogForm() {
    if (Handle()) {
        UnregisterDialogKeys(Handle());
    }
}

void DialogForm::CreateForm(const wchar_t* className,
                            DWORD style,
                            const wchar_t* caption,
                            Placement placement,
                            HWND owner) {
    style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
    RECT frame{0, 0, Scaled(placement.clientWidth), Scaled(placement.clientHeight)};
    AdjustWindowRectEx(&frame, style, FALSE, kFormExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    // Placed once and never moved again by the program.
    const WindowOrigin origin = NearBottomRight(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), width,
                                                height, Scaled(placement.right), Scaled(placement.bottom));
    Create(className, kFormExStyle, style, caption, origin.left, origin.top, width, height, owner);
    RegisterDialogKeys(Handle());
}

LRESULT DialogForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        CloseByTitleBar();
        return 0;
    }
    return Window::HandleMessage(message, wParam, lParam);
}

}  // namespace pigeonet
