#include "settings/live_settings.h"
#include "settings/memory_registry.h"
#include "settings/settings_store.h"
#include "support/store_contract.h"
#include "util/errors.h"

#include <gtest/gtest.h>

namespace pigeonet {
namespace {

// Everything the store holds, as the settings dialog loads it.
SettingsValues LoadedValues(const SettingsStore& store, const std::string& mailCommand, const std::string& noSound) {
    SettingsValues values;
    LoadSettingsInto(
        store, values, [&] { return mailCommand; }, noSound);
    return values;
}

const std::string kSection = "Software\\Zelvik\\pg";

TEST(SettingsStore, KeepsItsContractOverTheInMemoryRegistry) {
    MemoryRegistry registry;
    testing::ExpectStoreContract(
        registry, {[&](const std::string& key, const std::string& name, const std::string& bytes) {
                       registry.PutRawText(key, name, bytes);
                   },
                   [&](const std::string& key, const std::string& name) { registry.PutNonText(key, name); }});
}

TEST(SettingsStore, ReportsWritesThatFail) {
    MemoryRegistry registry;
    SettingsStore store(registry);
    registry.FailWrites(true);
    try {
        store.SaveText("pg", "exe", "x");
        FAIL() << "no failure";
    } catch (const AppError& error) {
        EXPECT_STREQ(error.what(), "Failed to create key pg");
    }
    registry.FailWrites(false);
    registry.CreateKey(kSection);
    registry.FailWrites(true);
    try {
        store.SaveInt("pg", "timer", 4);
        FAIL() << "no failure";
    } catch (const AppError& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'timer'");
    }
}

class LiveSettingsLoad : public ::testing::Test {
  protected:
    void Put(const std::string& name, const std::string& text) { registry_.PutRawText(kSection, name, text); }
    SettingsValues Load() { return LoadedValues(store_, "C:\\", "[silence]"); }

