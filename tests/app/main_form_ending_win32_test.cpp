#include "app/main_form_win32.h"
#include "support/program_under_test_win32.h"
#include "support/watched_mailbox_win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace pigeonet {
namespace {

using namespace std::chrono_literals;
using testing::FindProcessWindow;
using testing::ProgramUnderTest;
using testing::WaitUntil;
using testing::WatchedMailbox;

// Three IMAP accounts on `mailbox`, the interval at its longest, stored as a previous run left them: the start's
// round finds nothing new to announce.
void StoreThreeWatchedAccounts(const WatchedMailbox& mailbox) {
    testing::ForgetSettings();
    std::map<std::wstring, std::wstring> values{{L"list", L"3"}, {L"timer", L"30"}};
    for (int i = 0; i < 3; ++i) {
        const std::wstring n = std::to_wstring(i);
        values[L"email" + n] = L"box" + n + L"@example.org";
        values[L"smtp" + n] = L"127.0.0.1";
        values[L"log" + n] = L"u" + n;
        values[L"pas" + n] = L"p";
        values[L"port" + n] = std::to_wstring(mailbox.port());
        values[L"proto" + n] = L"imap";
        values[L"security" + n] = L"none";
        values[L"count" + n] = L"2";
        values[L"uidnext" + n] = L"6";
        values[L"uidvalidity" + n] = L"1";
    }
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Zelvik\\pg", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    for (const auto& [name, value] : values) {
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
}

// The real program with three watchers idling after its first round; each case asks it to end its own way: it ends
// within a second, its watchers having said LOGOUT.
class ProgramEnding : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(StoreThreeWatchedAccounts(mailbox_));
        program_ = std::make_unique<ProgramUnderTest>();
        ASSERT_TRUE(WaitUntil([&] { return (window_ = FindProcessWindow(program_->ProcessId(), L"TForm1")); }, 30s));
        ASSERT_TRUE(WaitUntil([&] { return mailbox_.Idles() == 3 && mailbox_.Logouts() == 3; }, 30s))
            << "three watchers idle after the first round";
    }
    void ExpectEndWithinASecond(std::chrono::steady_clock::time_point asked, const char* how) {
        const bool ended = program_->WaitForExit(5s) != -1;
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - asked);
        std::printf("%s: the process ended after %lld ms\n", how, static_cast<long long>(took.count()));
        ASSERT_TRUE(ended) << how;
        EXPECT_LT(took, 1000ms) << how;
        EXPECT_EQ(program_->WaitForExit(0ms), 0) << how;
        EXPECT_TRUE(WaitUntil([&] { return mailbox_.Logouts() == 6; }, 2s)) << "the watchers said LOGOUT";
    }
    // What Windows sends every top-level window as a session ends or the Restart Manager closes the program.
    void EndSession(LPARAM reason) {
        const auto asked = std::chrono::steady_clock::now();
        DWORD_PTR answer = 0;
        ASSERT_TRUE(SendMessageTimeoutW(window_, WM_QUERYENDSESSION, 0, reason, SMTO_ABORTIFHUNG, 5000, &answer));
        EXPECT_EQ(answer, TRUE) << "the program lets the session end";
        SendMessageTimeoutW(window_, WM_ENDSESSION, TRUE, reason, SMTO_ABORTIFHUNG, 5000, &answer);
        ExpectEndWithinASecond(asked, reason == ENDSESSION_CLOSEAPP ? "Restart Manager" : "log-off");
    }

    WatchedMailbox mailbox_{false};
    std::unique_ptr<ProgramUnderTest> program_;
    HWND window_ = nullptr;
};

TEST_F(ProgramEnding, ExitWhileThreeWatchersIdleEndsTheProcessWithinASecond) {
    const auto asked = std::chrono::steady_clock::now();
    PostMessageW(window_, WM_COMMAND, kMenuN4, 0);
    ExpectEndWithinASecond(asked, "Exit");
}

TEST_F(ProgramEnding, ACloseRequestFromAnotherProgramEndsItAsExitDoes) {
    const auto asked = std::chrono::steady_clock::now();
    // As an installer finds it: by the class name alone.
    PostMessageW(FindWindowW(L"TForm1", nullptr), WM_CLOSE, 0, 0);
    ExpectEndWithinASecond(asked, "WM_CLOSE");
}

TEST_F(ProgramEnding, TheRestartManagersCloseRequestEndsIt) {
    EndSession(ENDSESSION_CLOSEAPP);
}

TEST_F(ProgramEnding, ALogOffEndsIt) {
    EndSession(ENDSESSION_LOGOFF);
}

}  // namespace
}  // namespace pigeonet
