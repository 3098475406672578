#include "settings/live_settings.h"
#include "settings/settings_store.h"
#include "support/store_contract.h"
#include "util/errors.h"
#include "util/memory_registry.h"

#include <gtest/gtest.h>

#include <initializer_list>

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

TEST_F(LiveSettingsLoad, AnAccountNumberThatIsNoCountLoadsTheRowsPresentAndIsReported) {
    for (int i = 0; i < 4; ++i) {
        Put("email" + std::to_string(i), "user" + std::to_string(i) + "@example.org");
    }
    registry_.PutNonText(kSection, "email2");  // there, though unreadable: the rows go on past it
    const struct {
        const char* list;
        std::size_t rows;
        bool reported;
    } cases[] = {{"0", 0, false}, {"3", 3, false}, {"3 ", 4, true},         {"abc", 4, true},
                 {"-5", 4, true}, {"", 4, true},   {"2147483647", 4, true}, {"99999999999", 4, true}};
    for (const auto& c : cases) {
        Put("list", c.list);
        const SettingsValues values = Load();
        EXPECT_EQ(values.accounts.size(), c.rows) << "'" << c.list << "'";
        EXPECT_EQ(values.unreadable.count("list"), c.reported ? 1u : 0u) << "'" << c.list << "'";
    }
    registry_.PutNonText(kSection, "list");
    EXPECT_EQ(Load().accounts.size(), 4u);
    EXPECT_EQ(Load().unreadable.at("list"), "4") << "saving the same rows leaves the value as it is";
}

TEST_F(LiveSettingsLoad, RowsPresentStopAtTheMostRows) {
    for (int i = 0; i <= kMaxLoadedAccounts; ++i) {
        Put("email" + std::to_string(i), "x");
    }
    Put("list", "many");
    EXPECT_EQ(Load().accounts.size(), static_cast<std::size_t>(kMaxLoadedAccounts));
}

TEST_F(LiveSettingsLoad, AValueThatCannotBeReadTakesItsDefaultAloneAndTheLoadingGoesOn) {
    Put("timer", "4");
    Put("speed", "fast");
    Put("list", "3");
    for (const char* n : {"0", "1", "2"}) {
        Put(std::string("email") + n, std::string("user") + n + "@example.org");
        Put(std::string("log") + n, std::string("user") + n);
        Put(std::string("port") + n, "995");
    }
    registry_.PutNonText(kSection, "log1");
    Put("count1", "99999999999");
    Put("port2", "70000");
    registry_.PutNonText(kSection, "exe");
    Put("wav", "tada.wav");
    const SettingsValues values = Load();
    EXPECT_EQ(values.intervalPosition, 4);
    EXPECT_EQ(values.animationSpeed, 3);
    ASSERT_EQ(values.accounts.size(), 3u);
    EXPECT_EQ(values.accounts[1], (Account{"user1@example.org", "", "", "", "0", "995", "pop3", "tls"}));
    EXPECT_EQ(values.accounts[2], (Account{"user2@example.org", "", "user2", "", "0", "110"}));
    EXPECT_EQ(values.mailProgram, "C:\\");
    EXPECT_EQ(values.sound, "tada.wav");
    EXPECT_EQ(values.unreadable,
              (UnreadableAtLoad{{"speed", "3"}, {"log1", ""}, {"count1", "0"}, {"port2", "110"}, {"exe", "C:\\"}}));
    EXPECT_EQ(store_.Unreadable().TakeReport(),
              "Invalid data type for 'speed'\nInvalid data type for 'log1'\nInvalid data type for 'count1'\n"
              "Invalid data type for 'port2'\nInvalid data type for 'exe'");
    Load();
    EXPECT_EQ(store_.Unreadable().TakeReport(), "") << "each value is reported once a run";
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
    EXPECT_EQ(values.accounts[1], (Account{"b@example.org", "", "", "", "7", "995", "pop3", "tls"}));
}

