#include "i18n/translation_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace pigeonet {
namespace {

struct SubStrCase {
    const char* text;
    std::int64_t n;
    const char* expected;
};

TEST(GetSubStr, FollowsTheFieldWalkLiterally) {
    const SubStrCase cases[] = {
        // A run of separators between two fields counts as one.
        {"a;;b;", 2, "b"},
        {"a;;;b;c", 3, "c"},
        // Without a final separator the last field comes back for every larger n.
        {"a;b", 5, "b"},
        {"a;b", 2, "b"},
        {"a;b", std::numeric_limits<std::int64_t>::max(), "b"},
        {"abc", 3, "abc"},
        // With a final separator, past the last field is empty.
        {"a;b;", 3, ""},
        {"a;b;", 100, ""},
        // A separator at the very start gives an empty first field, and the run is skipped for the second.
        {";a;", 1, ""},
        {";a;", 2, "a"},
        {";;a;", 2, "a"},
        // n of 1 or less is the first field.
        {"a;b;", 1, "a"},
        {"a;b;", 0, "a"},
        {"a;b;", -7, "a"},
        {"", 1, ""},
        {"", 3, ""},
        {";", 2, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetSubStr(c.text, ';', c.n), c.expected) << "'" << c.text << "' n=" << c.n;
    }
}

TEST(GetSubStr, FindsNoFourthFieldOnAnyLineOfTheTable) {
    for (std::size_t line = 0; line < tLang.size(); ++line) {
        EXPECT_EQ(GetSubStr(tLang[line], ';', 4), "") << "line " << line;
        EXPECT_NE(GetSubStr(tLang[line], ';', 3), "") << "line " << line;
    }
}

// A line left out of the table's initializer is an empty text and fails here.
TEST(TLang, HasThreeTerminatedFieldsOnEveryLine) {
    for (std::size_t line = 0; line < tLang.size(); ++line) {
        EXPECT_EQ(std::count(tLang[line].begin(), tLang[line].end(), ';'), 3) << "line " << line;
        EXPECT_TRUE(tLang[line].ends_with(';')) << "line " << line;
    }
}

TEST(TLang, HoldsTheTextsAsUtf8) {
    // "Выход" spelled byte by byte, so a source read in another charset cannot pass unnoticed.
    EXPECT_EQ(GetSubStr(tLang[0], ';', 1), "\xD0\x92\xD1\x8B\xD1\x85\xD0\xBE\xD0\xB4");
    EXPECT_EQ(tLang[13], "\xD0\xBC\xD0\xB8\xD0\xBD.;min.;min.;");
}

TEST(TLang, KeepsItsTextsAsWritten) {
    const std::pair<std::size_t, const char*> cases[] = {
        {0, "Выход;Close;Beenden;"},
        {6,
         "система уведомлений о поступившей почте;notification of incoming mail;Benachrichtigung über eingehende "
         "Post;"},
        {9,
         "файл или адрес (http://) для чтения почты;file or address (http://) for reading mail;Datei oder Adresse "
         "(http://) zum Lesen der Post;"},
        {27, "без звукового сигнала;without the beep;lautlos;"},
        {30, "Подключение к e-mail выполнено!;Connected to e-mail!;Mit dem Postfach verbunden!;"},
        {31, "Проверить почту;Check your mail;E-Mails abrufen;"},
        {35, "Проверить;Test;Testen;"},
        {39, "Ошибка: %s;Failed: %s;Fehlgeschlagen: %s;"},
    };
    for (const auto& [line, text] : cases) {
        EXPECT_EQ(tLang[line], text) << "line " << line;
    }
}

TEST(NoSoundEntry, BracketsTheStoredLanguagesNoSoundText) {
    const std::pair<std::int32_t, const char*> cases[] = {
        {0, "(без звукового сигнала)"},
        {1, "(without the beep)"},
        {2, "(lautlos)"},
        {3, "()"},
        {7, "()"},
        {-1, "(без звукового сигнала)"},
        {std::numeric_limits<std::int32_t>::max(), "()"},
        {std::numeric_limits<std::int32_t>::min(), "(без звукового сигнала)"},
    };
    for (const auto& [stored, expected] : cases) {
        EXPECT_EQ(NoSoundEntry(stored), expected) << "lang " << stored;
    }
}

}  // namespace
}  // namespace pigeonet
