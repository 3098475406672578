#include "tray/tray_icon_win32.h"

#include <algorithm>

namespace pigeonet {
namespace {

// cbSize of the record: the layout that ends with dwInfoFlags, which every shell since Windows 2000 understands.
constexpr DWORD kRecordSize = NOTIFYICONDATAW_V2_SIZE;
constexpr UINT kSteadyFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

// Copies `text` into a fixed shell field of `N` units, the last always the terminating zero.
template <std::size_t N>
void FillField(WCHAR (&field)[N], std::string_view utf8) {
    std::fill(std::begin(field), std::end(field), WCHAR{0});
    const std::u16string units = CutToUtf16Units(utf8, N - 1);
    std::copy(units.begin(), units.end(), field);
}

DWORD BalloonFlags(BalloonIcon kind) {
    switch (kind) {
        case BalloonIcon::Info:
            return NIIF_INFO;
        case BalloonIcon::Warning:
            return NIIF_WARNING;
        case BalloonIcon::Error:
            return NIIF_ERROR;
        case BalloonIcon::None:
            break;
    }
    return NIIF_NONE;
}

}  // namespace

bool SystemShellNotify::Notify(DWORD message, const NOTIFYICONDATAW& record) {
    // The shell does not write into the record for these messages; the API merely lacks const.
    return Shell_NotifyIconW(message, const_cast<NOTIFYICONDATAW*>(&record)) != FALSE;
}

void TrayIcon::PrepareRecord(HWND callbackWindow) {
    record_.cbSize = kRecordSize;
    record_.hWnd = callbackWindow;
    record_.uID = Id();
    record_.uFlags = kSteadyFlags;
    record_.uCallbackMessage = kCallbackMessage;
}

bool TrayIcon::ShowBalloon(std::string_view title, std::string_view text, BalloonIcon kind, unsigned seconds) {
    // Clear a balloon that may still be up, so the new one replaces it instead of queueing behind it.
    record_.uFlags = kSteadyFlags | NIF_INFO;
    FillField(record_.szInfo, "");
    Modify();

    record_.uFlags = kSteadyFlags | NIF_INFO;
    FillField(record_.szInfo, text);
    FillField(record_.szInfoTitle, title);
    record_.uTimeout = std::min(seconds, 255u) * 1000;
    record_.dwInfoFlags = BalloonFlags(kind);
    const bool shown = Modify();
    // No later call carries the balloon again.
    record_.uFlags = kSteadyFlags;
    return shown;
}

bool TrayIcon::Add() {
    iconVisible_ = true;
    return Call(NIM_ADD);
}

bool TrayIcon::Remove() {
    iconVisible_ = false;
    return Call(NIM_DELETE);
}

bool TrayIcon::Modify() {
    // Sent whether or not the icon is in the notification area; the shell merely refuses it then.
    return Call(NIM_MODIFY);
}

bool TrayIcon::Call(DWORD message) {
    RefreshRecord();
    // The shell's answer is handed back but never acted on: every later call carries the whole picture and
    // tooltip again, so a refused call leaves no lasting difference.
    return shell_.Notify(message, record_);
}

void TrayIcon::RefreshRecord() {
    record_.hIcon = icon_.get();
    FillField(record_.szTip, showHint_ ? std::string_view(hint_) : std::string_view());
}

}  // namespace pigeonet
