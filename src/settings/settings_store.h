#pragma once

#include "util/registry_hive.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace pigeonet {

// The section every setting lives in: HKEY_CURRENT_USER\Software\Zelvik\pg.
inline constexpr std::string_view kSettingsSection = "pg";

// The stored values that could not be read in this run, gathered so that the user hears of each of them once, all
// together in one message, rather than once for every place that reads it.
class UnreadableValues {
  public:
    // Notes a value name; one already noted (told or not) is not noted again.
    void Note(std::string_view name);
    // "Invalid data type for '<name>'", one line per value noted since the last call, or "" when there is none.
    std::string TakeReport();

  private:
    std::set<std::string, std::less<>> noted_;
    std::vector<std::string> untold_;
};

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

    // Reads for loading that never fail: a value that cannot be read - of another registry type, or, for the
    // integer and flag reads, text that is not an integer - yields the fallback, sets `*unreadable` and is noted in
    // Unreadable() for the report. An absent value yields the fallback and is no fault.
    std::string ReadText(std::string_view section,
                         std::string_view name,
                         std::string_view fallback,
                         bool* unreadable = nullptr) const;
    std::int32_t ReadInt(std::string_view section,
                         std::string_view name,
                         std::int32_t fallback,
                         bool* unreadable = nullptr) const;
    bool ReadFlag(std::string_view section, std::string_view name, bool fallback, bool* unreadable = nullptr) const;
    // Whether the value exists, whatever its type.
    bool HasValue(std::string_view section, std::string_view name) const;
    // The values the tolerant reads found unreadable in this run.
    UnreadableValues& Unreadable() const { return unreadable_; }

    void SaveText(std::string_view section, std::string_view name, std::string_view text);
    void SaveInt(std::string_view section, std::string_view name, std::int32_t value);
    void SaveFlag(std::string_view section, std::string_view name, bool value);

    const std::string& StoreKey() const { return storeKey_; }

  private:
    std::optional<std::string> StoredText(std::string_view section, std::string_view name) const;
    std::string SectionPath(std::string_view section) const;
    void NoteUnreadable(std::string_view name, bool* unreadable) const;

    RegistryHive& hive_;
    std::string storeKey_;
    mutable UnreadableValues unreadable_;
};

// Seconds the envelope stays when the store holds no usable "infotime".
inline constexpr int kDefaultDisplayTime = 8;
// The display time as the store holds it now: "infotime" of section "pg", 8 when missing or not a number.
int StoredDisplayTime(const SettingsStore& store);

}  // namespace pigeonet
