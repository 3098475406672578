#include "util/window_text_win32.h"

#include <gtest/gtest.h>

#include <string>

namespace pigeonet {
namespace {

TEST(WindowTextUtf8, RoundTripsThroughAnEditControlAsUtf16) {
    const HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_POPUP | ES_AUTOHSCROLL, 0, 0, 100, 20, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
    const struct {
        std::string utf8;
        int utf16Length;
    } cases[] = {
        {"", 0},
        {"user@mail.example", 17},
        {"\xd0\x9f\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c:", 7},  // "Пароль:"
        {std::string(5000, 'x') + "\xe2\x82\xac", 5001},
    };
    for (const auto& c : cases) {
        SetWindowTextUtf8(edit, c.utf8);
        EXPECT_EQ(GetWindowTextLengthW(edit), c.utf16Length) << c.utf16Length;
        EXPECT_EQ(WindowTextUtf8(edit), c.utf8) << c.utf16Length;
    }
    DestroyWindow(edit);
}

}  // namespace
}  // namespace pigeonet
