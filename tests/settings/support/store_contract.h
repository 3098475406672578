#pragma once

#include "util/registry_hive.h"

#include <functional>
#include <string>

namespace pigeonet::testing {

// What a registry needs to offer the store's contract test besides the RegistryHive operations: planting values
// that the program itself never writes.
struct RegistryPlanter {
    // A REG_SZ value with exactly these bytes of UTF-8 text (no terminating zero added; "" is a zero-size value).
    std::function<void(const std::string& keyPath, const std::string& name, const std::string& bytes)> rawText;
    // A value of another registry type (a DWORD).
    std::function<void(const std::string& keyPath, const std::string& name)> nonText;
};

// Checks the settings store's semantics against `hive`, whose store key "Software\Zelvik" must not exist yet.
// Used natively with the in-memory registry and under Wine with the real one, so both behave alike.
void ExpectStoreContract(RegistryHive& hive, const RegistryPlanter& plant);

}  // namespace pigeonet::testing
