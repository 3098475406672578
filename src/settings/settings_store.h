#pragma once

#include "settings/registry_hive.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace pigeonet {

// The section every setting lives in: HKEY_CURRENT_USER\Software\Zelvik\pg.
inline constexpr std::string_view kSettingsSection = "pg";

// An ini-style view of the registry: sections are subkeys of the store key, idents are value names, and every value
// is registry text (integers in decimal, flags "0"/"1"). Reads never create anything; nothing is ever deleted.
// Failures are AppErrors with the program's messages.
class SettingsStore {
  public:
    // Opens the store key, creating it when missing ("Failed to create key %s" when it cannot be created).
    explicit SettingsStore(RegistryHive& hive, std::string storeKey = "Software\\Zelvik");

    std::string LoadText(std::string_view section, std::string_view name, std::string_view fallback) const;
    std::int32_t LoadInt(std::string_view section, std::string_view name, std::int32_t fallback) const;
    bool LoadFlag(std::string_view section, std::string_view name, bool fallback) const;

    void SaveText(std::string_view section, std::string_view name, std::string_view text);
    void SaveInt(std::string_view section, std::string_view name, std::int32_t value);
    void SaveFlag(std::string_view section, std::string_view name, bool value);

    const std::string& StoreKey() const { return storeKey_; }

  private:
    std::optional<std::string> ReadText(std::string_view section, std::string_view name) const;
    std::string SectionPath(std::string_view section) const;

    RegistryHive& hive_;
    std::string storeKey_;
};

}  // namespace pigeonet
