#include "tray/tray_icon_win32.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

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
    if (withdrawn_) {
        return false;
    }
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

bool TrayIcon::Withdraw(std::chrono::milliseconds limit) {
    if (withdrawn_) {
        return !iconVisible_;
    }
    iconVisible_ = false;
    withdrawn_ = true;
    // Only the window and the id name the icon to remove: no picture is read, so the icon handle may go while the
    // call is still under way.
    NOTIFYICONDATAW removal = record_;
    removal.uFlags = 0;
    removal.hIcon = nullptr;
    struct Answer {
        std::mutex mutex;
        std::condition_variable given;
        bool done = false;
        bool removed = false;
    };
    const auto answer = std::make_shared<Answer>();
    // The call is made on a thread of its own that may outlive the wait; the process may end while it still waits
    // for the shell, which has the request by then.
    try {
        std::thread([answer, &shell = shell_, removal] {
            const bool removed = shell.Notify(NIM_DELETE, removal);
            const std::lock_guard lock(answer->mutex);
            answer->done = true;
            answer->removed = removed;
            answer->given.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the removal is made here, however long the shell takes.
        return shell_.Notify(NIM_DELETE, removal);
    }
    std::unique_lock lock(answer->mutex);
    return answer->given.wait_for(lock, limit, [&] { return answer->done; }) && answer->removed;
}

bool TrayIcon::Call(DWORD message) {
    if (withdrawn_) {
        return false;
    }
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
