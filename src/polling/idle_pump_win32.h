#pragma once

#include <windows.h>

#include "polling/idle_pump.h"

namespace pigeonet {

// The application's idle pump: created with the main window on the GUI thread, it processes every pending message
// of that thread while a probe waits.
class Win32IdlePump final : public IdlePump {
  public:
    Win32IdlePump();

    // Dispatches until the queue is empty. A WM_QUIT it meets is posted again and ends the pumping, so the
    // application's own message loop still sees it.
    void ProcessPendingMessages() override;
    bool IsGuiThread() const override;

  private:
    DWORD gui_thread_;
};

}  // namespace pigeonet