TEST(AccountRowLoad, ReadsTheProtocolSecurityAndUidsOfARowAndLeavesDamagedOnesAsStored) {
    const char* kDword = "<dword>";
    const struct {
        const char* name;    // of row 0, stored on port 995, as IMAP for the UIDs
        const char* stored;  // nullptr: absent
        const char* loaded;
        bool reported;
    } cases[] = {
        {"proto0", nullptr, "pop3", false},
        {"proto0", "pop3", "pop3", false},
        {"proto0", "imap", "imap", false},
        {"proto0", "IMAP", "imap", false},
        {"proto0", "Pop3", "pop3", false},
        {"proto0", "smtp", "pop3", true},
        {"proto0", " imap", "pop3", true},
        {"proto0", "", "pop3", true},
        {"proto0", kDword, "pop3", true},
        {"security0", nullptr, "tls", false},
        {"security0", "none", "none", false},
        {"security0", "starttls", "starttls", false},
        {"security0", "tls", "tls", false},
        {"security0", "StartTLS", "starttls", false},
        {"security0", "ssl", "tls", true},
        {"security0", kDword, "tls", true},
        {"uidnext0", nullptr, "0", false},
        {"uidnext0", "4294967295", "4294967295", false},
        {"uidnext0", "0", "0", false},
        {"uidnext0", "4294967296", "0", true},
        {"uidnext0", "-1", "0", true},
        {"uidnext0", "0x10", "0", true},
        {"uidnext0", " 5", "0", true},
        {"uidnext0", "", "0", true},
        {"uidnext0", kDword, "0", true},
        {"uidvalidity0", nullptr, "0", false},
        {"uidvalidity0", "1700000000", "1700000000", false},
        {"uidvalidity0", "4294967296", "0", true},
        {"uidvalidity0", "+5", "0", true},
        {"uidvalidity0", kDword, "0", true},
    };
    for (const auto& c : cases) {
        const std::string name = c.name;
        const std::string context = name + "=" + (c.stored ? c.stored : "(absent)");
        MemoryRegistry registry;
        registry.PutRawText(kSection, "list", "1");
        registry.PutRawText(kSection, "email0", "a@example.org");
        registry.PutRawText(kSection, "port0", "995");
        if (name.rfind("uid", 0) == 0) {
            registry.PutRawText(kSection, "proto0", "imap");
        }
        if (c.stored == kDword) {
            registry.PutNonText(kSection, name);
        } else if (c.stored) {
            registry.PutRawText(kSection, name, c.stored);
        }
        SettingsStore store(registry);
        const SettingsValues values = LoadedValues(store, "", "");
        const Account& account = values.accounts.at(0);
        const std::string Account::*fields[] = {&Account::protocol, &Account::security, &Account::uidnext,
                                                &Account::uidvalidity};
        const std::string names[] = {"proto0", "security0", "uidnext0", "uidvalidity0"};
        for (std::size_t f = 0; f < std::size(fields); ++f) {
            if (names[f] == name) {
                EXPECT_EQ(account.*fields[f], c.loaded) << context;
            }
        }
        const UnreadableAtLoad listed = c.reported ? UnreadableAtLoad{{name, c.loaded}} : UnreadableAtLoad{};
        EXPECT_EQ(values.unreadable, listed) << context;
        const std::string report = c.reported ? "Invalid data type for '" + name + "'" : "";
        EXPECT_EQ(store.Unreadable().TakeReport(), report) << context;
        LoadedValues(store, "", "");
        EXPECT_EQ(store.Unreadable().TakeReport(), "") << context << ": reported once";

        const auto before = registry.ReadValue(kSection, name);
        UnreadableAtLoad unreadable = values.unreadable;
        SaveLiveSettings(store, MemoryLiveSettings(values), &unreadable);
        const auto after = registry.ReadValue(kSection, name);
        if (c.reported) {
            EXPECT_EQ(after->isText, before->isText) << context << ": left as stored";
            EXPECT_EQ(after->text, before->text) << context << ": left as stored";
        } else {
            EXPECT_EQ(after->text, c.loaded) << context;
        }
    }
}

