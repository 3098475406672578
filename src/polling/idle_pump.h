#pragma once

namespace pigeonet {

// Processes pending GUI messages while a mailbox probe waits for the network on the GUI thread, so the tray icon,
// its menu and the windows stay usable during a check round. There is one per application: it registers itself in
// a process-wide reference when it is created and clears that reference when it is destroyed; probes reach it only
// through RequestIdlePump and IdlePumpApplies.
class IdlePump {
  public:
    // The longest single wait for socket data before the pump gets a chance, in milliseconds.
    static constexpr int kIdleSliceMs = 250;

    IdlePump();
    virtual ~IdlePump();
    IdlePump(const IdlePump&) = delete;
    IdlePump& operator=(const IdlePump&) = delete;

    bool active() const { return active_; }
    void set_active(bool active) { active_ = active; }
    // On: a request runs only when it comes from a wait that ended without data (or from the connect wait), so a
    // fast reply is read without GUI interruptions.
    bool only_when_idle() const { return only_when_idle_; }
    void set_only_when_idle(bool only_when_idle) { only_when_idle_ = only_when_idle; }
    // Once the program is ending, a probe waiting under this pump gives up at its next pump request (with
    // WaitAbandonedError) instead of keeping the ending program alive for the rest of its timeout.
    bool waits_abandoned() const { return waits_abandoned_; }
    void abandon_waits() { waits_abandoned_ = true; }

    // Processes every pending GUI message now, dispatching until the queue is empty.
    virtual void ProcessPendingMessages() = 0;
    // True when the caller runs on the thread that owns the GUI.
    virtual bool IsGuiThread() const = 0;

  private:
    bool active_ = true;
    bool only_when_idle_ = true;
    bool waits_abandoned_ = false;
};

// The registered pump, or nullptr.
IdlePump* RegisteredIdlePump();

// True when a registered pump is active and the caller is its GUI thread: waits are then sliced and pumped.
bool IdlePumpApplies();

// A pump request: runs the registered pump when it applies and `idle` is true (or only-when-idle is off); does
// nothing otherwise. Throws WaitAbandonedError when the pump applies and its waits are abandoned.
void RequestIdlePump(bool idle);

}  // namespace pigeonet
