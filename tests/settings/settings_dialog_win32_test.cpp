#include "i18n/language.h"
#include "settings/dialogs/account_editor_win32.h"
#include "settings/dialogs/dialog_pictures_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"
#include "util/unicode_win32.h"
#include "util/window_text_win32.h"

#include "support/screen_capture_win32.h"
#include "support/settings_dialog_fixture_win32.h"
#include "support/wine_path_win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>

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
    EXPECT_EQ(WindowTextUtf8(DialogControls().Label6), "медленее мин.");
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
              (std::vector<std::string>{"speed", "hit",    "wav",    "exe",      "timer",      "email0", "smtp0",
                                        "log0",  "pas0",   "count0", "port0",    "email1",     "smtp1",  "log1",
                                        "pas1",  "count1", "port1",  "infotime", "infoconect", "list"}));
    EXPECT_EQ(Stored("wav"), kNoSound);
    EXPECT_EQ(Stored("count1"), "2");
    EXPECT_FALSE(dialog_->Visible());
    EXPECT_EQ(pollTimerEnabled_, 1);
    EXPECT_TRUE(errors_.empty());
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

TEST_F(SettingsDialog, SetsEveryTextTheLanguageSwitchNames) {
    Open();
    const SettingsDialogControls& d = DialogControls();
    const AccountEditorControls& e = EditorControls();
    auto text = [](HWND control) { return [control] { return WindowTextUtf8(control); }; };
    // Where each target of the two dialogs shows its text.
    const std::map<LangTarget, std::function<std::string()>> shown = {
        {LangTarget::DialogLabel2, text(d.Label2)},
        {LangTarget::DialogTabSheet3, [&] { return dialog_->TabCaption(0); }},
        {LangTarget::DialogGroupBox1, text(d.GroupBox1)},
        {LangTarget::DialogLabel7, text(d.Label7)},
        {LangTarget::DialogGroupBox2, text(d.GroupBox2)},
        {LangTarget::DialogButton1, text(d.Button1)},
        {LangTarget::DialogButton2, text(d.Button2)},
        {LangTarget::DialogButton3, text(d.Button3)},
        {LangTarget::DialogButton5, text(d.Button5)},
        {LangTarget::DialogListView1Column0, [&] { return dialog_->ColumnCaption(0); }},
        {LangTarget::DialogListView1Column1, [&] { return dialog_->ColumnCaption(1); }},
        {LangTarget::DialogTabSheet2, [&] { return dialog_->TabCaption(2); }},
        {LangTarget::DialogGroupBox3, text(d.GroupBox3)},
        {LangTarget::DialogCheckBox1, text(d.CheckBox1)},
        {LangTarget::DialogGroupBox4, text(d.GroupBox4)},
        {LangTarget::DialogLabel4, text(d.Label4)},
        {LangTarget::DialogLabel5, text(d.Label5)},
        {LangTarget::DialogLabel6Hint, [&] { return dialog_->Hint(d.Label6); }},
        {LangTarget::DialogSpinEdit1Hint, [&] { return dialog_->Hint(d.SpinEdit1); }},
        {LangTarget::DialogCheckBox2, text(d.CheckBox2)},
        {LangTarget::EditorLabel3, text(e.Label3)},
        {LangTarget::EditorLabel1, text(e.Label1)},
        {LangTarget::EditorLabel2, text(e.Label2)},
        {LangTarget::EditorButton2, text(e.Button2)},
    };
    int row = 0;
    for (const LangRow& entry : kLangApplicationTable) {
        ++row;
        const LangWindow window = WindowOfTarget(entry.target);
        if (window == LangWindow::Main) {
            continue;
        }
        const std::string given = "Текст " + std::to_string(row);
        LanguageTextOwner& owner = window == LangWindow::Editor ? static_cast<LanguageTextOwner&>(*editor_)
                                                                : static_cast<LanguageTextOwner&>(*dialog_);
        owner.ApplyText(entry.target, given);
        ASSERT_TRUE(shown.contains(entry.target)) << "row " << row;
        EXPECT_EQ(shown.at(entry.target)(), given) << "row " << row;
    }
    // A target of another window changes nothing, not even a control of the same name.
    const std::string version = WindowTextUtf8(d.Label3);
    dialog_->ApplyText(LangTarget::EditorLabel3, "x");
    dialog_->ApplyText(LangTarget::MenuN4, "x");
    editor_->ApplyText(LangTarget::DialogLabel2, "x");
    editor_->ApplyText(LangTarget::DialogLabel4, "x");
    EXPECT_EQ(WindowTextUtf8(d.Label3), version);
    EXPECT_EQ(WindowTextUtf8(e.Label2), "Текст 29");
    EXPECT_EQ(WindowTextUtf8(e.Label4), "E-mail:");
    EXPECT_EQ(WindowTextUtf8(dialog_->Handle()), "Pigeonet");
}