TEST(AccountRowLoad, GivesARowWithoutASecurityTheOneItsProtocolAndPortHad) {
    const struct {
        const char* proto;
        const char* port;
        const char* security;
    } cases[] = {{nullptr, "995", "tls"}, {nullptr, "110", "none"}, {"pop3", "993", "none"}, {"imap", "993", "tls"},
                 {"imap", "995", "none"}, {"imap", "143", "none"},  {"IMAP", "993", "tls"},  {nullptr, "x", "none"}};
    for (const auto& c : cases) {
        MemoryRegistry registry;
        registry.PutRawText(kSection, "list", "1");
        registry.PutRawText(kSection, "port0", c.port);
        if (c.proto) {
            registry.PutRawText(kSection, "proto0", c.proto);
        }
        SettingsStore store(registry);
        EXPECT_EQ(LoadedValues(store, "", "").accounts.at(0).security, c.security)
            << (c.proto ? c.proto : "(absent)") << " on " << c.port;
    }
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

TEST(LiveSettingsSave, ChecksEveryRowBeforeWritingAnything) {
    const struct {
        const char* port;
        const char* count;
        const char* failure;
        const char* protocol = "pop3";
        const char* security = "none";
        const char* uidnext = "0";
    } cases[] = {
        {"11O", "0", "'11O' is not a valid integer value"},
        {"", "0", "'' is not a valid integer value"},
        {"0", "0", "'0' is not a port from 1 to 65535"},
        {"65536", "0", "'65536' is not a port from 1 to 65535"},
        {"-110", "0", "'-110' is not a port from 1 to 65535"},
        {"110", "x", "'x' is not a valid integer value"},
        {"110", "0", "'IMAP' is not a mail protocol (pop3 or imap)", "IMAP"},
        {"110", "0", "'' is not a mail protocol (pop3 or imap)", ""},
        {"110", "0", "'ssl' is not a connection security (none, starttls or tls)", "pop3", "ssl"},
        {"143", "0", "'-1' is not a UID from 0 to 4294967295", "imap", "none", "-1"},
        {"143", "0", "'4294967296' is not a UID from 0 to 4294967295", "imap", "none", "4294967296"},
    };
    for (const auto& c : cases) {
        MemoryRegistry registry;
        SettingsStore store(registry);
        MemoryLiveSettings settings;
        settings.AddAccount({"a@example.org", "pop", "a", "pw", "0", "110"});
        settings.AddAccount({"b@example.org", "pop", "b", "pw", c.count, c.port, c.protocol, c.security, c.uidnext});
        try {
            SaveLiveSettings(store, settings);
            ADD_FAILURE() << "no failure for " << c.port;
        } catch (const AppError& error) {
            EXPECT_STREQ(error.what(), c.failure);
        }
        EXPECT_FALSE(registry.KeyExists(kSection)) << "nothing written for " << c.port;
    }
    MemoryRegistry registry;
    SettingsStore store(registry);
    MemoryLiveSettings settings;
    settings.AddAccount({"a@example.org", "pop", "a", "pw", "0", "1"});
    settings.AddAccount({"b@example.org", "pop", "b", "pw", "0", " 65535"});
    SaveLiveSettings(store, settings);
    EXPECT_EQ(store.LoadText("pg", "port1", ""), "65535");
}

TEST(LiveSettingsSave, WritesTheProtocolAndSecurityOfEveryRowAndTheUidsOfImapRowsOnly) {
    MemoryRegistry registry;
    SettingsStore store(registry);
    MemoryLiveSettings settings;
    settings.AddAccount({"a@example.org", "pop.example.org", "a", "pw", "3", "995", "pop3", "tls", "17", "5"});
    settings.AddAccount(
        {"b@example.org", "imap.example.org", "b", "pw", "2", "143", "imap", "starttls", "4294967295", "1700000000"});
    SaveLiveSettings(store, settings);
    EXPECT_EQ(store.LoadText("pg", "proto0", ""), "pop3");
    EXPECT_EQ(store.LoadText("pg", "security0", ""), "tls");
    EXPECT_FALSE(store.HasValue("pg", "uidnext0"));
    EXPECT_FALSE(store.HasValue("pg", "uidvalidity0"));
    EXPECT_EQ(store.LoadText("pg", "proto1", ""), "imap");
    EXPECT_EQ(store.LoadText("pg", "security1", ""), "starttls");
    EXPECT_EQ(store.LoadText("pg", "uidnext1", ""), "4294967295");
    EXPECT_EQ(store.LoadText("pg", "uidvalidity1", ""), "1700000000");

    settings.SetAccountUids(1, "18", "1700000001");
    SaveLiveSettings(store, settings);
    const SettingsValues loaded = LoadedValues(store, "", "");
    ASSERT_EQ(loaded.accounts.size(), 2u);
    EXPECT_EQ(loaded.accounts[0], (Account{"a@example.org", "pop.example.org", "a", "pw", "3", "995", "pop3", "tls"}));
    EXPECT_EQ(loaded.accounts[1], (Account{"b@example.org", "imap.example.org", "b", "pw", "2", "143", "imap",
                                           "starttls", "18", "1700000001"}));
    EXPECT_TRUE(loaded.unreadable.empty());
}

TEST(LiveSettingsSave, LeavesAnUnreadableValueAsStoredUntilItsSettingChanges) {
    MemoryRegistry registry;
    SettingsStore store(registry);
    registry.PutNonText(kSection, "log0");
    registry.PutNonText(kSection, "timer");
    registry.PutRawText(kSection, "list", "1 ");
    registry.PutRawText(kSection, "email0", "a@example.org");
    registry.PutRawText(kSection, "smtp0", "pop.example.org");
    const SettingsValues values = LoadedValues(store, "C:\\", "[silence]");
    UnreadableAtLoad unreadable = values.unreadable;
    MemoryLiveSettings settings(values);
    SaveLiveSettings(store, settings, &unreadable);
    EXPECT_FALSE(registry.ReadValue(kSection, "log0")->isText);
    EXPECT_FALSE(registry.ReadValue(kSection, "timer")->isText);
    EXPECT_EQ(store.LoadText("pg", "list", ""), "1 ");
    EXPECT_EQ(store.LoadText("pg", "smtp0", ""), "pop.example.org");
    EXPECT_EQ(store.LoadText("pg", "infotime", ""), "8");

    settings.Values().intervalPosition = 4;
    settings.Values().accounts[0].login = "a";
    settings.AddAccount({"b@example.org", "pop", "b", "pw", "0", "110"});
    SaveLiveSettings(store, settings, &unreadable);
    EXPECT_EQ(store.LoadText("pg", "timer", ""), "4");
    EXPECT_EQ(store.LoadText("pg", "log0", ""), "a");
    EXPECT_EQ(store.LoadText("pg", "list", ""), "2");
    EXPECT_TRUE(unreadable.empty());
}

// Forwards to another registry and fails every write after the first `writesLeft`, as a save ends when the
// process is killed or the power goes.
class FailingHive final : public RegistryHive {
  public:
    FailingHive(RegistryHive& inner, int writesLeft) : inner_(inner), writesLeft_(writesLeft) {}
    bool CreateKey(const std::string& path) override { return inner_.CreateKey(path); }
    bool KeyExists(const std::string& path) const override { return inner_.KeyExists(path); }
    std::optional<RegistryValue> ReadValue(const std::string& keyPath, const std::string& name) const override {
        return inner_.ReadValue(keyPath, name);
    }
    bool WriteText(const std::string& keyPath, const std::string& name, const std::string& text) override {
        if (writesLeft_ <= 0) {
            return false;
        }
        --writesLeft_;
        return inner_.WriteText(keyPath, name, text);
    }

  private:
    RegistryHive& inner_;
    int writesLeft_;
};

std::vector<Account> Accounts(std::initializer_list<const char*> names) {
    std::vector<Account> accounts;
    for (const std::string name : names) {
        accounts.push_back({name + "@example.org", "pop." + name, name, "pw", "1", "995", "pop3", "tls"});
    }
    return accounts;
}

TEST(LiveSettingsSave, ASaveCutShortAtAnyWriteLeavesTheListNamingCompleteRows) {
    const struct {
        std::vector<Account> before;
        std::vector<Account> after;
    } cases[] = {
        {Accounts({"a", "b", "c"}), Accounts({"b", "c"})},
        {Accounts({"a", "b", "c"}), Accounts({"b", "c", "d", "e"})},
        {Accounts({}), Accounts({"a", "b"})},
        {Accounts({"a", "b"}), Accounts({})},
    };
    for (const auto& c : cases) {
        bool completed = false;
        for (int writes = 0; !completed; ++writes) {
            MemoryRegistry registry;
            SettingsStore before(registry);
            SettingsValues old;
            old.accounts = c.before;
            SaveLiveSettings(before, MemoryLiveSettings(old));

            FailingHive failing(registry, writes);
            SettingsStore store(failing);
            SettingsValues next;
            next.accounts = c.after;
            next.intervalPosition = 4;
            try {
                SaveLiveSettings(store, MemoryLiveSettings(next));
                completed = true;
            } catch (const AppError&) {
            }

            SettingsStore reopened(registry);
            const SettingsValues loaded = LoadedValues(reopened, "", "");
            const std::string context = std::to_string(c.before.size()) + " to " + std::to_string(c.after.size()) +
                                        " rows, cut after " + std::to_string(writes) + " writes";
            EXPECT_TRUE(loaded.unreadable.empty()) << context;
            const int list = reopened.LoadInt("pg", "list", -1);
            EXPECT_TRUE(list == static_cast<int>(c.before.size()) || list == static_cast<int>(c.after.size()))
                << context;
            for (int i = 0; i < list; ++i) {
                for (const std::string field : {"email", "smtp", "log", "pas", "count", "port", "proto", "security"}) {
                    EXPECT_TRUE(reopened.HasValue("pg", field + std::to_string(i))) << context << ": " << field << i;
                }
            }
            EXPECT_EQ(loaded.accounts.size(), static_cast<std::size_t>(list)) << context;
            if (writes == 0) {
                EXPECT_EQ(loaded.accounts, c.before) << context;
            }
            if (completed) {
                EXPECT_EQ(loaded.accounts, c.after) << context;
                EXPECT_EQ(loaded.intervalPosition, 4) << context;
            }
        }
    }
}

TEST(UnreadableValues, ReportsEachNameOnceInOneMessage) {
    UnreadableValues values;
    EXPECT_EQ(values.TakeReport(), "");
    values.Note("lang");
    values.Note("log1");
    values.Note("lang");
    EXPECT_EQ(values.TakeReport(), "Invalid data type for 'lang'\nInvalid data type for 'log1'");
    values.Note("log1");
    values.Note("infoconect");
    EXPECT_EQ(values.TakeReport(), "Invalid data type for 'infoconect'");
}

}  // namespace
}  // namespace pigeonet
