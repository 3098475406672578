#include "support/registry_fixture_win32.h"
#include "support/store_contract.h"
#include "util/handles_win32.h"
#include "util/registry_win32.h"
#include "util/unicode_win32.h"

#include <gtest/gtest.h>

namespace pigeonet {
namespace {

// Each test works below a key of its own in the real (Wine) registry, so the program's settings stay untouched.
class RealRegistry : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(root_.Open(L"Software\\PigeonetTests\\Store")); }
    void TearDown() override { root_.Close(); }

    void SetRaw(const std::string& keyPath, const std::string& name, DWORD type, const void* data, DWORD size) {
        UniqueRegKey key;
        ASSERT_EQ(RegCreateKeyExW(root_.get(), Widen(keyPath).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  key.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key.get(), Widen(name).c_str(), 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }

    testing::ScratchRegistryKey root_;
};

TEST_F(RealRegistry, KeepsTheStoreContract) {
    Win32RegistryHive hive(root_.get());
    testing::RegistryPlanter plant{[&](const std::string& key, const std::string& name, const std::string& bytes) {
                                       // Exactly these characters, without a terminating zero (so "" is a value of size
                                       // 0).
                                       const std::wstring text = Widen(bytes);
                                       SetRaw(key, name, REG_SZ, text.data(),
                                              static_cast<DWORD>(text.size() * sizeof(wchar_t)));
                                   },
                                   [&](const std::string& key, const std::string& name) {
                                       const DWORD number = 3;
                                       SetRaw(key, name, REG_DWORD, &number, sizeof(number));
                                   }};
    testing::ExpectStoreContract(hive, plant);
}

TEST_F(RealRegistry, StoresTextAsUtf16RegSzWithItsTerminatingZero) {
    Win32RegistryHive hive(root_.get());
    ASSERT_TRUE(hive.CreateKey("Software\\Zelvik\\pg"));
    ASSERT_TRUE(hive.WriteText("Software\\Zelvik\\pg", "wav", "\xd0\x97\xd0\xb2\xd1\x83\xd0\xba.wav"));
    UniqueRegKey key;
    ASSERT_EQ(RegOpenKeyExW(root_.get(), L"Software\\Zelvik\\pg", 0, KEY_READ, key.put()), ERROR_SUCCESS);
    wchar_t data[32] = {};
    DWORD type = 0;
    DWORD size = sizeof(data);
    ASSERT_EQ(RegQueryValueExW(key.get(), L"wav", nullptr, &type, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(data), L"\u0417\u0432\u0443\u043a.wav");
    EXPECT_EQ(size, (std::wstring(data).size() + 1) * sizeof(wchar_t));
}

TEST_F(RealRegistry, ReadsExpandableTextAndMissingKeysWithoutCreatingThem) {
    Win32RegistryHive hive(root_.get());
    const std::wstring text = L"%TEMP%\\x";
    SetRaw("Software\\Zelvik\\pg", "exe", REG_EXPAND_SZ, text.c_str(),
           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    const auto value = hive.ReadValue("Software\\Zelvik\\pg", "exe");
    ASSERT_TRUE(value.has_value());
    EXPECT_TRUE(value->isText);
    EXPECT_EQ(value->text, "%TEMP%\\x");
    EXPECT_FALSE(hive.ReadValue("Software\\Nowhere", "exe").has_value());
    EXPECT_FALSE(hive.KeyExists("Software\\Nowhere"));
    EXPECT_FALSE(hive.WriteText("Software\\Nowhere", "exe", "x")) << "writing needs an existing key";
    EXPECT_FALSE(hive.KeyExists("Software\\Nowhere"));
}

}  // namespace
}  // namespace pigeonet
