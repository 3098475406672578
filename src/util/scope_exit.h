#pragma once

#include <utility>

namespace pigeonet {

// Runs `action` when the scope ends, however it ends (also while an exception passes). The action must not throw.
template <typename Action>
class ScopeExit {
  public:
    explicit ScopeExit(Action action) : action_(std::move(action)) {}
    ~ScopeExit() { action_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

  private:
    Action action_;
};

}  // namespace pigeonet
