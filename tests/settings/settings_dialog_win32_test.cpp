// The settings dialog's settings: what it loads, what OK saves, what Cancel keeps, and the sound choice.
#include "settings/dialogs/account_editor_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"
#include "util/unicode_win32.h"
#include "util/window_text_win32.h"

#include "support/settings_dialog_fixture_win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace pigeonet {
namespace {

TEST_F(SettingsDialog, ShowsTheDefaultsOfAFreshStore) {
    Open();
    EXPECT_EQ(dialog_->IntervalPosition(), 9);
    EXPECT_EQ(dialog_->AnimationSpeed(), 3);
    EXPECT_TRUE(dialog_->FlashIcon());
    EXPECT_EQ(WindowTextUtf8(DialogControls().SpinEdit1), "8");
    EXPECT_EQ(dialog_->DisplayTime(), 8);
    EXPECT_FALSE(dialog_->ConnectNotice());
    EXPECT_EQ(dialog_->AccountCount(), 0);
    EXPECT_EQ(dialog_->Sound(), kNoSound);
    EXPECT_EQ(dialog_->MailProgram(), "C:\\Program Files\\Mail\\mail.exe /mailurl:1");
    EXPECT_EQ(dialog_->SelectedTab(), 0);
    EXPECT_FALSE(dialog_->Visible());
    EXPECT_TRUE(recording_->written.empty());
    // As the Russian language leaves it.
    dialog_->ApplyText(LangTarget::DialogLabel6Hint, "мин.");
    dialog_->IntervalLabel();
    EXPECT_EQ(WindowTextUtf8(DialogControls().Label6), "9 мин.");
    SendMessageW(DialogControls().TrackBar2, TBM_SETPOS, TRUE, 0);
    SendMessageW(DialogControls().TrackBar2, WM_HSCROLL, 0, 0);  // ignored: not from the bar
    dialog_->IntervalLabel();
    EXPECT_EQ(WindowTextUtf8(DialogControls().Label6), "меньше мин.");
}

TEST_F(SettingsDialog, BringsStoredValuesIntoRangeButKeepsThemStoredUntilOk) {
    Put("timer", "45");
    Put("infotime", "100");
    Put("speed", "-3");
    Put("hit", "5");
    Open();
    EXPECT_EQ(dialog_->IntervalPosition(), 30);
    EXPECT_EQ(WindowTextUtf8(DialogControls().SpinEdit1), "60");
    EXPECT_EQ(dialog_->AnimationSpeed(), 0);
    EXPECT_TRUE(dialog_->FlashIcon());
    EXPECT_EQ(Stored("timer"), "45");
    EXPECT_EQ(Stored("infotime"), "100");
    Click(DialogControls().Button4);
    EXPECT_EQ(Stored("timer"), "30");
    EXPECT_EQ(Stored("infotime"), "60");
    EXPECT_EQ(Stored("speed"), "0");
    EXPECT_EQ(Stored("hit"), "1");
}

TEST_F(SettingsDialog, AValueOfAnotherTypeTakesItsDefaultAloneAndOkLeavesItAsStored) {
    Put("speed", "7");
    PutAccounts(3);
    Put("wav", "tada.wav");
    const DWORD number = 1;
    ASSERT_EQ(RegSetKeyValueW(root_.get(), Widen(kSettingsKey).c_str(), L"log1", REG_DWORD, &number, sizeof(number)),
              ERROR_SUCCESS);
    Open();
    EXPECT_TRUE(errors_.empty()) << "the start reports it, once every window is there";
    EXPECT_EQ(store_->Unreadable().TakeReport(), "Invalid data type for 'log1'");
    EXPECT_EQ(dialog_->AnimationSpeed(), 7);
    ASSERT_EQ(dialog_->AccountCount(), 3);
    EXPECT_EQ(dialog_->AccountAt(1), (Account{"user1@mail.example", "pop.mail.example", "", "secret1", "2", "110"}));
    EXPECT_EQ(dialog_->AccountAt(2).password, "secret2");
    EXPECT_EQ(dialog_->Sound(), "tada.wav");
    Click(DialogControls().Button4);
    EXPECT_EQ(std::count(recording_->written.begin(), recording_->written.end(), "log1"), 0);
    EXPECT_FALSE(hive_->ReadValue(kSettingsKey, "log1")->isText);
    EXPECT_EQ(Stored("list"), "3");
    EXPECT_EQ(Stored("pas1"), "secret1");

    SelectRow(1);
    WhenModal([&] {
        SetWindowTextW(EditorControls().Edit3, L"user1");
        Click(EditorControls().Button1);
    });
    dialog_->Button2Click();
    Click(DialogControls().Button4);
    EXPECT_EQ(Stored("log1"), "user1") << "a setting the user changed is saved";
}

TEST_F(SettingsDialog, OkWritesEveryValueInOrderHidesAndEnablesThePollTick) {
    PutAccounts(2);
    Open();
    dialog_->Show();
    Click(DialogControls().Button4);
    EXPECT_EQ(recording_->written,
              (std::vector<std::string>{"speed",     "hit",    "wav",       "exe",      "timer",      "email0",
                                        "smtp0",     "log0",   "pas0",      "count0",   "port0",      "proto0",
                                        "security0", "email1", "smtp1",     "log1",     "pas1",       "count1",
                                        "port1",     "proto1", "security1", "infotime", "infoconect", "list"}));
    EXPECT_EQ(Stored("wav"), kNoSound);
    EXPECT_EQ(Stored("count1"), "2");
    EXPECT_FALSE(dialog_->Visible());
    EXPECT_EQ(pollTimerEnabled_, 1);
    EXPECT_TRUE(errors_.empty());
}

TEST_F(SettingsDialog, TheNotificationOptionsLoadAndSaveLikeTheFlashOption) {
    Open();
    EXPECT_TRUE(dialog_->AnnounceOnlyNew());
    EXPECT_FALSE(dialog_->CountOnIcon());
    EXPECT_TRUE(dialog_->QuietWhileBusy());
    Click(DialogControls().CheckBox4);
    EXPECT_TRUE(dialog_->CountOnIcon()) << "in effect before OK";
    Click(DialogControls().Button4);
    EXPECT_EQ(Stored("badge"), "1");
    EXPECT_EQ(Stored("onlynew"), std::nullopt) << "an option left at its default stays absent";

    Put("onlynew", "0");
    Put("quiet", "0");
    Open();
    EXPECT_FALSE(dialog_->AnnounceOnlyNew());
    EXPECT_TRUE(dialog_->CountOnIcon());
    EXPECT_FALSE(dialog_->QuietWhileBusy());
    Click(DialogControls().CheckBox3);
    Click(DialogControls().Button4);
    EXPECT_EQ(Stored("onlynew"), "1");
    EXPECT_EQ(Stored("quiet"), "0");
}

TEST_F(SettingsDialog, OkWithAnEmptyListStillSavesTheDisplayTimeAndConnectNotice) {
    Open();
    Click(DialogControls().CheckBox2);
    Click(DialogControls().Button4);
    EXPECT_EQ(Stored("list"), "0");
    EXPECT_EQ(Stored("infotime"), "8");
    EXPECT_EQ(Stored("infoconect"), "1");
}

TEST_F(SettingsDialog, DeletedAccountsLeaveTheirOldValuesUnread) {
    PutAccounts(5);
    Open();
    ASSERT_EQ(dialog_->AccountCount(), 5);
    const auto revision = dialog_->AccountListRevision();
    SelectTab(1);
    SelectRow(1);
    Click(DialogControls().Button3);
    SelectRow(0);
    SendMessageW(DialogControls().ListView1, WM_KEYDOWN, VK_DELETE, 0);  // the Delete key
    EXPECT_EQ(dialog_->AccountCount(), 3);
    EXPECT_NE(dialog_->AccountListRevision(), revision);
    EXPECT_EQ(dialog_->AccountAt(0).email, "user2@mail.example");
    SendMessageW(DialogControls().ListView1, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(dialog_->AccountCount(), 3);
    Click(DialogControls().Button4);
    EXPECT_EQ(Stored("list"), "3");
    EXPECT_EQ(Stored("email0"), "user2@mail.example");
    EXPECT_EQ(Stored("email3"), "user3@mail.example");
    EXPECT_EQ(Stored("email4"), "user4@mail.example");
    EXPECT_EQ(Stored("count4"), "5");
}

TEST_F(SettingsDialog, APortThatIsNoNumberWritesNothingAndKeepsTheDialogOpen) {
    Open();
    dialog_->AppendRow({"a@b.example", "pop.b.example", "a", "pw", "0", "110"});
    dialog_->AppendRow({"b@b.example", "pop.b.example", "b", "pw", "0", "11O"});
    dialog_->Show();
    Click(DialogControls().Button4);
    EXPECT_EQ(errors_, std::vector<std::string>{"'11O' is not a valid integer value."});
    EXPECT_TRUE(recording_->written.empty());
    EXPECT_TRUE(dialog_->Visible());
    EXPECT_EQ(pollTimerEnabled_, 0);
}

TEST_F(SettingsDialog, CancelAndTheTitleBarHideWithoutSavingAndKeepEditsInMemory) {
    Open();
    dialog_->Show();
    SendMessageW(DialogControls().TrackBar2, TBM_SETPOS, TRUE, 4);
    Click(DialogControls().Button5);
    EXPECT_FALSE(dialog_->Visible());
    EXPECT_EQ(pollTimerEnabled_, 1);
    EXPECT_EQ(dialog_->IntervalPosition(), 4);
    EXPECT_TRUE(recording_->written.empty());
    dialog_->Show();
    SendMessageW(dialog_->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(dialog_->Visible());
    EXPECT_EQ(pollTimerEnabled_, 2);
    EXPECT_TRUE(recording_->written.empty());
}

TEST_F(SettingsDialog, ShowsTheAccountButtonsOnlyOnTheAccountTab) {
    Open();
    dialog_->Show();
    for (const HWND button : {DialogControls().Button1, DialogControls().Button2, DialogControls().Button3}) {
        EXPECT_FALSE(IsShown(button)) << GetDlgCtrlID(button);
    }
    SelectTab(1);
    for (const HWND button : {DialogControls().Button1, DialogControls().Button2, DialogControls().Button3}) {
        EXPECT_TRUE(IsShown(button)) << GetDlgCtrlID(button);
    }
    SelectTab(2);
    EXPECT_FALSE(IsShown(DialogControls().Button1));
    SelectTab(1);
    Click(DialogControls().Button5);
    dialog_->Show();
    EXPECT_TRUE(IsShown(DialogControls().Button2));
    EXPECT_EQ(dialog_->SelectedTab(), 1);
}

TEST_F(SettingsDialog, ListsTheMediaFolderAndPlaysTheChoice) {
    MakeMediaFolder();
    Put("wav", "Ding.WAV");
    Open();
    const HWND sounds = DialogControls().ComboBox2;
    std::vector<std::string> items;
    for (LRESULT i = 0; i < SendMessageW(sounds, CB_GETCOUNT, 0, 0); ++i) {
        wchar_t text[256] = {};
        SendMessageW(sounds, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.push_back(Narrow(text));
    }
    EXPECT_EQ(items, (std::vector<std::string>{"chimes.Wav", "Ding.WAV", "tada.wav", kNoSound}));
    EXPECT_EQ(dialog_->SoundFolder(), media_);
    EXPECT_EQ(dialog_->Sound(), "Ding.WAV");

    Click(DialogControls().ToolButton1);
    SetWindowTextUtf8(DialogControls().ComboBox2, "chimes.Wav");
    dialog_->ToolButton1Click();
    SetWindowTextUtf8(DialogControls().ComboBox2, kNoSound);
    dialog_->ToolButton1Click();
    SetWindowTextUtf8(DialogControls().ComboBox2, "Chronel.wav");
    dialog_->ToolButton1Click();
    EXPECT_EQ(sound_->played, (std::vector<std::string>{media_ + "\\Ding.WAV", "C:\\Temp\\Chronel.wav"}));
}

TEST_F(SettingsDialog, OffersOnlyTheNoSoundEntryWithoutAMediaFolder) {
    Put("lang", "1");
    Open();
    EXPECT_EQ(SendMessageW(DialogControls().ComboBox2, CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(dialog_->Sound(), "(without the beep)");
}

}  // namespace
}  // namespace pigeonet
