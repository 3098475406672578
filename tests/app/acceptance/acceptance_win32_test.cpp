// Acceptance scenarios: the real pigeonet.exe, started as a user starts it, against a private Dovecot and the
// scripted fake POP3 server. Everything checked here is what a user or another program can see: registry values,
// windows with their positions and texts, the screen's pixels, processes and exit codes, the server's log and the
// bytes it received.
//
// tools/acceptance/acceptance.sh starts the servers and hands them over in the environment:
//   PIGEONET_DOVECOT_PORT, PIGEONET_DOVECOT_DIR   Dovecot with the accounts fresh, steady, arrive, second
//                                                 (password "secret"), each Maildir empty
//   PIGEONET_DOVECOT_IMAP_PORT                    the same Dovecot's IMAP listener, with the account reader
//   PIGEONET_FAKE_PORT, PIGEONET_FAKE_RECORD      the fake server, answering STAT with "-ERR mailbox is locked",
//                                                 and the file holding every byte it received
#include "acceptance/support/scenario_win32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace pigeonet {
namespace {

using namespace std::chrono_literals;
using namespace testing;

// --- scenarios: announcements
// -----------------------------------------------------------------------------------------------------

TEST(Acceptance, AFreshStartCreatesTheStoreAndTheFirstRoundStoresTheCount) {
    testing::ForgetSettings();
    {
        ProgramUnderTest program;
        ASSERT_NE(WaitForMainWindow(program), nullptr);
        EXPECT_TRUE(WaitUntil([] { return KeyExists(L"Software\\Zelvik"); }, 10s))
            << "HKCU\\Software\\Zelvik exists after the first start";
        EXPECT_EQ(program.WaitForExit(1s), -1) << "the program stays resident";
        Exit(program);
    }
    // A new account, never checked: no count stored yet. Its empty mailbox is counted and the count is stored.
    SetStore(StoreWith({{"fresh@localhost", "fresh", DovecotPort(), std::nullopt}}));
    ProgramUnderTest program;
    const HWND mainWindow = WaitForMainWindow(program);
    ASSERT_NE(mainWindow, nullptr);
    EXPECT_TRUE(WaitUntil([] { return Stored(L"count0") == "0"; }, 20s))
        << "count0 holds " << Stored(L"count0").value_or("(absent)");
    // Dovecot's log process writes the logout line on its own time, possibly after the count is stored.
    EXPECT_TRUE(WaitUntil([] { return LoggedOutSessions("fresh") == 1; }, 20s))
        << "the probe ended its session with QUIT; logouts seen: " << LoggedOutSessions("fresh");
    EXPECT_FALSE(EnvelopeOnScreen(mainWindow)) << "a count of 0 is never announced";
    Exit(program);
}

TEST(Acceptance, ARestartWithAnUnchangedMailboxAnnouncesNothing) {
    Deliver("steady", 2);
    // The count the previous run stored.
    SetStore(StoreWith({{"steady@localhost", "steady", DovecotPort(), "2"}}));
    const int sessionsBefore = LoggedOutSessions("steady");
    ProgramUnderTest program;
    const HWND mainWindow = WaitForMainWindow(program);
    ASSERT_NE(mainWindow, nullptr);
    bool rose = false;
    // Watch the whole round (it ends with the server logging the QUIT) and a while after it.
    const bool roundEnded = WaitUntil(
        [&] {
            rose = rose || EnvelopeOnScreen(mainWindow);
            return LoggedOutSessions("steady") > sessionsBefore;
        },
        20s);
    EXPECT_TRUE(roundEnded) << "the round checked the mailbox";
    WaitUntil(
        [&] {
            rose = rose || EnvelopeOnScreen(mainWindow);
            return false;
        },
        3s);
    EXPECT_FALSE(rose) << "the envelope never rose";
    EXPECT_EQ(FrameOf(mainWindow).top, ScreenHeight()) << "the main window stays parked below the screen";
    EXPECT_EQ(Stored(L"count0"), "2");
    Exit(program);
}

TEST(Acceptance, AMessageDeliveredBetweenStartsIsAnnouncedAndItsCountStored) {
    Deliver("arrive", 2);
    SetStore(StoreWith({{"arrive@localhost", "arrive", DovecotPort(), "2"}}));
    {
        // The run before: nothing new.
        ProgramUnderTest program;
        ASSERT_NE(WaitForMainWindow(program), nullptr);
        ASSERT_TRUE(WaitUntil([] { return LoggedOutSessions("arrive") == 1; }, 20s));
        Exit(program);
    }
    Deliver("arrive", 1);
    const std::vector<COLORREF> emptyCorner = RestingPlacePixels();
    ProgramUnderTest program;
    const HWND mainWindow = WaitForMainWindow(program);
    ASSERT_NE(mainWindow, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return EnvelopeAtRest(mainWindow); }, 30s))
        << "the envelope rises to (" << ScreenWidth() - kEnvelopeSize << ", " << ScreenHeight() - kEnvelopeRise
        << "); it stands at (" << FrameOf(mainWindow).left << ", " << FrameOf(mainWindow).top << ")";
    const int drawn = ChangedPixels(emptyCorner, RestingPlacePixels());
    // The picture is translucent and its corners transparent: a good part of the corner changes, not all of it.
    EXPECT_GT(drawn, static_cast<int>(emptyCorner.size() / 4))
        << "the envelope is drawn: " << drawn << " of " << emptyCorner.size() << " sampled pixels changed";
    EXPECT_EQ(Stored(L"count0"), "3");
    // After the display time of 3 seconds it sinks back below the screen.
    EXPECT_TRUE(WaitUntil([&] { return FrameOf(mainWindow).top == ScreenHeight(); }, 20s))
        << "the envelope went back down; its top is " << FrameOf(mainWindow).top;
    EXPECT_TRUE(WaitUntil([&] { return ChangedPixels(emptyCorner, RestingPlacePixels()) == 0; }, 5s))
        << "the corner looks as before: " << ChangedPixels(emptyCorner, RestingPlacePixels()) << " pixels differ";
    Exit(program);
}

