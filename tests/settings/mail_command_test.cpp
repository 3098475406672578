#include "settings/mail_command.h"
#include "util/memory_registry.h"

#include <gtest/gtest.h>

#include <ostream>

namespace pigeonet {
namespace {

struct RegistrationCase {
    const char* registered;
    const char* tempFolder;
    const char* expected;
};

void PrintTo(const RegistrationCase& c, std::ostream* os) {
    *os << "registered \"" << c.registered << "\" with temp \"" << c.tempFolder << "\"";
}

TEST(IsWebMailAddress, TakesHttpAndHttpsInAnyLetterCase) {
    const std::pair<const char*, bool> cases[] = {
        {"http://mail.example.org", true},
        {"HTTP://MAIL.EXAMPLE.ORG", true},
        {"Http://mail.example.org", true},
        {"https://mail.example.org", true},
        {"HttpS://mail.example.org", true},
        {"http:", true},
        {"http", false},
        {"httpx://mail.example.org", false},
        {"C:\\http:\\mail.exe", false},
        {"msimn.exe", false},
        {"", false},
    };
    for (const auto& [target, web] : cases) {
        EXPECT_EQ(IsWebMailAddress(target), web) << target;
    }
}

class MailCommandFromRegistrationCases : public ::testing::TestWithParam<RegistrationCase> {};

TEST_P(MailCommandFromRegistrationCases, GivesTheCommandLine) {
    const RegistrationCase& c = GetParam();
    EXPECT_EQ(MailCommandFromRegistration(c.registered, c.tempFolder), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Registrations,
                         MailCommandFromRegistrationCases,
                         ::testing::Values(
                             // The usual registration names the program through %ProgramFiles%.
                             RegistrationCase{"\"%ProgramFiles%\\Mail\\mail.exe\" /mailurl:%1", "C:\\Users\\u\\Temp\\",
                                              "C:\\Program Files\\Mail\\mail.exe /mailurl:1"},
                             RegistrationCase{"", "C:\\Users\\u\\Temp\\", "C:\\"},
                             RegistrationCase{"", "D:\\T\\", "D:\\"},
                             // Already absolute: no second drive prefix.
                             RegistrationCase{"\"C:\\Program Files\\Mail\\mail.exe\" /mailurl:%1", "D:\\Temp\\",
                                              "C:\\Program Files\\Mail\\mail.exe /mailurl:1"},
                             RegistrationCase{"e:/mail/mail.exe", "C:\\Temp\\", "e:/mail/mail.exe"},
                             RegistrationCase{"\"\\\\server\\share\\mail.exe\" -m", "C:\\Temp\\",
                                              "\\\\server\\share\\mail.exe -m"},
                             // Relative names keep the old rule.
                             RegistrationCase{"mail.exe", "C:\\Temp\\", "C:\\mail.exe"},
                             RegistrationCase{"%SystemRoot%\\mail.exe", "C:\\Temp\\", "C:\\SystemRoot\\mail.exe"},
                             // A temporary folder shorter than a drive root gives what it has.
                             RegistrationCase{"mail.exe", "C:", "C:mail.exe"}));

struct AbsoluteCase {
    const char* path;
    bool absolute;
};

void PrintTo(const AbsoluteCase& c, std::ostream* os) {
    *os << "\"" << c.path << "\" " << (c.absolute ? "absolute" : "relative");
}

class AbsolutePathCases : public ::testing::TestWithParam<AbsoluteCase> {};

TEST_P(AbsolutePathCases, RecognisesDriveLettersAndUncNames) {
    EXPECT_EQ(IsAbsolutePath(GetParam().path), GetParam().absolute) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(Paths,
                         AbsolutePathCases,
                         ::testing::Values(AbsoluteCase{"C:\\x", true},
                                           AbsoluteCase{"z:", true},
                                           AbsoluteCase{"\\\\host\\share", true},
                                           AbsoluteCase{"\\x", false},
                                           AbsoluteCase{"1:\\x", false},
                                           AbsoluteCase{"Program Files", false},
                                           AbsoluteCase{"", false},
                                           AbsoluteCase{"http://mail.example", false}));

class DefaultMailCommandTest : public ::testing::Test {
  protected:
    void Register(const std::string& client, const std::string& command) {
        registry_.CreateKey("SOFTWARE\\Clients\\Mail");
        registry_.WriteText("SOFTWARE\\Clients\\Mail", "", client);
        const std::string key = "SOFTWARE\\Clients\\Mail\\" + client + "\\shell\\open\\command";
        registry_.CreateKey(key);
        registry_.WriteText(key, "", command);
    }

    MemoryRegistry registry_;
};

TEST_F(DefaultMailCommandTest, ReadsTheRegisteredClientsOpenCommand) {
    Register("Mail", "\"%ProgramFiles%\\Mail\\mail.exe\" /mailurl:%1");
    EXPECT_EQ(DefaultMailCommand(registry_, "C:\\Temp\\"), "C:\\Program Files\\Mail\\mail.exe /mailurl:1");
}

TEST_F(DefaultMailCommandTest, GivesTheDriveRootWithoutARegisteredClient) {
    EXPECT_EQ(DefaultMailCommand(registry_, "C:\\Temp\\"), "C:\\");
}

TEST_F(DefaultMailCommandTest, GivesTheDriveRootWhenTheClientHasNoCommand) {
    registry_.CreateKey("SOFTWARE\\Clients\\Mail");
    registry_.WriteText("SOFTWARE\\Clients\\Mail", "", "Gone");
    EXPECT_EQ(DefaultMailCommand(registry_, "C:\\Temp\\"), "C:\\");
}

TEST_F(DefaultMailCommandTest, ReadsAValueOfAnotherTypeAsEmpty) {
    registry_.CreateKey("SOFTWARE\\Clients\\Mail");
    registry_.PutNonText("SOFTWARE\\Clients\\Mail", "");
    EXPECT_EQ(DefaultMailCommand(registry_, "C:\\Temp\\"), "C:\\");
}

TEST_F(DefaultMailCommandTest, KeepsAnAbsoluteRegisteredPath) {
    Register("Mail", "\"C:\\Mail\\mail.exe\" %1");
    EXPECT_EQ(DefaultMailCommand(registry_, "D:\\Temp\\"), "C:\\Mail\\mail.exe 1");
}

}  // namespace
}  // namespace pigeonet
