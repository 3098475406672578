#include "settings/settings_store.h"

#include "util/errors.h"
#include "util/text.h"

namespace pigeonet {

SettingsStore::SettingsStore(RegistryHive& hive, std::string storeKey) : hive_(hive), storeKey_(std::move(storeKey)) {
    if (!hive_.CreateKey(storeKey_)) {
        throw AppError(FormatMessageText("Failed to create key %s", storeKey_));
    }
}

std::string SettingsStore::SectionPath(std::string_view section) const {
    return storeKey_ + "\\" + std::string(section);
}

std::optional<std::string> SettingsStore::ReadText(std::string_view section, std::string_view name) const {
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
    if (auto text = ReadText(section, name)) {
        return *text;
    }
    return std::string(fallback);
}

std::int32_t SettingsStore::LoadInt(std::string_view section, std::string_view name, std::int32_t fallback) const {
    if (auto text = ReadText(section, name)) {
        return StrToIntDef(*text, fallback);
    }
    return fallback;
}

bool SettingsStore::LoadFlag(std::string_view section, std::string_view name, bool fallback) const {
    return LoadInt(section, name, fallback ? 1 : 0) != 0;
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

}  // namespace pigeonet