TEST_F(SettingsDialog, StartsWithTheDesignedTexts) {
    Open();
    EXPECT_EQ(WindowTextUtf8(dialog_->Handle()), "Pigeonet");
    EXPECT_EQ(dialog_->TabCaption(0), "Основные");
    EXPECT_EQ(dialog_->TabCaption(1), "E-mails");
    EXPECT_EQ(dialog_->ColumnCaption(4), "Кол-во");
    EXPECT_EQ(dialog_->Hint(DialogControls().Button6), "Обзор...");
    EXPECT_EQ(dialog_->Hint(DialogControls().ToolButton1), "Play");
    EXPECT_EQ(WindowTextUtf8(EditorControls().Label5), "Порт: (обычно 110, если SSL то 995)");
    EXPECT_EQ(WindowTextUtf8(EditorControls().ComboBox1), "110");
    EXPECT_FALSE(IsEnabled(EditorControls().Button1));
    RECT client;
    GetClientRect(dialog_->Handle(), &client);
    EXPECT_EQ(client.right, 474);
    EXPECT_EQ(client.bottom, 281);
    GetClientRect(editor_->Handle(), &client);
    EXPECT_EQ(client.right, 330);
    EXPECT_EQ(client.bottom, 256);
}

TEST_F(SettingsDialog, TheEditorRefusesAPortThatIsNoPortAndStaysOpen) {
    Open();
    bool showingAfterOk = false;
    WhenModal([&] {
        TypeAddress("user@mail.example");
        SetWindowTextW(EditorControls().Edit3, L"user");
        SetWindowTextW(EditorControls().Edit4, L"pw");
        SetWindowTextW(EditorControls().ComboBox1, L"pop3");
        Click(EditorControls().Button1);
        showingAfterOk = editor_->Showing();
        SetWindowTextW(EditorControls().ComboBox1, L"995");
        Click(EditorControls().Button1);
    });
    dialog_->Button1Click();
    EXPECT_EQ(errors_, std::vector<std::string>{"The port must be a whole number from 1 to 65535, not 'pop3'"});
    EXPECT_TRUE(showingAfterOk);
    ASSERT_EQ(dialog_->AccountCount(), 1);
    EXPECT_EQ(dialog_->AccountAt(0).port, "995");
}

TEST_F(SettingsDialog, AddsAnAccountThroughTheEditor) {
    Open();
    dialog_->Show();
    SelectTab(1);
    std::string caption;
    bool okEnabledWithoutAt = true;
    std::optional<std::string> serverAfterShortAddress;
    WhenModal([&] {
        caption = WindowTextUtf8(editor_->Handle());
        TypeAddress("a@bcd");
        serverAfterShortAddress = WindowTextUtf8(EditorControls().Edit2);
        TypeAddress("user@mail.example");
        SetWindowTextW(EditorControls().Edit3, L"user");
        SetWindowTextW(EditorControls().Edit4, L"pw");
        okEnabledWithoutAt = IsEnabled(EditorControls().Button1);  // the address has an "@": enabled
        Click(EditorControls().Button1);
    });
    Click(DialogControls().Button1);
    EXPECT_EQ(caption, "Добавить E-mail");
    EXPECT_EQ(serverAfterShortAddress, "");
    EXPECT_TRUE(okEnabledWithoutAt);
    ASSERT_EQ(dialog_->AccountCount(), 1);
    EXPECT_EQ(dialog_->AccountAt(0), (Account{"user@mail.example", "pop.mail.example", "user", "pw", "0", "110"}));
    EXPECT_FALSE(editor_->Showing());
    EXPECT_TRUE(IsWindowEnabled(dialog_->Handle()));
}

