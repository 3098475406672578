#include "tray/tray_icon_win32.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/tray_icon_fixture_win32.h"
#include "tray/tray_pictures_win32.h"

namespace pigeonet {
namespace {

using ::testing::ElementsAre;
using testing::Picture;
using testing::PumpFor;
using testing::RecordingDesktop;
using testing::RecordingShell;
using testing::TestWindows;
using testing::TrayIconTest;

std::u16string TipOf(const NOTIFYICONDATAW& record) {
    return std::u16string(reinterpret_cast<const char16_t*>(record.szTip));
}

std::u16string Field(const WCHAR* field) {
    return std::u16string(reinterpret_cast<const char16_t*>(field));
}

TEST_F(TrayIconTest, CreationLoadingAndDestructionCallTheShellInOrder) {
    tray = std::make_unique<TrayIcon>(windows.application, windows.main, shell, desktop);
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_FALSE(tray->IconVisible());

    tray->ApplyStoredProperties(list.get(), menu.get(), nullptr);
    EXPECT_THAT(shell.Messages(), ElementsAre(NIM_MODIFY, NIM_MODIFY, NIM_ADD, NIM_MODIFY));
    EXPECT_TRUE(tray->IconVisible());
    shell.calls.clear();

    tray->Loaded();
    EXPECT_THAT(shell.Messages(), ElementsAre(NIM_MODIFY, NIM_ADD, NIM_MODIFY, NIM_SETVERSION));
    EXPECT_EQ(Last().record.uVersion, 0u);
    EXPECT_EQ(Last().picture, Picture::Mail);
    EXPECT_EQ(TipOf(Last().record), u"");
    EXPECT_EQ(tray->IconIndex(), 0);
    EXPECT_TRUE(tray->CycleIcons());
    EXPECT_EQ(tray->CycleInterval(), 0u);
    EXPECT_EQ(tray->PopupMenu(), menu.get());
    shell.calls.clear();

    tray.reset();
    EXPECT_THAT(shell.Messages(), ElementsAre(NIM_DELETE));
}

TEST_F(TrayIconTest, EveryRecordNamesTheCallbackWindowAndTheInstance) {
    Start();
    tray->SetHint("Pigeonet");
    tray->SetIconIndex(1);
    for (const auto& call : shell.calls) {
        EXPECT_EQ(call.record.cbSize, NOTIFYICONDATAW_V2_SIZE);
        EXPECT_EQ(call.record.uID, static_cast<UINT>(reinterpret_cast<std::uintptr_t>(tray.get())));
        EXPECT_EQ(call.record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
        EXPECT_EQ(call.record.uCallbackMessage, 0x0800u);
        EXPECT_EQ(call.record.dwState, 0u);
        EXPECT_EQ(call.record.dwStateMask, 0u);
        EXPECT_TRUE(IsWindow(call.record.hWnd));
        EXPECT_NE(call.record.hWnd, windows.application);
        EXPECT_NE(call.record.hWnd, windows.main);
    }
}

TEST_F(TrayIconTest, TooltipCarriesTheFirst127UnitsOfTheHint) {
    Start();
    const std::string pigeon = "\xF0\x9F\x90\xA6";
    const struct {
        std::string hint;
        bool showHint;
        std::u16string tip;
    } cases[] = {
        {std::string(200, 'a'), true, std::u16string(127, u'a')},
        {std::string(127, 'b'), true, std::u16string(127, u'b')},
        {"Pigeonet\ra@b.c - 3\rx@y.z - 0", true, u"Pigeonet\ra@b.c - 3\rx@y.z - 0"},
        {"\xD0\x9F\xD0\xBE\xD1\x87\xD1\x82\xD0\xB0", true, u"\u041F\u043E\u0447\u0442\u0430"},
        {std::string(126, 'c') + pigeon, true, std::u16string(126, u'c')},
        {std::string(125, 'd') + pigeon, true, std::u16string(125, u'd') + u"\U0001F426"},
        {"", true, u""},
        {"Pigeonet", false, u""},
    };
    for (const auto& c : cases) {
        shell.calls.clear();
        tray->SetShowHint(c.showHint);
        tray->SetHint(c.hint);
        ASSERT_FALSE(shell.calls.empty());
        EXPECT_EQ(Last().message, static_cast<DWORD>(NIM_MODIFY));
        EXPECT_EQ(TipOf(Last().record), c.tip) << c.hint;
        EXPECT_EQ(Last().record.szTip[127], 0);
        EXPECT_EQ(tray->Hint(), c.hint);
    }
}

TEST_F(TrayIconTest, EveryPropertyChangeEndsWithAModify) {
    Start();
    tray->SetHint("a");
    tray->SetShowHint(true);
    tray->SetIconIndex(0);
    tray->SetIcon(nullptr);
    EXPECT_THAT(shell.Messages(), ElementsAre(NIM_MODIFY, NIM_MODIFY, NIM_MODIFY, NIM_MODIFY));
    EXPECT_EQ(Last().picture, Picture::None);
    EXPECT_EQ(Last().record.hIcon, nullptr);
}

TEST_F(TrayIconTest, IconIndexPastTheEndSelectsTheLastImage) {
    Start();
    tray->SetIconIndex(5);
    EXPECT_EQ(tray->IconIndex(), 1);
    EXPECT_EQ(Last().picture, Picture::Blank);
    tray->SetIconIndex(0);
    EXPECT_EQ(tray->IconIndex(), 0);
    EXPECT_EQ(Last().picture, Picture::Mail);
}

TEST_F(TrayIconTest, WithoutAnImageListTheIndexStaysZeroAndThePictureStays) {
    Start();
    tray->SetIconList(nullptr);
    tray->SetIconIndex(1);
    EXPECT_EQ(tray->IconIndex(), 0);
    EXPECT_EQ(Last().picture, Picture::Mail);
}

TEST_F(TrayIconTest, BalloonIsCutAndCarriedByOneModifyOnly) {
    Start();
    tray->SetHint("Pigeonet");
    shell.calls.clear();
    const std::string title(70, 't');
    const std::string text(300, 'x');

    EXPECT_TRUE(tray->ShowBalloon(title, text, BalloonIcon::None, 10));

    ASSERT_EQ(shell.calls.size(), 2u);
    const auto& clear = shell.calls[0].record;
    EXPECT_EQ(clear.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO));
    EXPECT_EQ(Field(clear.szInfo), u"");
    const auto& balloon = shell.calls[1].record;
    EXPECT_EQ(shell.calls[1].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(balloon.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO));
    EXPECT_EQ(Field(balloon.szInfo), std::u16string(255, u'x'));
    EXPECT_EQ(Field(balloon.szInfoTitle), std::u16string(63, u't'));
    EXPECT_EQ(balloon.uTimeout, 10000u);
    EXPECT_EQ(balloon.dwInfoFlags, static_cast<DWORD>(NIIF_NONE));
    EXPECT_EQ(TipOf(balloon), u"Pigeonet");

    tray->SetHint("later");
    tray->SetIconIndex(0);
    SendMessageW(windows.application, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    for (std::size_t i = 2; i < shell.calls.size(); ++i) {
        EXPECT_EQ(shell.calls[i].record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP)) << i;
    }
}

TEST_F(TrayIconTest, BalloonKindsTitleSurrogatesAndTheShellsAnswer) {
    Start();
    const std::string pigeon = "\xF0\x9F\x90\xA6";
    const struct {
        BalloonIcon kind;
        DWORD flags;
        bool answer;
    } cases[] = {
        {BalloonIcon::None, NIIF_NONE, true},
        {BalloonIcon::Info, NIIF_INFO, true},
        {BalloonIcon::Warning, NIIF_WARNING, false},
        {BalloonIcon::Error, NIIF_ERROR, true},
    };
    for (const auto& c : cases) {
        shell.calls.clear();
        shell.answer = c.answer;
        EXPECT_EQ(tray->ShowBalloon(std::string(62, 'T') + pigeon, "\xD0\x9F", c.kind, 3), c.answer);
        EXPECT_EQ(Last().record.dwInfoFlags, c.flags);
        EXPECT_EQ(Last().record.uTimeout, 3000u);
        EXPECT_EQ(Field(Last().record.szInfoTitle), std::u16string(62, u'T'));
        EXPECT_EQ(Field(Last().record.szInfo), u"\u041F");
    }
}

TEST_F(TrayIconTest, FlashingAlternatesTheImagesEvery400Milliseconds) {
    Start();
    const DWORD start = GetTickCount();
    tray->SetCycleInterval(400);
    EXPECT_EQ(tray->CycleInterval(), 400u);
    ASSERT_FALSE(shell.calls.empty());
    EXPECT_EQ(Last().picture, Picture::Mail);

    PumpFor(300);
    EXPECT_EQ(Last().picture, Picture::Mail);
    ASSERT_TRUE(ShowsSoon(Picture::Blank));
    ASSERT_TRUE(ShowsSoon(Picture::Mail));

    // The moments the shown picture changed, from the start.
    std::vector<std::pair<Picture, DWORD>> changes;
    for (const auto& call : shell.calls) {
        if (changes.empty() || changes.back().first != call.picture) {
            changes.emplace_back(call.picture, call.tick - start);
        }
    }
    ASSERT_GE(changes.size(), 3u);
    EXPECT_EQ(changes[0].first, Picture::Mail);
    EXPECT_EQ(changes[1].first, Picture::Blank);
    EXPECT_GE(changes[1].second, 380u);
    EXPECT_LE(changes[1].second, 1000u);
    EXPECT_EQ(changes[2].first, Picture::Mail);
    EXPECT_GE(changes[2].second, 780u);
    EXPECT_LE(changes[2].second, 1300u);
    for (const auto& call : shell.calls) {
        EXPECT_EQ(call.message, static_cast<DWORD>(NIM_MODIFY));
    }
}

TEST_F(TrayIconTest, SettingTheIntervalAgainRestartsFromTheMailPicture) {
    Start();
    tray->SetCycleInterval(400);
    ASSERT_TRUE(ShowsSoon(Picture::Blank));

    shell.calls.clear();
    const DWORD restart = GetTickCount();
    tray->SetCycleInterval(400);
    EXPECT_EQ(Last().picture, Picture::Mail);
    PumpFor(330);
    EXPECT_EQ(Last().picture, Picture::Mail) << "the rhythm restarted, so no blank before 400 ms";
    ASSERT_TRUE(ShowsSoon(Picture::Blank));
    DWORD blankAt = 0;
    for (const auto& call : shell.calls) {
        if (call.picture == Picture::Blank) {
            blankAt = call.tick - restart;
            break;
        }
    }
    EXPECT_GE(blankAt, 380u);
}

TEST_F(TrayIconTest, ZeroIntervalShowsTheMailPictureAndStops) {
    Start();
    tray->SetCycleInterval(400);
    ASSERT_TRUE(ShowsSoon(Picture::Blank));

    shell.calls.clear();
    tray->SetCycleInterval(0);
    EXPECT_EQ(tray->CycleInterval(), 0u);
    EXPECT_THAT(shell.Messages(), ElementsAre(NIM_MODIFY));
    EXPECT_EQ(Last().picture, Picture::Mail);
    PumpFor(900);
    EXPECT_EQ(shell.calls.size(), 1u);

    // Zero again: the mail picture is sent once more, nothing else happens.
    tray->SetCycleInterval(0);
    EXPECT_THAT(shell.Messages(), ElementsAre(NIM_MODIFY, NIM_MODIFY));
    EXPECT_EQ(Last().picture, Picture::Mail);
}

TEST_F(TrayIconTest, SelectingImageZeroWhileFlashingLetsTheRhythmGoOn) {
    Start();
    tray->SetCycleInterval(400);
    PumpFor(100);
    tray->SetIconIndex(0);
    EXPECT_EQ(Last().picture, Picture::Mail);
    shell.calls.clear();
    EXPECT_TRUE(ShowsSoon(Picture::Blank));
}

TEST_F(TrayIconTest, WithoutCyclingTheIntervalDoesNotFlash) {
    Start();
    tray->SetCycleIcons(false);
    shell.calls.clear();
    tray->SetCycleInterval(100);
    PumpFor(350);
    EXPECT_TRUE(shell.calls.empty());
}

TEST_F(TrayIconTest, TaskbarCreatedReAddsWithThePictureAndHintOfThatMomentAndFlashingGoesOn) {
    Start();
    tray->SetHint("Pigeonet\ra@b.c - 3");
    tray->SetCycleInterval(400);
    ASSERT_TRUE(ShowsSoon(Picture::Blank));

    shell.calls.clear();
    SendMessageW(windows.application, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ASSERT_THAT(shell.Messages(), ElementsAre(NIM_ADD));
    EXPECT_EQ(Last().picture, Picture::Blank);
    EXPECT_EQ(TipOf(Last().record), u"Pigeonet\ra@b.c - 3");

    EXPECT_TRUE(ShowsSoon(Picture::Mail)) << "the flashing went on";
}

TEST_F(TrayIconTest, TaskbarCreatedDoesNothingForAnIconTakenOut) {
    Start();
    tray->SetIconVisible(false);
    EXPECT_THAT(shell.Messages(), ElementsAre(NIM_DELETE));
    SendMessageW(windows.application, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_THAT(shell.Messages(), ElementsAre(NIM_DELETE));
}

TEST_F(TrayIconTest, HideTaskbarButtonHidesAVisibleApplicationWindow) {
    Start();
    ShowWindow(windows.application, SW_SHOWNOACTIVATE);
    ASSERT_TRUE(IsWindowVisible(windows.application));
    tray->HideTaskbarButton();
    EXPECT_FALSE(IsWindowVisible(windows.application));
    tray->HideTaskbarButton();
    EXPECT_FALSE(IsWindowVisible(windows.application));
}

TEST_F(TrayIconTest, ShowingTheMainWindowBringsItToTheFront) {
    Start();
    ShowWindow(windows.main, SW_SHOWNOACTIVATE);
    EXPECT_THAT(desktop.events, ElementsAre("foreground application", "foreground main"));

    desktop.events.clear();
    SendMessageW(windows.main, WM_SHOWWINDOW, TRUE, SW_PARENTOPENING);
    SendMessageW(windows.main, WM_SHOWWINDOW, FALSE, 0);
    EXPECT_TRUE(desktop.events.empty());
}

TEST_F(TrayIconTest, DestructionPutsBackTheWindowProceduresAndTheLastOneTakesTheCallbackWindow) {
    const LONG_PTR applicationProcedure = GetWindowLongPtrW(windows.application, GWLP_WNDPROC);
    const LONG_PTR mainProcedure = GetWindowLongPtrW(windows.main, GWLP_WNDPROC);
    Start();
    EXPECT_NE(GetWindowLongPtrW(windows.main, GWLP_WNDPROC), mainProcedure);
    tray->SetHint("x");
    EXPECT_EQ(Last().record.hWnd, callback);

    TestWindows others;
    RecordingShell otherShell;
    RecordingDesktop otherDesktop(others);
    auto second = std::make_unique<TrayIcon>(others.application, others.main, otherShell, otherDesktop);
    second->SetHint("y");
    EXPECT_EQ(otherShell.calls.back().record.hWnd, callback);
    EXPECT_NE(otherShell.calls.back().record.uID, Last().record.uID);

    tray.reset();
    EXPECT_EQ(GetWindowLongPtrW(windows.application, GWLP_WNDPROC), applicationProcedure);
    EXPECT_EQ(GetWindowLongPtrW(windows.main, GWLP_WNDPROC), mainProcedure);
    EXPECT_TRUE(IsWindow(callback));
    // The survivor still gets its mouse input.
    int secondClicks = 0;
    second->OnClick = [&](TrayIcon&) { ++secondClicks; };
    SendMessageW(callback, TrayIcon::kCallbackMessage, second->Id(), WM_LBUTTONDOWN);
    SendMessageW(callback, TrayIcon::kCallbackMessage, second->Id(), WM_LBUTTONUP);
    EXPECT_EQ(secondClicks, 1);

    second.reset();
    EXPECT_FALSE(IsWindow(callback));
}

TEST_F(TrayIconTest, CallbackWindowIgnoresCloseRequestsAndAllowsEndingTheSession) {
    Start();
    EXPECT_EQ(SendMessageW(callback, WM_CLOSE, 0, 0), 1);
    EXPECT_EQ(SendMessageW(callback, WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_TRUE(IsWindow(callback));
}

TEST(TrayIconSystem, TheShellAcceptsTheIcon) {
    TestWindows windows;
    UniqueImageList list = CreateTrayImageList();
    SystemShellNotify shell;
    struct Answers : ShellNotify {
        explicit Answers(ShellNotify& real) : real(real) {}
        bool Notify(DWORD message, const NOTIFYICONDATAW& record) override {
            const bool answer = real.Notify(message, record);
            answers.emplace_back(message, answer);
            return answer;
        }
        ShellNotify& real;
        std::vector<std::pair<DWORD, bool>> answers;
    } answers(shell);
    SystemTrayDesktop desktop;
    {
        TrayIcon tray(windows.application, windows.main, answers, desktop);
        tray.ApplyStoredProperties(list.get(), nullptr, nullptr);
        tray.Loaded();
        tray.SetHint("Pigeonet");
        PumpFor(100);
    }
    bool added = false, deleted = false;
    for (const auto& [message, answer] : answers.answers) {
        if (message == NIM_ADD && answer) {
            added = true;
        }
        if (message == NIM_DELETE) {
            deleted = answer;
        }
    }
    EXPECT_TRUE(added);
    EXPECT_TRUE(deleted);
}

}  // namespace
}  // namespace pigeonet
