#include "settings/settings_dialog_rules.h"

#include <gtest/gtest.h>

#include <ostream>

namespace pigeonet {
namespace {

TEST(SettingsDialogRules, ShowsAccountButtonsOnlyOnTheAccountTab) {
    EXPECT_FALSE(AccountButtonsVisible(0));
    EXPECT_TRUE(AccountButtonsVisible(1));
    EXPECT_FALSE(AccountButtonsVisible(2));
    EXPECT_FALSE(AccountButtonsVisible(-1));
}

struct DisplayTimeCase {
    const char* text;
    int value;
};

void PrintTo(const DisplayTimeCase& c, std::ostream* os) {
    *os << "\"" << c.text << "\" reads " << c.value;
}

class DisplayTimeCases : public ::testing::TestWithParam<DisplayTimeCase> {};

TEST_P(DisplayTimeCases, ReadsTheFieldText) {
    EXPECT_EQ(DisplayTimeFromText(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts,
                         DisplayTimeCases,
                         ::testing::Values(DisplayTimeCase{"8", 8},
                                           DisplayTimeCase{"3", 3},
                                           DisplayTimeCase{"60", 60},
                                           DisplayTimeCase{"", 3},
                                           DisplayTimeCase{"abc", 3},
                                           DisplayTimeCase{"100", 60},
                                           DisplayTimeCase{"1", 3},
                                           DisplayTimeCase{"-5", 3},
                                           DisplayTimeCase{" 12", 12}));

TEST(SettingsDialogRules, CaptionsTheEditorAfterTheButton) {
    EXPECT_EQ(AccountEditorCaption("Добавить"), "Добавить E-mail");
    EXPECT_EQ(AccountEditorCaption("Edit"), "Edit E-mail");
    EXPECT_EQ(AccountEditorCaption(""), " E-mail");
}

TEST(SettingsDialogRules, PlacesWindowsNearTheBottomRightCorner) {
    EXPECT_EQ(NearBottomRight(1024, 768, 480, 310, 20, 50), (WindowOrigin{524, 408}));
    EXPECT_EQ(NearBottomRight(1024, 768, 336, 285, 100, 150), (WindowOrigin{588, 333}));
}

}  // namespace
}  // namespace pigeonet