TEST(Acceptance, AnUnreachableAccountIsSkippedAndTheChangedOneAfterItIsAnnounced) {
    Deliver("second", 1);
    SetStore(StoreWith(
        {{"gone@localhost", "gone", RefusedPort(), "7"}, {"second@localhost", "second", DovecotPort(), "0"}}));
    ProgramUnderTest program;
    const HWND mainWindow = WaitForMainWindow(program);
    ASSERT_NE(mainWindow, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return EnvelopeAtRest(mainWindow); }, 30s))
        << "the envelope rises for the second account; it stands at (" << FrameOf(mainWindow).left << ", "
        << FrameOf(mainWindow).top << ")";
    EXPECT_EQ(Stored(L"count1"), "1");
    EXPECT_EQ(Stored(L"count0"), "7") << "the unreachable account keeps its count";
    EXPECT_EQ(ErrorBox(program.ProcessId()), nullptr) << "the unreachable account is skipped silently";
    Exit(program);
}

TEST(Acceptance, AStatFailureShowsItsMessageBoxAndTheProgramKeepsRunning) {
    SetStore(StoreWith({{"locked@localhost", "locked", Environment("PIGEONET_FAKE_PORT"), "0"}}));
    ProgramUnderTest program;
    const HWND mainWindow = WaitForMainWindow(program);
    ASSERT_NE(mainWindow, nullptr);
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = ErrorBox(program.ProcessId())) != nullptr; }, 30s))
        << "a message box captioned Pigeonet, owned by the application window";
    EXPECT_NE(BoxText(box).find("mailbox is locked"), std::string::npos) << "box text: " << BoxText(box);
    const std::string wire = ReadFile(WinePath(Environment("PIGEONET_FAKE_RECORD")));
    EXPECT_EQ(wire.rfind("USER locked\r\nPASS secret\r\nSTAT\r\n", 0), 0u) << "the client sent: " << wire;
    EXPECT_EQ(Stored(L"count0"), "0") << "a failed count is not stored";
    EXPECT_TRUE(program.Running()) << "the program runs while the box is up";

    const HWND ok = ButtonLabelled(box, "OK");
    ASSERT_NE(ok, nullptr);
    Press(ok);
    EXPECT_TRUE(WaitUntil([&] { return ErrorBox(program.ProcessId()) == nullptr; }, 10s)) << "OK closes the box";
    EXPECT_EQ(program.WaitForExit(2s), -1) << "the program keeps running after the box";
    // And it still answers its tray menu.
    const SettingsControls settings = OpenSettings(program, mainWindow);
    EXPECT_NE(settings.dialog, nullptr) << "the settings dialog opens after the failure";
    if (settings.ok) {
        Press(settings.ok);
    }
    Exit(program);
}

// One line per scenario and a count at the end, after gtest's own report.
class ScenarioSummary : public ::testing::EmptyTestEventListener {
  public:
    // "ASecondStartEndsWithExitCode0" reads "a second start ends with exit code 0".
    static std::string Sentence(const std::string& name) {
        std::string sentence;
        for (char c : name) {
            const bool upper = c >= 'A' && c <= 'Z';
            const bool digit = c >= '0' && c <= '9';
            if ((upper || digit) && !sentence.empty()) {
                sentence += ' ';
            }
            sentence += upper ? static_cast<char>(c - 'A' + 'a') : c;
        }
        return sentence;
    }

    void OnTestEnd(const ::testing::TestInfo& test) override {
        lines_.push_back(std::string(test.result()->Passed() ? "PASS  " : "FAIL  ") + Sentence(test.name()));
        (test.result()->Passed() ? passed_ : failed_)++;
    }
    void OnTestProgramEnd(const ::testing::UnitTest&) override {
        std::printf("\nacceptance scenarios:\n");
        for (const std::string& line : lines_) {
            std::printf("  %s\n", line.c_str());
        }
        std::printf("%d passed, %d failed\n", passed_, failed_);
        std::fflush(stdout);
    }

  private:
    std::vector<std::string> lines_;
    int passed_ = 0;
    int failed_ = 0;
};

}  // namespace
}  // namespace pigeonet

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (std::getenv("PIGEONET_DOVECOT_PORT") == nullptr || std::getenv("PIGEONET_FAKE_PORT") == nullptr) {
        std::fprintf(stderr, "run through tools/acceptance/acceptance.sh, which starts the servers\n");
        return 2;
    }
    ::testing::UnitTest::GetInstance()->listeners().Append(new pigeonet::ScenarioSummary);
    return RUN_ALL_TESTS();
}
