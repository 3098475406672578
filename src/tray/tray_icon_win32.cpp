#include "tray/tray_icon_win32.h"

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "tray/tray_pictures_win32.h"
#include "util/error_display_win32.h"
#include "util/window_win32.h"

namespace pigeonet {
namespace {

// The id of the shell's "TaskbarCreated" broadcast, 0 when it is not available. Shells that send it came with
// comctl32 4.71 and later, so the registration is gated on that file's version, once per process.
UINT TaskbarCreatedMessage() {
    static const UINT message = [] {
        const wchar_t* file = L"comctl32.dll";
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
        if (size == 0) {
            return UINT{0};
        }
        std::vector<std::uint8_t> data(size);
        VS_FIXEDFILEINFO* info = nullptr;
        UINT infoSize = 0;
        if (!GetFileVersionInfoW(file, 0, size, data.data()) ||
            !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || !info) {
            return UINT{0};
        }
        const DWORD major = HIWORD(info->dwFileVersionMS);
        const DWORD minor = LOWORD(info->dwFileVersionMS);
        if (major < 4 || (major == 4 && minor < 71)) {
            return UINT{0};
        }
        return RegisterWindowMessageW(L"TaskbarCreated");
    }();
    return message;
}

// TTrayIconHandler: the one hidden window that receives the shell's callback message for every TrayIcon, created
// with the first instance and destroyed with the last.
struct TTrayIconHandler {
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case TrayIcon::kCallbackMessage: {
                const auto id = static_cast<UINT>(wParam);
                if (TrayIcon* icon = shared.Find([id](TrayIcon* candidate) { return candidate->Id() == id; })) {
                    icon->HandleCallback(static_cast<UINT>(lParam));
                }
                return 0;
            }
            // Answered without default handling: a close request leaves the window alone, and the answer to
            // WM_QUERYENDSESSION lets Windows log off or shut down.
            case WM_DESTROY:
            case WM_CLOSE:
            case WM_QUERYENDSESSION:
            case WM_QUIT:
            case WM_ENDSESSION:
            case WM_NCDESTROY:
                return 1;
            default:
                return DefWindowProcW(hwnd, message, wParam, lParam);
        }
    }

    static constinit inline SharedHiddenWindow<TrayIcon> shared{L"PigeonetTrayIconHandler", &Procedure};
};

// The windows whose procedures a TrayIcon has replaced. One replacement per window, however many instances watch
// it, so the chain never loops; the previous procedure is put back when the last watcher leaves.
enum class WatchRole { Application, Main };

struct WindowWatch {
    WNDPROC previous = nullptr;
    std::vector<std::pair<TrayIcon*, WatchRole>> watchers;
};

std::map<HWND, WindowWatch>& Watches() {
    static std::map<HWND, WindowWatch> watches;
    return watches;
}

LRESULT CALLBACK WatchProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto found = Watches().find(hwnd);
    if (found == Watches().end()) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    const WNDPROC previous = found->second.previous;
    // A copy: a watcher's handling may add or remove watchers.
    const auto watchers = found->second.watchers;
    for (const auto& [icon, role] : watchers) {
        if (role == WatchRole::Application) {
            icon->WatchedApplicationMessage(message);
        } else {
            icon->WatchedMainMessage(message, wParam, lParam);
        }
    }
    return CallWindowProcW(previous, hwnd, message, wParam, lParam);
}

void Watch(HWND window, TrayIcon* icon, WatchRole role) {
    if (!window) {
        return;
    }
    auto& watch = Watches()[window];
    if (watch.watchers.empty()) {
        watch.previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchProcedure)));
    }
    watch.watchers.emplace_back(icon, role);
}

void Unwatch(HWND window, TrayIcon* icon, WatchRole role) {
    const auto found = Watches().find(window);
    if (found == Watches().end()) {
        return;
    }
    std::erase(found->second.watchers, std::make_pair(icon, role));
    if (found->second.watchers.empty()) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(found->second.previous));
        Watches().erase(found);
    }
}

SystemShellNotify& SystemShell() {
    static SystemShellNotify shell;
    return shell;
}

SystemTrayDesktop& SystemDesktop() {
    static SystemTrayDesktop desktop;
    return desktop;
}

}  // namespace

TrayIcon::TrayIcon(HWND applicationWindow, HWND mainWindow)
    : TrayIcon(applicationWindow, mainWindow, SystemShell(), SystemDesktop()) {}

