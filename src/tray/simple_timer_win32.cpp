#include "tray/simple_timer_win32.h"

#include "util/window_win32.h"

namespace pigeonet {
namespace {

// TSimpleTimerHandler: the one hidden window that receives WM_TIMER for every TSimpleTimer (wParam is the timer's
// id, its address), created with the first timer and destroyed with the last.
struct TSimpleTimerHandler {
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_TIMER) {
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        TSimpleTimer* timer =
            shared.Find([wParam](TSimpleTimer* candidate) { return reinterpret_cast<WPARAM>(candidate) == wParam; });
        if (timer) {
            try {
                timer->Tick();
            } catch (...) {
                // Tick handlers report their own failures; nothing may cross the window procedure.
            }
        }
        return 0;
    }

    static constinit inline SharedHiddenWindow<TSimpleTimer> shared{L"PigeonetSimpleTimerHandler", &Procedure};
};

}  // namespace

TSimpleTimer::TSimpleTimer() : window_(TSimpleTimerHandler::shared.Join(this)) {}

TSimpleTimer::~TSimpleTimer() {
    KillSystemTimer();
    TSimpleTimerHandler::shared.Leave(this);
}

void TSimpleTimer::SetInterval(std::uint32_t milliseconds) {
    interval_ = milliseconds;
    if (!active_) {
        return;
    }
    KillSystemTimer();
    if (interval_ != 0) {
        SetSystemTimer();
    }
}

bool TSimpleTimer::Start() {
    if (interval_ == 0) {
        return false;
    }
    KillSystemTimer();
    SetSystemTimer();
    active_ = true;
    return true;
}

void TSimpleTimer::Stop() {
    KillSystemTimer();
    active_ = false;
}

void TSimpleTimer::Tick() {
    if (OneShot) {
        Stop();
    }
    if (OnTimer) {
        OnTimer();
    }
}

void TSimpleTimer::SetSystemTimer() {
    systemTimerSet_ = SetTimer(window_, Id(), interval_, nullptr) != 0;
}

void TSimpleTimer::KillSystemTimer() {
    if (systemTimerSet_) {
        KillTimer(window_, Id());
        systemTimerSet_ = false;
    }
}

}  // namespace pigeonet
