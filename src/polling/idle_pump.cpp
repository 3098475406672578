#include "polling/idle_pump.h"

#include "polling/probe_error.h"

#include <atomic>

namespace pigeonet {

namespace {

std::atomic<IdlePump*> g_registered_pump{nullptr};

}  // namespace

IdlePump::IdlePump() {
    g_registered_pump.store(this);
}

IdlePump::~IdlePump() {
    // Only this pump's own registration is cleared: a newer pump stays registered.
    IdlePump* self = this;
    g_registered_pump.compare_exchange_strong(self, nullptr);
}

IdlePump* RegisteredIdlePump() {
    return g_registered_pump.load();
}

bool IdlePumpApplies() {
    IdlePump* pump = RegisteredIdlePump();
    return pump != nullptr && pump->active() && pump->IsGuiThread();
}

void RequestIdlePump(bool idle) {
    IdlePump* pump = RegisteredIdlePump();
    if (pump == nullptr || !pump->active() || !pump->IsGuiThread()) {
        return;
    }
    if (idle || !pump->only_when_idle()) {
        pump->ProcessPendingMessages();
    }
    if (pump->waits_abandoned()) {
        throw WaitAbandonedError();
    }
}

}  // namespace pigeonet