TEST_F(SettingsDialog, KeepsOkDisabledWithoutAnAt) {
    Open();
    bool enabled = true;
    WhenModal([&] {
        TypeAddress("user.mail.example");
        SetWindowTextW(EditorControls().Edit2, L"pop.mail.example");
        SetWindowTextW(EditorControls().Edit3, L"user");
        SetWindowTextW(EditorControls().Edit4, L"pw");
        enabled = IsEnabled(EditorControls().Button1);
        Click(EditorControls().Button1);  // a disabled button does nothing
        SendMessageW(editor_->Handle(), WM_CLOSE, 0, 0);
    });
    dialog_->Button1Click();
    EXPECT_FALSE(enabled);
    EXPECT_EQ(dialog_->AccountCount(), 0);
}

TEST_F(SettingsDialog, EditingKeepsTheLastCountAndTheNextAddKeepsThePort) {
    PutAccounts(1);
    Put("count0", "5");
    Put("port0", "995");
    Open();
    SelectRow(0);
    std::string caption;
    WhenModal([&] {
        caption = WindowTextUtf8(editor_->Handle());
        EXPECT_EQ(WindowTextUtf8(EditorControls().Edit1), "user0@mail.example");
        EXPECT_EQ(WindowTextUtf8(EditorControls().ComboBox1), "995");
        SetWindowTextW(EditorControls().Edit2, L"mail.example.org");
        Click(EditorControls().Button1);
    });
    dialog_->ListView1DblClick();
    EXPECT_EQ(caption, "Изменить E-mail");
    EXPECT_EQ(dialog_->AccountAt(0),
              (Account{"user0@mail.example", "mail.example.org", "user0", "secret0", "5", "995"}));

    std::string port;
    std::string address = "x";
    WhenModal([&] {
        port = WindowTextUtf8(EditorControls().ComboBox1);
        address = WindowTextUtf8(EditorControls().Edit1);
        Click(EditorControls().Button2);
    });
    dialog_->Button1Click();
    EXPECT_EQ(port, "995");
    EXPECT_EQ(address, "");
    EXPECT_EQ(dialog_->AccountCount(), 1);
}

TEST_F(SettingsDialog, EditWithoutASelectionDoesNothing) {
    PutAccounts(1);
    Open();
    dialog_->Button2Click();  // would block in the editor's modal loop if it opened
    dialog_->Button3Click();
    EXPECT_EQ(dialog_->AccountCount(), 1);
}

std::vector<std::uint32_t> PixelsOf(const testing::ScreenCapture& capture, HWND captured, HWND window, RECT part) {
    RECT frame{};
    GetWindowRect(captured, &frame);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&part), 2);
    OffsetRect(&part, -frame.left, -frame.top);
    std::vector<std::uint32_t> pixels;
    for (int y = std::max(0, static_cast<int>(part.top)); y < std::min(capture.height, static_cast<int>(part.bottom));
         ++y) {
        for (int x = std::max(0, static_cast<int>(part.left));
             x < std::min(capture.width, static_cast<int>(part.right)); ++x) {
            pixels.push_back(capture.At(x, y));
        }
    }
    return pixels;
}

// How many of those pixels are as dark as text.
int DarkPixels(const testing::ScreenCapture& capture, HWND captured, HWND window, RECT part) {
    const auto pixels = PixelsOf(capture, captured, window, part);
    return static_cast<int>(std::count_if(pixels.begin(), pixels.end(), [](std::uint32_t pixel) {
        return (pixel >> 16 & 0xff) < 0x60 && (pixel >> 8 & 0xff) < 0x60 && (pixel & 0xff) < 0x60;
    }));
}

RECT ClientBox(HWND control) {
    RECT box{};
    GetClientRect(control, &box);
    return box;
}

