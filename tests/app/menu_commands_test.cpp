#include "app/menu_commands.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace pigeonet {
namespace {

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

TEST(AutostartCommand, QuotesAPathWithABlankAndTheMarkKnowsBothForms) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Tools\\pigeonet.exe", "C:\\Tools\\pigeonet.exe"},
        {"C:\\Program Files\\Pigeonet\\pigeonet.exe", "\"C:\\Program Files\\Pigeonet\\pigeonet.exe\""},
    };
    for (const auto& [path, command] : cases) {
        EXPECT_EQ(AutostartCommand(path), command);
        EXPECT_TRUE(AutostartMarked(AutostartCommand(path), path)) << path;
    }
}

TEST(ProgramCommandLine, QuotesTheLongestPrefixThatIsAFileAndNeverAShorterOne) {
    const std::set<std::string> files = {
        "C:\\Program.exe",
        "C:\\Program",
        "C:\\Program Files\\Mail\\mail.exe",
        "C:\\Program Files\\My Mail\\mail app.exe",
        "C:\\Tools\\mail.exe",
    };
    const FileTest isFile = [&](const std::string& path) { return files.count(path) > 0; };
    const struct {
        const char* line;
        ProgramStart started;
    } cases[] = {
        {"C:\\Program Files\\Mail\\mail.exe -mail",
         {"C:\\Program Files\\Mail\\mail.exe", "\"C:\\Program Files\\Mail\\mail.exe\" -mail"}},
        {"C:\\Program Files\\Mail\\mail.exe",
         {"C:\\Program Files\\Mail\\mail.exe", "\"C:\\Program Files\\Mail\\mail.exe\""}},
        {"C:\\Program Files\\My Mail\\mail app.exe  /a b",
         {"C:\\Program Files\\My Mail\\mail app.exe", "\"C:\\Program Files\\My Mail\\mail app.exe\"  /a b"}},
        {"  C:\\Program Files\\Mail\\mail.exe\t-x",
         {"C:\\Program Files\\Mail\\mail.exe", "\"C:\\Program Files\\Mail\\mail.exe\"\t-x"}},
        {"C:\\Tools\\mail.exe -x", {"C:\\Tools\\mail.exe", "\"C:\\Tools\\mail.exe\" -x"}},
        // The program is not there: neither "C:\Program" nor "C:\Program.exe" is started in its place.
        {"C:\\Program Files\\Gone\\mail.exe -mail",
         {"C:\\Program Files\\Gone\\mail.exe -mail", "\"C:\\Program Files\\Gone\\mail.exe -mail\""}},
        // A program found on the search path.
        {"msimn.exe /mailurl:1", {"", "\"msimn.exe\" /mailurl:1"}},
        {"notepad.exe C:\\mail\\inbox.txt", {"", "\"notepad.exe\" C:\\mail\\inbox.txt"}},
        // Nothing shorter to try: left as typed.
        {"msimn.exe", {"", "msimn.exe"}},
        {"C:\\Tools\\mail.exe", {"", "C:\\Tools\\mail.exe"}},
        {"\"C:\\Program Files\\Mail\\mail.exe\" -mail", {"", "\"C:\\Program Files\\Mail\\mail.exe\" -mail"}},
        {"", {"", ""}},
    };
    for (const auto& [line, started] : cases) {
        const ProgramStart start = ProgramCommandLine(line, isFile);
        EXPECT_EQ(start.program, started.program) << line;
        EXPECT_EQ(start.commandLine, started.commandLine) << line;
    }
}

}  // namespace
}  // namespace pigeonet
