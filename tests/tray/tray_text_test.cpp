#include "tray/tray_text.h"

#include <gtest/gtest.h>

#include <string>

namespace pigeonet {
namespace {

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

struct CutCase {
    std::string text;
    std::size_t maxUnits;
    std::u16string expected;
};

TEST(CutToUtf16Units, KeepsAtMostTheGivenUnitsAndNeverHalfASurrogatePair) {
    const std::string pigeon = "\xF0\x9F\x90\xA6";  // U+1F426, two UTF-16 units
    const CutCase cases[] = {
        {"", 127, u""},
        {"Pigeonet", 127, u"Pigeonet"},
        {Repeat("a", 127), 127, std::u16string(127, u'a')},
        {Repeat("a", 200), 127, std::u16string(127, u'a')},
        {"Pigeonet\r"
         "a@b.c - 3",
         127, u"Pigeonet\ra@b.c - 3"},
        {"\xD0\x9F\xD0\xBE", 1, u"\u041F"},
        {Repeat("\xD0\x96", 300), 255, std::u16string(255, u'\u0416')},
        {Repeat("a", 126) + pigeon, 127, std::u16string(126, u'a')},
        {Repeat("a", 125) + pigeon, 127, std::u16string(125, u'a') + u"\U0001F426"},
        {pigeon + "b", 2, u"\U0001F426"},
        {pigeon, 1, u""},
        {"a\xFF"
         "b",
         127, u"a\uFFFDb"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CutToUtf16Units(c.text, c.maxUnits), c.expected) << c.text.size() << " bytes to " << c.maxUnits;
    }
}

TEST(ClampIconIndex, ClampsPastTheEndToTheLastImage) {
    const struct {
        int requested, count, expected;
    } cases[] = {
        {0, 2, 0}, {1, 2, 1}, {2, 2, 1}, {5, 2, 1}, {-1, 2, 0}, {0, 0, 0}, {3, 0, 0}, {7, 1, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClampIconIndex(c.requested, c.count), c.expected) << c.requested << " of " << c.count;
    }
}

TEST(NextCycleIndex, MovesOnAndWrapsAfterTheLastImage) {
    const struct {
        int current, count, expected;
    } cases[] = {
        {0, 2, 1}, {1, 2, 0}, {0, 3, 1}, {2, 3, 0}, {0, 1, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NextCycleIndex(c.current, c.count), c.expected) << c.current << " of " << c.count;
    }
}

using Action = TrayMouseAction;
constexpr std::uint32_t kMove = 0x200, kLeftDown = 0x201, kLeftUp = 0x202, kDouble = 0x203, kRightDown = 0x204,
                        kRightUp = 0x205, kMiddleDown = 0x207, kMiddleUp = 0x208, kBalloonClick = 0x405;

struct MouseCase {
    const char* name;
    std::vector<std::uint32_t> messages;
    std::vector<Action> expected;
};

TEST(TrayMouseInput, TurnsMouseMessagesIntoActions) {
    const MouseCase cases[] = {
        {"click", {kLeftDown, kLeftUp}, {Action::None, Action::Click}},
        {"release without press", {kLeftUp}, {Action::None}},
        {"double click",
         {kLeftDown, kLeftUp, kDouble, kLeftUp},
         {Action::None, Action::Click, Action::RunDefaultItem, Action::None}},
        {"double click then click",
         {kLeftDown, kLeftUp, kDouble, kLeftUp, kLeftDown, kLeftUp},
         {Action::None, Action::Click, Action::RunDefaultItem, Action::None, Action::None, Action::Click}},
        {"moves between press and release",
         {kLeftDown, kMove, kMove, kLeftUp},
         {Action::None, Action::None, Action::None, Action::Click}},
        {"right press opens the menu, release does nothing", {kRightDown, kRightUp}, {Action::OpenMenu, Action::None}},
        {"middle button and balloon notices",
         {kMiddleDown, kMiddleUp, kBalloonClick},
         {Action::None, Action::None, Action::None}},
        {"right press keeps the arming",
         {kLeftDown, kRightDown, kLeftUp},
         {Action::None, Action::OpenMenu, Action::Click}},
    };
    for (const auto& c : cases) {
        TrayMouseInput input;
        std::vector<Action> actions;
        for (auto message : c.messages) {
            actions.push_back(input.Handle(message, true));
        }
        EXPECT_EQ(actions, c.expected) << c.name;
    }
}

TEST(TrayMouseInput, IgnoresEverythingWhileDisabled) {
    TrayMouseInput input;
    for (auto message : {kLeftDown, kLeftUp, kDouble, kRightDown}) {
        EXPECT_EQ(input.Handle(message, false), Action::None);
    }
    EXPECT_FALSE(input.Armed());

    // A press while enabled stays armed through disabled messages, which do not consume it.
    EXPECT_EQ(input.Handle(kLeftDown, true), Action::None);
    EXPECT_EQ(input.Handle(kLeftUp, false), Action::None);
    EXPECT_TRUE(input.Armed());
    EXPECT_EQ(input.Handle(kLeftUp, true), Action::Click);
}

}  // namespace
}  // namespace pigeonet
