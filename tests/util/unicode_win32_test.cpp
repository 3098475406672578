#include "util/unicode_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace pigeonet {
namespace {

TEST(WidenForeign, KeepsValidUtf8AndReadsOtherBytesInTheAnsiCodePage) {
    const struct {
        std::string bytes;
        std::wstring expected;
    } utf8Cases[] = {
        {"", L""},
        {"-ERR mailbox locked", L"-ERR mailbox locked"},
        {"\xd0\x9e\xd1\x88\xd0\xb8\xd0\xb1\xd0\xba\xd0\xb0", L"\x041e\x0448\x0438\x0431\x043a\x0430"},
    };
    for (const auto& c : utf8Cases) {
        EXPECT_EQ(WidenForeign(c.bytes), c.expected) << c.bytes;
    }

    if (GetACP() == CP_UTF8) {
        GTEST_SKIP() << "the ANSI code page is UTF-8 here";
    }
    // "Ошибка" in an 8-bit Cyrillic code page: not UTF-8, so no replacement marks, one character per byte.
    const std::wstring wide = WidenForeign("\xce\xf8\xe8\xe1\xea\xe0");
    EXPECT_EQ(wide.size(), 6u);
    EXPECT_EQ(wide.find(L'\xfffd'), std::wstring::npos);
}

}  // namespace
}  // namespace pigeonet