    MemoryRegistry registry_;
    SettingsStore store_{registry_};
};

TEST_F(LiveSettingsLoad, GivesDefaultsToAFreshUser) {
    const SettingsValues values = Load();
    EXPECT_EQ(values.animationSpeed, 3);
    EXPECT_EQ(values.intervalPosition, 9);
    EXPECT_TRUE(values.flashIcon);
    EXPECT_EQ(values.displayTime, 8);
    EXPECT_FALSE(values.connectNotice);
    EXPECT_TRUE(values.accounts.empty());
    EXPECT_EQ(values.mailProgram, "C:\\");
    EXPECT_EQ(values.sound, "[silence]");
    EXPECT_FALSE(registry_.KeyExists(kSection));
}

TEST_F(LiveSettingsLoad, ACorruptAccountNumberLoadsNoMoreThanTheMostRows) {
    const struct {
        const char* list;
        std::size_t rows;
    } cases[] = {{"0", 0}, {"-5", 0}, {"3", 3}, {"2147483647", kMaxLoadedAccounts}};
    for (const auto& c : cases) {
        Put("list", c.list);
        EXPECT_EQ(Load().accounts.size(), c.rows) << c.list;
    }
}

TEST_F(LiveSettingsLoad, AFailedReadEndsTheLoadingAndKeepsWhatWasReadBeforeIt) {
    Put("timer", "4");
    Put("list", "3");
    Put("email0", "a@example.org");
    Put("email1", "b@example.org");
    registry_.PutNonText(kSection, "pas1");
    SettingsValues values;
    bool askedForMailCommand = false;
    try {
        LoadSettingsInto(
            store_, values,
            [&] {
                askedForMailCommand = true;
                return std::string("C:\\");
            },
            "[silence]");
        ADD_FAILURE() << "the read of pas1 must fail";
    } catch (const AppError& error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'pas1'");
    }
    EXPECT_EQ(values.intervalPosition, 4);
    ASSERT_EQ(values.accounts.size(), 2u);
    EXPECT_EQ(values.accounts[1].email, "b@example.org");
    EXPECT_EQ(values.accounts[1].password, "");
    EXPECT_FALSE(askedForMailCommand) << "the mail program's default is found only when its turn comes";
}

TEST_F(LiveSettingsLoad, BringsOutOfRangeValuesToTheirBounds) {
    const struct {
        const char* name;
        const char* stored;
        int SettingsValues::*field;
        int expected;
    } cases[] = {
        {"timer", "45", &SettingsValues::intervalPosition, 30}, {"timer", "-2", &SettingsValues::intervalPosition, 0},
        {"speed", "11", &SettingsValues::animationSpeed, 10},   {"speed", "-1", &SettingsValues::animationSpeed, 0},
        {"infotime", "100", &SettingsValues::displayTime, 60},  {"infotime", "1", &SettingsValues::displayTime, 3},
    };
    for (const auto& c : cases) {
        Put(c.name, c.stored);
        EXPECT_EQ(Load().*c.field, c.expected) << c.name << "=" << c.stored;
        EXPECT_EQ(registry_.ReadValue(kSection, c.name)->text, c.stored) << "the store keeps the stored text";
    }
}

TEST_F(LiveSettingsLoad, ReadsAccountsUpToTheStoredCountWithDefaults) {
    Put("list", "2");
    Put("email0", "a@example.org");
    Put("smtp0", "pop.example.org");
    Put("log0", "a");
    Put("pas0", "secret");
    Put("count0", "abc");
    Put("email1", "b@example.org");
    Put("port1", "995");
    Put("count1", "7");
    Put("email2", "left-over@example.org");
    const SettingsValues values = Load();
    ASSERT_EQ(values.accounts.size(), 2u);
    EXPECT_EQ(values.accounts[0], (Account{"a@example.org", "pop.example.org", "a", "secret", "0", "110"}));
    EXPECT_EQ(values.accounts[1], (Account{"b@example.org", "", "", "", "7", "995"}));
    Put("list", "-4");
    EXPECT_TRUE(Load().accounts.empty());
}

TEST(LiveSettingsSave, WritesEveryValueAndKeepsStaleAccountsUnread) {
    MemoryRegistry registry;
    SettingsStore store(registry);
    MemoryLiveSettings settings;
    for (int i = 0; i < 5; ++i) {
        settings.AddAccount({"user" + std::to_string(i) + "@example.org", "pop", "user", "pw", "1", "110"});
    }
    SaveLiveSettings(store, settings);
    settings.RemoveAccount(0);
    settings.RemoveAccount(0);
    SaveLiveSettings(store, settings);
    EXPECT_EQ(store.LoadInt("pg", "list", 0), 3);
    EXPECT_EQ(store.LoadText("pg", "email0", ""), "user2@example.org");
    EXPECT_EQ(store.LoadText("pg", "email4", ""), "user4@example.org");
    EXPECT_EQ(LoadedValues(store, "", "").accounts.size(), 3u);
    EXPECT_EQ(store.LoadText("pg", "hit", ""), "1");
    EXPECT_EQ(store.LoadText("pg", "infotime", ""), "8");
}

TEST(LiveSettingsSave, StopsAtAPortThatIsNotANumberKeepingWhatWasWritten) {
    MemoryRegistry registry;
    SettingsStore store(registry);
    MemoryLiveSettings settings;
    settings.Values().intervalPosition = 4;
    settings.AddAccount({"a@example.org", "pop", "a", "pw", "0", "11O"});
    try {
        SaveLiveSettings(store, settings);
        FAIL() << "no failure";
    } catch (const AppError& error) {
        EXPECT_STREQ(error.what(), "'11O' is not a valid integer value");
    }
    EXPECT_EQ(store.LoadInt("pg", "timer", 9), 4);
    EXPECT_EQ(store.LoadText("pg", "email0", ""), "a@example.org");
    EXPECT_EQ(store.LoadText("pg", "port0", "absent"), "absent");
    EXPECT_EQ(store.LoadText("pg", "infotime", "absent"), "absent");
}

}  // namespace
}  // namespace pigeonet
