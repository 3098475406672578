// Acceptance scenarios of what is announced: the real pigeonet.exe against a scripted POP3 server in this process,
// whose STAT answer each scenario chooses.
#include "acceptance/support/scenario_win32.h"

#include "scripted-server/pop3_steps.h"
#include "scripted-server/scripted_server.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

namespace pigeonet {
namespace {

using namespace std::chrono_literals;
using namespace testing;

// Starts the program over a store whose one account last counted `stored` and whose server now says `count`;
// true when the envelope rose during the first round or in the seconds after it.
bool EnvelopeRoseFor(const std::string& stored, int count, std::optional<std::string> onlyNew) {
    scripted::ScriptedServer server(scripted::LoginThenStat("+OK " + std::to_string(count) + " 100\r\n"));
    auto values = StoreWith({{"box@localhost", "box", std::to_string(server.port()), stored}});
    if (onlyNew) {
        values[L"onlynew"] = *onlyNew;
    }
    SetStore(values);
    ProgramUnderTest program;
    const HWND mainWindow = WaitForMainWindow(program);
    EXPECT_NE(mainWindow, nullptr);
    if (!mainWindow) {
        return false;
    }
    bool rose = false;
    const std::string counted = std::to_string(count);
    const bool checked = WaitUntil(
        [&] {
            rose = rose || EnvelopeOnScreen(mainWindow);
            return Stored(L"count0") == counted;
        },
        20s);
    EXPECT_TRUE(checked) << "count0 holds " << Stored(L"count0").value_or("(absent)");
    WaitUntil(
        [&] {
            rose = rose || EnvelopeOnScreen(mainWindow);
            return rose;
        },
        5s);
    Exit(program);
    return rose;
}

TEST(Acceptance, AFallingCountRaisesNothingUnlessEveryChangeIsAskedForAndARiseAlwaysDoes) {
    EXPECT_FALSE(EnvelopeRoseFor("7", 2, std::nullopt)) << "7 to 2, onlynew absent";
    EXPECT_TRUE(EnvelopeRoseFor("7", 2, "0")) << "7 to 2, onlynew 0";
    EXPECT_TRUE(EnvelopeRoseFor("2", 7, std::nullopt)) << "2 to 7, onlynew absent";
    EXPECT_TRUE(EnvelopeRoseFor("2", 7, "0")) << "2 to 7, onlynew 0";
}

}  // namespace
}  // namespace pigeonet
