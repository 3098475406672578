#include "app/menu_commands.h"

#include <gtest/gtest.h>

namespace pigeonet {
namespace {

TEST(IsWebMailTarget, TakesOnlyExactlyLowerOrUpperCaseHttpColon) {
    const std::pair<const char*, bool> cases[] = {
        {"http://mail.example.org", true},
        {"HTTP://MAIL.EXAMPLE.ORG", true},
        {"Http://mail.example.org", false},
        {"https://mail.example.org", false},
        {"http:", true},
        {"http", false},
        {"msimn.exe", false},
        {"", false},
    };
    for (const auto& [target, web] : cases) {
        EXPECT_EQ(IsWebMailTarget(target), web) << target;
    }
}

TEST(AutostartMarked, FindsPgAnywhereOrThisExecutablesPath) {
    const char* self = "C:\\Program Files\\Pigeonet\\pigeonet.exe";
    const struct {
        const char* runValue;
        bool marked;
    } cases[] = {
        {"C:\\Tools\\pg.exe", true},
        {"C:\\Program Files\\Pigeonet\\pigeonet.exe", true},
        {"c:\\program files\\pigeonet\\PIGEONET.EXE", true},
        {"\"C:\\Program Files\\Pigeonet\\pigeonet.exe\"", true},
        {"C:\\Tools\\PG.EXE", false},
        {"C:\\Other\\pigeonet.exe", false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AutostartMarked(c.runValue, self), c.marked) << c.runValue;
    }
    EXPECT_FALSE(AutostartMarked("", ""));
}

}  // namespace
}  // namespace pigeonet
