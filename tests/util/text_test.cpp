#include "util/errors.h"
#include "util/text.h"

#include <gtest/gtest.h>

#include <optional>

namespace pigeonet {
namespace {

struct ReplaceCase {
    const char* text;
    const char* find;
    const char* replacement;
    const char* expected;
};

TEST(ReplaceAll, ReplacesLeftToRightWithoutRescanningInsertedText) {
    const ReplaceCase cases[] = {
        {"a-b-c", "-", "+", "a+b+c"},
        {"aaa", "a", "aa", "aaaaaa"},
        {"abc", "", "x", "abc"},
        {"Fonts", "Fonts", "Media", "Media"},
        {"C:\\Windows\\Fonts\\", "Fonts", "Media", "C:\\Windows\\Media\\"},
        {"FONTS", "Fonts", "Media", "FONTS"},
        {"aaaa", "aa", "b", "bb"},
        {"", "a", "b", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReplaceAll(c.text, c.find, c.replacement), c.expected) << c.text << " / " << c.find;
    }
}

TEST(AsciiLower, FoldsOnlyAsciiLetters) {
    const struct {
        const char* text;
        const char* lower;
        const char* equalIgnoringCase;
        bool equal;
    } cases[] = {
        {"LOCALHOST", "localhost", "localhost", true},
        {"C:\\Program Files\\PG.EXE", "c:\\program files\\pg.exe", "c:\\PROGRAM files\\pg.exe", true},
        {"+Ok -ERR @[`{", "+ok -err @[`{", "+OK -err @[`{", true},
        {"\xC0\xC9\xD0\x9F", "\xC0\xC9\xD0\x9F", "\xE0\xE9\xD0\xBF", false},  // Latin-1 and UTF-8 stay
        {"abc", "abc", "abcd", false},
        {"", "", "", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AsciiLower(c.text), c.lower) << c.text;
        EXPECT_EQ(EqualsIgnoringAsciiCase(c.text, c.equalIgnoringCase), c.equal) << c.text;
    }
}

TEST(ParseInt32, AcceptsBlanksSignsDecimalAndHexadecimal) {
    const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
        {"110", 110},
        {"-1", -1},
        {"  42", 42},
        {"+7", 7},
        {"$1F", 31},
        {"0x10", 16},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"5 ", std::nullopt},
        {" ", std::nullopt},
        {"-", std::nullopt},
        {"$", std::nullopt},
        {"1.5", std::nullopt},
        {"\t5", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ParseInt32(text), expected) << "'" << text << "'";
    }
}

TEST(StrToInt, FailsWithTheTextInTheMessage) {
    try {
        StrToInt("x1");
        FAIL() << "no failure";
    } catch (const AppError& error) {
        EXPECT_STREQ(error.what(), "'x1' is not a valid integer value");
    }
    EXPECT_EQ(StrToIntDef("", 9), 9);
}

TEST(ErrorDisplayText, AppendsAFullStopOnlyAfterCharactersAboveIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"Read Timeout", "Read Timeout."},
        {"Connection Closed Gracefully.", "Connection Closed Gracefully."},
        {"", ""},
        {"-ERR bad password\r\n", "-ERR bad password\r\n"},
        {"count 5", "count 5."},
        {"ends with -", "ends with -"},
        {"ends with /", "ends with /."},
        {"\xd0\xbe\xd1\x88\xd0\xb8\xd0\xb1\xd0\xba\xd0\xb0", "\xd0\xbe\xd1\x88\xd0\xb8\xd0\xb1\xd0\xba\xd0\xb0."},
    };
    for (const auto& [message, expected] : cases) {
        EXPECT_EQ(ErrorDisplayText(message), expected) << message;
    }
}

}  // namespace
}  // namespace pigeonet
