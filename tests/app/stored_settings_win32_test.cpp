// Stored settings damaged one value at a time: the windows start as the program starts them, over the real
// registry, and the settings dialog's OK is pressed without a change. Nothing the user had may be lost.
#include "app/application_win32.h"
#include "app/main_form_win32.h"
#include "app/platform_win32.h"
#include "settings/dialogs/account_editor_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"
#include "util/error_display_win32.h"
#include "util/handles_win32.h"
#include "util/memory_registry.h"
#include "util/registry_win32.h"
#include "util/unicode_win32.h"

#include "support/dialog_fakes_win32.h"
#include "support/main_form_fakes_win32.h"
#include "support/recording_error_display_win32.h"
#include "support/registry_fixture_win32.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pigeonet {
namespace {

const std::string kSection = "Software\\Zelvik\\pg";
const std::string kNoSound = "(without the beep)";  // the stored language is English
const std::string kMailCommand = "C:\\Program Files\\Mail\\mail.exe /mailurl:1";

// What a value is to the program, and so what its damage does.
enum class Kind { Text, Number, Flag, Language, List, Count, Port, Word, Uid };

struct StoredValue {
    std::string name;
    std::string text;  // as a previous run saved it
    Kind kind;
    std::string fallback;  // its default, as text
    std::string negative;  // what OK writes for a stored "-5" (a number brought into range)
};

// A store as the program writes it: two accounts and every option away from its default.
std::vector<StoredValue> FullStore() {
    std::vector<StoredValue> values = {
        {"lang", "1", Kind::Language, "0", "0"},
        {"speed", "7", Kind::Number, "3", "0"},
        {"timer", "12", Kind::Number, "9", "0"},
        {"hit", "0", Kind::Flag, "1", "1"},
        {"infotime", "20", Kind::Number, "8", "3"},
        {"infoconect", "1", Kind::Flag, "0", "1"},
        {"list", "2", Kind::List, "0", ""},
        {"wav", "tada.wav", Kind::Text, kNoSound, ""},
        {"exe", "C:\\Mail\\mail.exe -mail", Kind::Text, kMailCommand, ""},
    };
    for (const std::string i : {"0", "1"}) {
        values.push_back({"email" + i, "user" + i + "@mail.example", Kind::Text, "", ""});
        values.push_back({"smtp" + i, "pop" + i + ".mail.example", Kind::Text, "", ""});
        values.push_back({"log" + i, "user" + i, Kind::Text, "", ""});
        values.push_back({"pas" + i, "secret " + i, Kind::Text, "", ""});
        values.push_back({"count" + i, "4" + i, Kind::Count, "0", "-5"});
        values.push_back({"port" + i, "995", Kind::Port, "110", ""});
    }
    // A POP3 account over TLS beside an IMAP one upgraded by STARTTLS; an IMAP row on 995 that names no security
    // is plain, as TLS is 993 for IMAP.
    values.push_back({"proto0", "pop3", Kind::Word, "pop3", ""});
    values.push_back({"security0", "tls", Kind::Word, "tls", ""});
    values.push_back({"proto1", "imap", Kind::Word, "pop3", ""});
    values.push_back({"security1", "starttls", Kind::Word, "none", ""});
    values.push_back({"uidnext1", "4294967295", Kind::Uid, "0", ""});
    values.push_back({"uidvalidity1", "1700000000", Kind::Uid, "0", ""});
    return values;
}

enum class Damage { OtherType, NotANumber, Negative, Huge, Padded, Missing };
const char* DamageName(Damage damage) {
    constexpr const char* names[] = {"a DWORD", "\"abc\"", "\"-5\"", "\"99999999999\"", "\" 12 \"", "missing"};
    return names[static_cast<int>(damage)];
}

// What the damaged value holds after the start and OK, nullopt when it must be exactly as damaged; and whether
// the start reported it.
struct Outcome {
    std::optional<std::string> stored;
    bool reported;
};

Outcome Expected(const StoredValue& value, Damage damage) {
    // The language is written back at every start, from the menu mark it gave.
    if (value.kind == Kind::Language) {
        return {"0", damage != Damage::Missing && damage != Damage::Negative};
    }
    if (damage == Damage::Missing) {
        return {value.fallback, false};
    }
    if (damage == Damage::OtherType) {
        return {std::nullopt, true};
    }
    if (damage == Damage::Negative) {
        if (value.kind == Kind::List || value.kind == Kind::Port || value.kind == Kind::Word ||
            value.kind == Kind::Uid) {
            return {std::nullopt, true};  // no count, no port, no word, no UID: kept, and the accounts with it
        }
        return {value.negative, false};
    }
    return {std::nullopt, true};
}

class StoredSettings : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(root_.Open(L"Software\\PigeonetTests\\StoredSettings"));
        hive_ = std::make_unique<Win32RegistryHive>(root_.get());
        testing::RegisterMailClient(system_.localMachine);
    }
    void TearDown() override {
        Stop();
        root_.Close();
    }

    void Store(const std::vector<StoredValue>& values) {
        RegDeleteTreeW(root_.get(), L"Software\\Zelvik");
        hive_->CreateKey(kSection);
        for (const StoredValue& value : values) {
            hive_->WriteText(kSection, value.name, value.text);
        }
    }
    void Damage(const std::string& name, Damage damage) {
        UniqueRegKey key;
        ASSERT_EQ(RegOpenKeyExW(root_.get(), Widen(kSection).c_str(), 0, KEY_ALL_ACCESS, key.put()), ERROR_SUCCESS);
        const std::wstring wide = Widen(name);
        const DWORD number = 7;
        const char* texts[] = {nullptr, "abc", "-5", "99999999999", " 12 "};
        switch (damage) {
            case Damage::OtherType:
                RegSetValueExW(key.get(), wide.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                               sizeof(number));
                break;
            case Damage::Missing:
                RegDeleteValueW(key.get(), wide.c_str());
                break;
            default:
                hive_->WriteText(kSection, name, texts[static_cast<int>(damage)]);
                break;
        }
    }
    // The value as the registry holds it: its text, "<other type>", or nullopt when absent.
    std::optional<std::string> Stored(const std::string& name) {
        const auto value = hive_->ReadValue(kSection, name);
        if (!value) {
            return std::nullopt;
        }
        return value->isText ? value->text : "<other type>";
    }
    // Every value of the section as the registry holds it: its type and its bytes.
    std::map<std::string, std::pair<DWORD, std::string>> RawValues() {
        std::map<std::string, std::pair<DWORD, std::string>> values;
        UniqueRegKey key;
        if (RegOpenKeyExW(root_.get(), Widen(kSection).c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
            return values;
        }
        for (DWORD index = 0;; ++index) {
            wchar_t name[256];
            DWORD nameLength = 256;
            BYTE data[4096];
            DWORD type = 0;
            DWORD size = sizeof(data);
            if (RegEnumValueW(key.get(), index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) {
                return values;
            }
            values[Narrow(std::wstring_view(name, nameLength))] = {
                type, std::string(reinterpret_cast<const char*>(data), size)};
        }
    }

    // The start's order: the store and the stored language, the settings dialog, the account editor, the main
    // window, the report; then the start-up language timer.
    void Start() {
        application_ = std::make_unique<ApplicationWindow>();
        bench_ = std::make_unique<testing::MainFormBench>(root_.get());
        const LanguageMarks storedLanguage = bench_->StoredLanguage();
        sound_ = std::make_unique<testing::RecordingSound>(*hive_);
        TSimpleTimer& timer1 = bench_->timer1;
        dialog_ = std::make_unique<TForm2>(
            GetModuleHandleW(nullptr), application_->Handle(), bench_->store, [&timer1] { EnableTimer1(timer1); },
            system_, *sound_);
        form_ = std::make_unique<TForm1>(*application_, bench_->Parts(*dialog_), storedLanguage);
        form_->ReportUnreadableValues();
        SendMessageW(form_->Handle(), WM_TIMER, 4, 0);
    }
    void Stop() {
        form_.reset();
        dialog_.reset();
        bench_.reset();
        application_.reset();
    }
    // The settings command, then OK (the dialog is not put on the screen: nothing here depends on it).
    void PressOk() {
        SendMessageW(form_->Handle(), WM_COMMAND, kMenuN1, 0);
        SendMessageW(dialog_->Controls().Button4, BM_CLICK, 0, 0);
    }

    testing::ScratchRegistryKey root_;
    std::unique_ptr<Win32RegistryHive> hive_;
    testing::TestDialogSystem system_;
    std::unique_ptr<testing::RecordingSound> sound_;
    std::unique_ptr<ApplicationWindow> application_;
    std::unique_ptr<testing::MainFormBench> bench_;
    std::unique_ptr<TForm1> form_;
    std::unique_ptr<TForm2> dialog_;
    testing::RecordingErrorDisplay errorDisplay_;
    std::vector<std::string>& errors_ = errorDisplay_.shown;
};

TEST_F(StoredSettings, OneDamagedValueLosesNothingElseWhenOkIsPressedWithoutAChange) {
    const std::vector<StoredValue> full = FullStore();
    for (const StoredValue& broken : full) {
        // The first account stands beside the damaged second one; any text is a text, so a text value is
        // damaged by a type or by its absence only.
        if (broken.name.back() == '0') {
            continue;
        }
        for (const auto damage :
             {Damage::OtherType, Damage::NotANumber, Damage::Negative, Damage::Huge, Damage::Padded, Damage::Missing}) {
            if (broken.kind == Kind::Text && damage != Damage::OtherType && damage != Damage::Missing) {
                continue;
            }
            // Every text a word or a UID cannot be takes the same way here (the unit tests go through the forms),
            // and each start costs seconds under Wine.
            const bool word = broken.kind == Kind::Word || broken.kind == Kind::Uid;
            if (word && (damage == Damage::Huge || damage == Damage::Padded)) {
                continue;
            }
            const std::string context = broken.name + " " + DamageName(damage);
            Store(full);
            Damage(broken.name, damage);
            const std::optional<std::string> damaged = Stored(broken.name);
            errors_.clear();
            Start();
            const bool listLost = broken.kind == Kind::List && damage == Damage::Missing;
            EXPECT_EQ(dialog_->AccountCount(), listLost ? 0 : 2) << context;
            PressOk();
            Stop();

            const Outcome outcome = Expected(broken, damage);
            const std::vector<std::string> report = {"Invalid data type for '" + broken.name + "'"};
            EXPECT_EQ(errors_, outcome.reported ? report : std::vector<std::string>{}) << context;
            EXPECT_EQ(Stored(broken.name), outcome.stored ? outcome.stored : damaged) << context;
            for (const StoredValue& other : full) {
                if (other.name != broken.name) {
                    EXPECT_EQ(Stored(other.name), other.text) << context << ": " << other.name;
                }
            }
        }
    }
}

TEST_F(StoredSettings, SeveralDamagedValuesAreReportedInOneBoxAtTheStart) {
    Store(FullStore());
    Damage("log1", Damage::OtherType);
    Damage("timer", Damage::NotANumber);
    Damage("lang", Damage::OtherType);
    Damage("infoconect", Damage::OtherType);
    Start();
    EXPECT_EQ(errors_, std::vector<std::string>{"Invalid data type for 'lang'\n"
                                                "Invalid data type for 'timer'\n"
                                                "Invalid data type for 'infoconect'\n"
                                                "Invalid data type for 'log1'"});
}

TEST_F(StoredSettings, SettingsStoredBeforeProtocolsExistedLoadAndSaveAsTheyWere) {
    std::vector<StoredValue> old;
    for (StoredValue value : FullStore()) {
        if (value.kind == Kind::Word || value.kind == Kind::Uid) {
            continue;
        }
        if (value.name == "port0") {
            value.text = "110";
        }
        old.push_back(value);
    }
    Store(old);
    const auto before = RawValues();
    Start();
    ASSERT_EQ(dialog_->AccountCount(), 2);
    const Account plain = dialog_->AccountAt(0);
    const Account overTls = dialog_->AccountAt(1);
    EXPECT_EQ(plain.protocol, "pop3");
    EXPECT_EQ(plain.security, "none");
    EXPECT_EQ(overTls.protocol, "pop3");
    EXPECT_EQ(overTls.security, "tls");
    PressOk();
    Stop();
    EXPECT_TRUE(errors_.empty());

    std::map<std::string, std::string> added;
    for (const auto& [name, value] : RawValues()) {
        const auto earlier = before.find(name);
        if (earlier == before.end()) {
            added[name] = *Stored(name);
        } else {
            EXPECT_EQ(value, earlier->second) << name << " is byte for byte as before";
        }
    }
    EXPECT_EQ(added, (std::map<std::string, std::string>{
                         {"proto0", "pop3"}, {"proto1", "pop3"}, {"security0", "none"}, {"security1", "tls"}}));
}

TEST_F(StoredSettings, AnImapRowKeepsItsUidsThroughLoadingAndSaving) {
    Store(FullStore());
    const auto before = RawValues();
    Start();
    ASSERT_EQ(dialog_->AccountCount(), 2);
    const Account imap = dialog_->AccountAt(1);
    EXPECT_EQ(imap.protocol, "imap");
    EXPECT_EQ(imap.security, "starttls");
    EXPECT_EQ(imap.uidnext, "4294967295");
    EXPECT_EQ(imap.uidvalidity, "1700000000");
    PressOk();
    EXPECT_EQ(RawValues(), before);

    dialog_->SetAccountUids(1, "18", "1700000001");
    PressOk();
    Stop();
    EXPECT_EQ(Stored("uidnext1"), "18");
    EXPECT_EQ(Stored("uidvalidity1"), "1700000001");
    EXPECT_EQ(Stored("uidnext0"), std::nullopt) << "a POP3 row keeps no UIDs";
    EXPECT_TRUE(errors_.empty());
}

}  // namespace
}  // namespace pigeonet
