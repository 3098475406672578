#include "util/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pigeonet {
namespace {

// The code points DecodeUtf8 steps through, 0 standing for an invalid byte; CountCodePoints counts as many.
struct DecodeCase {
    std::string text;
    std::vector<char32_t> codes;
};

std::vector<char32_t> Decoded(const std::string& text) {
    std::vector<char32_t> codes;
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Step step = DecodeUtf8(text, at);
        if (!step.valid) {
            EXPECT_EQ(step.code, U'\uFFFD') << at;
            EXPECT_EQ(step.length, 1u) << at;
        }
        codes.push_back(step.valid ? step.code : 0);
        at += step.length;
    }
    return codes;
}

TEST(DecodeUtf8, TakesEachInvalidByteAloneAsAReplacementCharacter) {
    const DecodeCase cases[] = {
        {"", {}},
        {"a\r\n\x7F", {'a', '\r', '\n', 0x7F}},
        {"\xD0\x9F\xD0\xBE", {0x41F, 0x43E}},
        {"\xC2\x80\xC2\x9B", {0x80, 0x9B}},
        {"\xEF\xBF\xBD", {0xFFFD}},
        {"\xF0\x9F\x90\xA6", {0x1F426}},
        {"\xF4\x8F\xBF\xBF", {0x10FFFF}},
        {"\x9B"
         "a",
         {0, 'a'}},                          // stray continuation byte
        {"\xFF\xFE", {0, 0}},                // never a lead byte
        {"\xC0\xAF", {0, 0}},                // overlong "/"
        {"\xE0\x80\x80", {0, 0, 0}},         // overlong NUL
        {"\xED\xA0\x80", {0, 0, 0}},         // surrogate
        {"\xF4\x90\x80\x80", {0, 0, 0, 0}},  // beyond U+10FFFF
        {"\xF5\x80\x80\x80", {0, 0, 0, 0}},  // lead byte beyond U+10FFFF
        {"\xE2\x82", {0, 0}},                // cut short at the end
        {"\xE2\x82"
         "a\xD0\x9F",
         {0, 0, 'a', 0x41F}},  // cut short by the next character
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Decoded(c.text), c.codes) << testing::PrintToString(c.text);
        EXPECT_EQ(CountCodePoints(c.text), c.codes.size()) << testing::PrintToString(c.text);
    }
}

}  // namespace
}  // namespace pigeonet
