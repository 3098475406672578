#include "util/memory_registry.h"

#include "util/text.h"

namespace pigeonet {

std::string MemoryRegistry::Normalize(const std::string& path) {
    std::string key = AsciiLower(path);
    while (!key.empty() && key.back() == '\\') {
        key.pop_back();
    }
    while (!key.empty() && key.front() == '\\') {
        key.erase(key.begin());
    }
    return key;
}

bool MemoryRegistry::CreateKey(const std::string& path) {
    if (failWrites_) {
        return KeyExists(path);
    }
    std::string key = Normalize(path);
    // Parents exist whenever a child does.
    for (auto at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1)) {
        keys_.insert(key.substr(0, at));
    }
    keys_.insert(key);
    return true;
}

bool MemoryRegistry::KeyExists(const std::string& path) const {
    return keys_.count(Normalize(path)) > 0;
}

std::optional<RegistryValue> MemoryRegistry::ReadValue(const std::string& keyPath, const std::string& name) const {
    const auto found = values_.find({Normalize(keyPath), Normalize(name)});
    if (found == values_.end()) {
        return std::nullopt;
    }
    RegistryValue value;
    value.isText = found->second.isText;
    if (value.isText) {
        const auto& bytes = found->second.bytes;
        value.text = bytes.substr(0, bytes.find('\0'));
    }
    return value;
}

bool MemoryRegistry::WriteText(const std::string& keyPath, const std::string& name, const std::string& text) {
    if (failWrites_ || !KeyExists(keyPath)) {
        return false;
    }
    values_[{Normalize(keyPath), Normalize(name)}] = Value{true, text};
    return true;
}

void MemoryRegistry::PutRawText(const std::string& keyPath, const std::string& name, const std::string& bytes) {
    CreateKey(keyPath);
    values_[{Normalize(keyPath), Normalize(name)}] = Value{true, bytes};
}

void MemoryRegistry::PutNonText(const std::string& keyPath, const std::string& name) {
    CreateKey(keyPath);
    values_[{Normalize(keyPath), Normalize(name)}] = Value{false, {}};
}

}  // namespace pigeonet
