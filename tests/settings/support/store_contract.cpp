#include "support/store_contract.h"

#include "settings/settings_store.h"
#include "util/errors.h"

#include <gtest/gtest.h>

namespace pigeonet::testing {

namespace {

const std::string kSection = "Software\\Zelvik\\pg";

std::string FailureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const AppError& error) {
        return error.what();
    }
    return "(no failure)";
}

}  // namespace

void ExpectStoreContract(RegistryHive& hive, const RegistryPlanter& plant) {
    ASSERT_FALSE(hive.KeyExists("Software\\Zelvik"));
    SettingsStore store(hive);
    EXPECT_TRUE(hive.KeyExists("Software\\Zelvik")) << "the store key is created when the store opens";

    // A fresh user reads defaults, and reading creates nothing.
    EXPECT_EQ(store.LoadText("pg", "exe", "C:\\"), "C:\\");
    EXPECT_EQ(store.LoadInt("pg", "timer", 9), 9);
    EXPECT_TRUE(store.LoadFlag("pg", "hit", true));
    EXPECT_FALSE(store.LoadFlag("pg", "infoconect", false));
    EXPECT_FALSE(hive.KeyExists(kSection)) << "a read must not create the section";

    // The first write creates the section; integers and flags are decimal text.
    store.SaveInt("pg", "port0", 110);
    store.SaveInt("pg", "count0", -1);
    store.SaveFlag("pg", "hit", false);
    store.SaveFlag("pg", "infoconect", true);
    store.SaveText("pg", "email0", "\xd0\xbf\xd0\xbe\xd1\x87\xd1\x82\xd0\xb0@example.org");
    EXPECT_TRUE(hive.KeyExists(kSection));
    const std::pair<const char*, const char*> written[] = {
        {"port0", "110"},
        {"count0", "-1"},
        {"hit", "0"},
        {"infoconect", "1"},
        {"email0", "\xd0\xbf\xd0\xbe\xd1\x87\xd1\x82\xd0\xb0@example.org"},
    };
    for (const auto& [name, text] : written) {
        const auto value = hive.ReadValue(kSection, name);
        ASSERT_TRUE(value.has_value()) << name;
        EXPECT_TRUE(value->isText) << name;
        EXPECT_EQ(value->text, text) << name;
    }
    EXPECT_EQ(store.LoadInt("pg", "count0", 0), -1);
    EXPECT_FALSE(store.LoadFlag("pg", "hit", true));

    // Stored text that is not what the reader expects falls back to the default.
    struct IntCase {
        const char* stored;
        int fallback;
        int expected;
    };
    const IntCase ints[] = {{"abc", 0, 0}, {"", 110, 110}, {"45", 9, 45}, {"-3", 9, -3}, {"12abc", 7, 7}};
    for (const auto& c : ints) {
        plant.rawText(kSection, "value", c.stored);
        EXPECT_EQ(store.LoadInt("pg", "value", c.fallback), c.expected) << "'" << c.stored << "'";
    }
    struct FlagCase {
        const char* stored;
        bool fallback;
        bool expected;
    };
    const FlagCase flags[] = {{"5", false, true},  {"2", false, true},    {"0", true, false},
                              {"yes", true, true}, {"yes", false, false}, {"", true, true}};
    for (const auto& c : flags) {
        plant.rawText(kSection, "flag", c.stored);
        EXPECT_EQ(store.LoadFlag("pg", "flag", c.fallback), c.expected) << "'" << c.stored << "'";
    }

    // A zero-size value is the empty text, not the default; text stops at its first zero character.
    plant.rawText(kSection, "exe", "");
    EXPECT_EQ(store.LoadText("pg", "exe", "default"), "");
    plant.rawText(kSection, "wav", std::string("ding.wav\0junk", 13));
    EXPECT_EQ(store.LoadText("pg", "wav", ""), "ding.wav");

    // A value of another type cannot be read as any of the three kinds.
    plant.nonText(kSection, "speed");
    EXPECT_EQ(FailureOf([&] { store.LoadInt("pg", "speed", 3); }), "Invalid data type for 'speed'");
    EXPECT_EQ(FailureOf([&] { store.LoadText("pg", "speed", ""); }), "Invalid data type for 'speed'");
    EXPECT_EQ(FailureOf([&] { store.LoadFlag("pg", "speed", true); }), "Invalid data type for 'speed'");
}

}  // namespace pigeonet::testing
