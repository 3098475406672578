#include "settings/settings_store.h"

#include "util/errors.h"
#include "util/text.h"

namespace pigeonet {

void UnreadableValues::Note(std::string_view name) {
    if (noted_.insert(std::string(name)).second) {
        untold_.emplace_back(name);
    }
}

std::string UnreadableValues::TakeReport() {
    std::string report;
    for (const std::string& name : untold_) {
        if (!report.empty()) {
            report += '\n';
        }
        report += FormatMessageText("Invalid data type for '%s'", name);
    }
    untold_.clear();
    return report;
}

SettingsStore::SettingsStore(RegistryHive& hive, std::string storeKey) : hive_(hive), storeKey_(std::move(storeKey)) {
    if (!hive_.CreateKey(storeKey_)) {
        throw AppError(FormatMessageText("Failed to create key %s", storeKey_));
    }
}

std::string SettingsStore::SectionPath(std::string_view section) const {
    return storeKey_ + "\\" + std::string(section);
}

std::optional<std::string> SettingsStore::StoredText(std::string_view section, std::string_view name) const {
    const auto value = hive_.ReadValue(SectionPath(section), std::string(name));
    if (!value) {
        return std::nullopt;
    }
    if (!value->isText) {
        throw AppError(FormatMessageText("Invalid data type for '%s'", name));
    }
    return value->text;
}

std::string SettingsStore::LoadText(std::string_view section, std::string_view name, std::string_view fallback) const {
    if (auto text = StoredText(section, name)) {
        return *text;
    }
    return std::string(fallback);
}

std::int32_t SettingsStore::LoadInt(std::string_view section, std::string_view name, std::int32_t fallback) const {
    if (auto text = StoredText(section, name)) {
        return StrToIntDef(*text, fallback);
    }
    return fallback;
}

bool SettingsStore::LoadFlag(std::string_view section, std::string_view name, bool fallback) const {
    return LoadInt(section, name, fallback ? 1 : 0) != 0;
}

void SettingsStore::NoteUnreadable(std::string_view name, bool* unreadable) const {
    unreadable_.Note(name);
    if (unreadable) {
        *unreadable = true;
    }
}

std::string SettingsStore::ReadText(std::string_view section,
                                    std::string_view name,
                                    std::string_view fallback,
                                    bool* unreadable) const {
    try {
        return LoadText(section, name, fallback);
    } catch (const AppError&) {
        NoteUnreadable(name, unreadable);
        return std::string(fallback);
    }
}

std::int32_t SettingsStore::ReadInt(std::string_view section,
                                    std::string_view name,
                                    std::int32_t fallback,
                                    bool* unreadable) const {
    std::optional<std::string> text;
    try {
        text = StoredText(section, name);
    } catch (const AppError&) {
        NoteUnreadable(name, unreadable);
        return fallback;
    }
    if (!text) {
        return fallback;
    }
    if (const auto value = ParseInt32(*text)) {
        return *value;
    }
    NoteUnreadable(name, unreadable);
    return fallback;
}

bool SettingsStore::ReadFlag(std::string_view section, std::string_view name, bool fallback, bool* unreadable) const {
    return ReadInt(section, name, fallback ? 1 : 0, unreadable) != 0;
}

bool SettingsStore::HasValue(std::string_view section, std::string_view name) const {
    return hive_.ReadValue(SectionPath(section), std::string(name)).has_value();
}

void SettingsStore::SaveText(std::string_view section, std::string_view name, std::string_view text) {
    const std::string path = SectionPath(section);
    if (!hive_.CreateKey(path)) {
        throw AppError(FormatMessageText("Failed to create key %s", section));
    }
    if (!hive_.WriteText(path, std::string(name), std::string(text))) {
        throw AppError(FormatMessageText("Failed to set data for '%s'", name));
    }
}

void SettingsStore::SaveInt(std::string_view section, std::string_view name, std::int32_t value) {
    SaveText(section, name, std::to_string(value));
}

void SettingsStore::SaveFlag(std::string_view section, std::string_view name, bool value) {
    SaveText(section, name, value ? "1" : "0");
}

int StoredDisplayTime(const SettingsStore& store) {
    return store.LoadInt(kSettingsSection, "infotime", kDefaultDisplayTime);
}

}  // namespace pigeonet