TEST_F(SettingsDialog, DecodesTheHeaderPictures) {
    const char* source = std::getenv("PIGEONET_SOURCE_DIR");
    if (!source) {
        GTEST_SKIP() << "PIGEONET_SOURCE_DIR not set";
    }
    GdiplusSession gdiplus;
    for (const auto& [file, size] : {std::pair{"header_envelope.png", 40u}, std::pair{"header_gear.png", 32u}}) {
        std::ifstream in(
            std::filesystem::path(testing::WinePath(std::string(source) + "/src/settings/dialogs/" + file)),
            std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(bytes.empty()) << file;
        const auto picture = DecodePng(bytes.data(), bytes.size());
        ASSERT_NE(picture, nullptr) << file;
        EXPECT_EQ(picture->GetWidth(), size);
    }
    EXPECT_EQ(DecodePng("nonsense", 8), nullptr);
}

TEST_F(SettingsDialog, DrawsTheHeaderEachTabsPageAndTheAccountsOnScreen) {
    MakeMediaFolder();
    PutAccounts(2);
    Open();
    dialog_->Show();
    const HWND form = dialog_->Handle();

    std::vector<std::vector<std::uint32_t>> pages;
    const HWND sheets[] = {DialogControls().TabSheet3, DialogControls().TabSheet1, DialogControls().TabSheet2};
    const char* names[] = {"settings-tab0-main", "settings-tab1-accounts", "settings-tab2-indication"};
    for (int tab = 0; tab < 3; ++tab) {
        SelectTab(tab);
        const testing::ScreenCapture shot = testing::CaptureWindow(form);
        testing::SaveScreenshot(shot, names[tab]);
        // The header band is white beside its texts, with the title and the picture drawn on it.
        EXPECT_EQ(DarkPixels(shot, form, form, Scaled(RECT{240, 4, 470, 30})), 0) << names[tab];
        EXPECT_GT(DarkPixels(shot, form, form, Scaled(RECT{69, 11, 159, 30})), 0) << names[tab] << ": no title";
        const auto picture = PixelsOf(shot, form, form, Scaled(RECT{11, 8, 51, 48}));
        EXPECT_GT(std::count_if(picture.begin(), picture.end(), [](std::uint32_t pixel) { return pixel != 0xffffff; }),
                  100)
            << names[tab] << ": no header picture";
        // What the selected page shows.
        const HWND sheet = sheets[tab];
        pages.push_back(PixelsOf(shot, form, sheet, ClientBox(sheet)));
        if (tab == 1) {
            // Both accounts' addresses are drawn in their rows; the row after them is empty.
            const HWND list = DialogControls().ListView1;
            RECT row{};
            for (int index = 0; index < 3; ++index) {
                if (index < 2) {
                    row.left = LVIR_LABEL;
                    ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(index),
                                             reinterpret_cast<LPARAM>(&row)));
                } else {
                    OffsetRect(&row, 0, row.bottom - row.top);
                }
                EXPECT_EQ(DarkPixels(shot, form, list, row) > 0, index < 2) << "row " << index;
            }
        }
    }
    EXPECT_TRUE(pages[0] != pages[1]) << "tabs 0 and 1 look alike";
    EXPECT_TRUE(pages[1] != pages[2]) << "tabs 1 and 2 look alike";
    EXPECT_TRUE(pages[0] != pages[2]) << "tabs 0 and 2 look alike";

    SelectRow(0);
    WhenModal([&] {
        const HWND editor = editor_->Handle();
        const testing::ScreenCapture shot = testing::CaptureWindow(editor);
        testing::SaveScreenshot(shot, "account-editor");
        // The account's fields show their texts, the password as stars; the address's label is drawn too.
        const AccountEditorControls& fields = EditorControls();
        for (const auto& [name, control] :
             {std::pair{"Label4", fields.Label4}, std::pair{"Edit1", fields.Edit1}, std::pair{"Edit2", fields.Edit2},
              std::pair{"Edit3", fields.Edit3}, std::pair{"Edit4", fields.Edit4},
              std::pair{"ComboBox1", fields.ComboBox1}}) {
            EXPECT_GT(DarkPixels(shot, editor, control, ClientBox(control)), 0) << name;
        }
        Click(EditorControls().Button2);
    });
    dialog_->Button2Click();
}

}  // namespace
}  // namespace pigeonet
