#pragma once

#include "util/registry_hive.h"

#include <windows.h>

namespace pigeonet {

// The real registry below `root` (HKEY_CURRENT_USER for the program; tests pass a key of their own). The root
// handle is borrowed, not owned.
class Win32RegistryHive final : public RegistryHive {
  public:
    explicit Win32RegistryHive(HKEY root) : root_(root) {}

    bool CreateKey(const std::string& path) override;
    bool KeyExists(const std::string& path) const override;
    std::optional<RegistryValue> ReadValue(const std::string& keyPath, const std::string& name) const override;
    bool WriteText(const std::string& keyPath, const std::string& name, const std::string& text) override;

  private:
    HKEY root_;
};

}  // namespace pigeonet
