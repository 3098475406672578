// Acceptance scenarios of the settings and the start: what the store holds, what the dialog saves, and a second
// start. How they run: acceptance_win32_test.cpp.
#include "acceptance/support/scenario_win32.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

namespace pigeonet {
namespace {

using namespace std::chrono_literals;
using namespace testing;

TEST(Acceptance, SettingsStoredAsNumbersAreReportedInOneBoxAndOkKeepsEveryAccount) {
    const std::string port = RefusedPort();
    auto values = StoreWith(
        {{"a@example.org", "a", port, "1"}, {"b@example.org", "b", port, "2"}, {"c@example.org", "c", port, "3"}});
    values[L"exe"] = "C:\\Program Files\\Mail\\mail.exe -mail";
    SetStore(values);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSection, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    const DWORD number = 1;
    for (const wchar_t* name : {L"lang", L"log1"}) {
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    }
    RegCloseKey(key);

    ProgramUnderTest program;
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = ErrorBox(program.ProcessId())) != nullptr; }, 30s));
    const std::string text = BoxText(box);
    EXPECT_NE(text.find("Invalid data type for 'lang'"), std::string::npos) << text;
    EXPECT_NE(text.find("Invalid data type for 'log1'"), std::string::npos) << text;
    Press(ButtonLabelled(box, "OK"));
    EXPECT_TRUE(WaitUntil([&] { return ErrorBox(program.ProcessId()) != box; }, 10s)) << "OK closes the box";
    EXPECT_FALSE(WaitUntil([&] { return ErrorBox(program.ProcessId()) != nullptr; }, 5s)) << "one box for both";
    const HWND mainWindow = WaitForMainWindow(program);
    ASSERT_NE(mainWindow, nullptr);
    const SettingsControls settings = OpenSettings(program, mainWindow);
    ASSERT_NE(settings.ok, nullptr) << "the settings dialog opens";
    Press(settings.ok);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(settings.dialog); }, 10s)) << "OK hides the dialog";
    EXPECT_EQ(Stored(L"list"), "3");
    EXPECT_EQ(Stored(L"email2"), "c@example.org");
    EXPECT_EQ(Stored(L"pas1"), "secret");
    EXPECT_EQ(Stored(L"port1"), port);
    EXPECT_EQ(Stored(L"exe"), values[L"exe"]);
    DWORD type = 0;
    RegGetValueW(HKEY_CURRENT_USER, kSection, L"log1", RRF_RT_ANY, &type, nullptr, nullptr);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << "a value the user did not touch stays as it was";
    Exit(program);
}

TEST(Acceptance, ASecondStartEndsAtOnceWithExitCode0AndTheFirstKeepsRunning) {
    SetStore(StoreWith({}));
    ProgramUnderTest first;
    ASSERT_NE(WaitForMainWindow(first), nullptr);
    ProgramUnderTest second;
    EXPECT_EQ(second.WaitForExit(15s), 0);
    EXPECT_EQ(FindProcessWindow(second.ProcessId(), L"TForm1"), nullptr);
    EXPECT_TRUE(first.Running());
    EXPECT_NE(FindProcessWindow(first.ProcessId(), L"TForm1"), nullptr);
    Exit(first);
}

TEST(Acceptance, SettingsSavedByTheDialogSurviveARestart) {
    testing::ForgetSettings();
    const std::string mailProgram = "notepad.exe C:\\mail\\inbox.txt";
    {
        ProgramUnderTest program;
        const HWND mainWindow = WaitForMainWindow(program);
        ASSERT_NE(mainWindow, nullptr);
        const SettingsControls settings = OpenSettings(program, mainWindow);
        ASSERT_NE(settings.dialog, nullptr) << "the settings command shows the dialog";
        ASSERT_TRUE(settings.mailProgram && settings.displayTime && settings.interval && settings.speed && settings.ok);
        SendMessageW(settings.mailProgram, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(mailProgram).c_str()));
        SendMessageW(settings.displayTime, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"12"));
        SendMessageW(settings.interval, TBM_SETPOS, TRUE, 20);
        SendMessageW(settings.speed, TBM_SETPOS, TRUE, 7);
        Press(settings.ok);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(settings.dialog); }, 10s)) << "OK hides the dialog";
        EXPECT_EQ(Stored(L"exe"), mailProgram);
        EXPECT_EQ(Stored(L"infotime"), "12");
        EXPECT_EQ(Stored(L"timer"), "20");
        EXPECT_EQ(Stored(L"speed"), "7");
        EXPECT_EQ(Stored(L"list"), "0");
        Exit(program);
    }
    ProgramUnderTest program;
    const HWND mainWindow = WaitForMainWindow(program);
    ASSERT_NE(mainWindow, nullptr);
    const SettingsControls settings = OpenSettings(program, mainWindow);
    ASSERT_NE(settings.dialog, nullptr);
    ASSERT_TRUE(settings.mailProgram && settings.displayTime && settings.interval && settings.speed && settings.ok);
    EXPECT_EQ(TextOf(settings.mailProgram), mailProgram);
    EXPECT_EQ(TextOf(settings.displayTime), "12");
    EXPECT_EQ(SendMessageW(settings.interval, TBM_GETPOS, 0, 0), 20);
    EXPECT_EQ(SendMessageW(settings.speed, TBM_GETPOS, 0, 0), 7);
    Press(settings.ok);
    Exit(program);
}

}  // namespace
}  // namespace pigeonet