TrayIcon::TrayIcon(HWND applicationWindow, HWND mainWindow, ShellNotify& shell, TrayDesktop& desktop)
    : applicationWindow_(applicationWindow), mainWindow_(mainWindow), shell_(shell), desktop_(desktop) {
    TaskbarCreatedMessage();
    PrepareRecord(TTrayIconHandler::shared.Join(this));
    cycleTimer_ = std::make_unique<TSimpleTimer>();
    cycleTimer_->OnTimer = [this] { GuardEvent([this] { CycleStep(); }); };
    Watch(applicationWindow_, this, WatchRole::Application);
    Watch(mainWindow_, this, WatchRole::Main);
}

TrayIcon::~TrayIcon() {
    Remove();
    cycleTimer_.reset();
    icon_.reset();
    Unwatch(applicationWindow_, this, WatchRole::Application);
    Unwatch(mainWindow_, this, WatchRole::Main);
    TTrayIconHandler::shared.Leave(this);
}

void TrayIcon::ApplyStoredProperties(HIMAGELIST iconList, HMENU popupMenu, ClickHandler onClick) {
    SetIconList(iconList);
    SetCycleIcons(true);
    SetCycleInterval(0);
    UniqueIcon own = LoadProgramIcon();
    if (own) {
        SetIcon(own.get());
    } else {
        UniqueIcon first(iconList ? ImageList_GetIcon(iconList, 0, ILD_NORMAL) : nullptr);
        SetIcon(first.get());
    }
    SetIconVisible(true);
    SetIconIndex(0);
    SetPopupMenu(popupMenu);
    OnClick = std::move(onClick);
}

void TrayIcon::Loaded() {
    loading_ = false;
    Modify();
    SetIconVisible(iconVisible_);
    ApplyCycleIcons();
    record_.uVersion = 0;
    Call(NIM_SETVERSION);
}

void TrayIcon::SetHint(std::string hint) {
    hint_ = std::move(hint);
    Modify();
}

void TrayIcon::SetShowHint(bool show) {
    showHint_ = show;
    Modify();
}

void TrayIcon::SetIconList(HIMAGELIST list) {
    iconList_ = list;
    SetIconIndex(0);
}

void TrayIcon::SetIconIndex(int index) {
    const int count = iconList_ ? ImageList_GetImageCount(iconList_) : 0;
    if (count > 0) {
        iconIndex_ = ClampIconIndex(index, count);
        icon_.reset(ImageList_GetIcon(iconList_, iconIndex_, ILD_NORMAL));
    } else {
        iconIndex_ = 0;
    }
    Modify();
}

void TrayIcon::SetCycleIcons(bool cycle) {
    cycleIcons_ = cycle;
    if (!loading_) {
        ApplyCycleIcons();
    }
}

void TrayIcon::SetCycleInterval(std::uint32_t milliseconds) {
    cycleInterval_ = milliseconds;
    if (!loading_) {
        ApplyCycleIcons();
    }
}

void TrayIcon::ApplyCycleIcons() {
    if (!cycleIcons_) {
        cycleTimer_->Stop();
        return;
    }
    SetIconIndex(0);
    cycleTimer_->SetInterval(cycleInterval_);
    // Refused with an interval of 0, which leaves the timer halted.
    cycleTimer_->Start();
}

void TrayIcon::CycleStep() {
    const int count = iconList_ ? ImageList_GetImageCount(iconList_) : 0;
    if (count <= 0) {
        return;
    }
    icon_.reset(ImageList_GetIcon(iconList_, iconIndex_, ILD_NORMAL));
    Modify();
    SetIconIndex(NextCycleIndex(iconIndex_, count));
}

void TrayIcon::SetIcon(HICON icon) {
    icon_.reset(icon ? CopyIcon(icon) : nullptr);
    Modify();
}

void TrayIcon::SetIconVisible(bool visible) {
    if (visible) {
        Add();
    } else {
        Remove();
    }
}

void TrayIcon::HideTaskbarButton() {
    if (IsWindowVisible(applicationWindow_)) {
        ShowWindow(applicationWindow_, SW_HIDE);
    }
}

void TrayIcon::WatchedApplicationMessage(UINT message) {
    const UINT taskbarCreated = TaskbarCreatedMessage();
    if (taskbarCreated == 0 || message != taskbarCreated || !iconVisible_) {
        return;
    }
    // The shell started anew: bring the icon back as it is at this moment.
    GuardEvent([this] { Add(); });
}

void TrayIcon::WatchedMainMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_SHOWWINDOW || wParam != TRUE || lParam != 0) {
        return;  // only a direct show request, not one caused by a parent
    }
    GuardEvent([this] {
        desktop_.SetForeground(applicationWindow_);
        desktop_.SetForeground(mainWindow_);
    });
}

}  // namespace pigeonet
