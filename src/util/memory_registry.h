#pragma once

#include "util/registry_hive.h"

#include <map>
#include <set>
#include <string>

namespace pigeonet {

// An in-memory registry that models what the settings code relies on: keys that exist or not, and values that are
// text or of another type. Key names compare case-insensitively (ASCII), as in the real registry.
class MemoryRegistry final : public RegistryHive {
  public:
    bool CreateKey(const std::string& path) override;
    bool KeyExists(const std::string& path) const override;
    std::optional<RegistryValue> ReadValue(const std::string& keyPath, const std::string& name) const override;
    bool WriteText(const std::string& keyPath, const std::string& name, const std::string& text) override;

    // Test set-up: stores raw REG_SZ bytes (which may hold zero characters) or a value of another type.
    void PutRawText(const std::string& keyPath, const std::string& name, const std::string& bytes);
    void PutNonText(const std::string& keyPath, const std::string& name);
    // Makes later CreateKey or WriteText calls fail, as a read-only key would.
    void FailWrites(bool fail) { failWrites_ = fail; }
    std::size_t KeyCount() const { return keys_.size(); }

  private:
    struct Value {
        bool isText;
        std::string bytes;
    };
    static std::string Normalize(const std::string& path);

    std::set<std::string> keys_;
    std::map<std::pair<std::string, std::string>, Value> values_;
    bool failWrites_ = false;
};

}  // namespace pigeonet
