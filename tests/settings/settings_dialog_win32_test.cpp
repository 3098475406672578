#include "i18n/translation_table.h"
#include "settings/dialogs/account_editor_win32.h"
#include "settings/dialogs/dialog_pictures_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"
#include "util/error_display_win32.h"
#include "util/handles_win32.h"
#include "util/memory_registry.h"
#include "util/registry_win32.h"
#include "util/unicode_win32.h"

#include "support/registry_fixture_win32.h"
#include "support/screen_capture_win32.h"
#include "support/wine_path_win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace pigeonet {
namespace {

const std::string kSection = "Software\\Zelvik\\pg";
const std::string kNoSound = "(без звукового сигнала)";

// Forwards to the real registry and notes the name of every value written, in order.
class RecordingHive final : public RegistryHive {
  public:
    explicit RecordingHive(RegistryHive& inner) : inner_(inner) {}
    bool CreateKey(const std::string& path) override { return inner_.CreateKey(path); }
    bool KeyExists(const std::string& path) const override { return inner_.KeyExists(path); }
    std::optional<RegistryValue> ReadValue(const std::string& keyPath, const std::string& name) const override {
        return inner_.ReadValue(keyPath, name);
    }
    bool WriteText(const std::string& keyPath, const std::string& name, const std::string& text) override {
        written.push_back(name);
        return inner_.WriteText(keyPath, name, text);
    }
    std::vector<std::string> written;

  private:
    RegistryHive& inner_;
};

// Runs `action` from inside whatever message loop runs next (the editor's modal loop).
std::function<void()> pendingAction;
void CALLBACK RunPendingAction(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    auto action = std::move(pendingAction);
    pendingAction = nullptr;
    if (action) {
        action();
    }
}
void WhenModal(std::function<void()> action) {
    pendingAction = std::move(action);
    SetTimer(nullptr, 0, 30, &RunPendingAction);
}

void Click(HWND button) {
    SendMessageW(button, BM_CLICK, 0, 0);
}

// The pixels of `part` (client coordinates of `window`) in a capture of `captured`, row by row.
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

class SettingsDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(root_.Open(L"Software\\PigeonetTests\\SettingsDialog"));
        hive_ = std::make_unique<Win32RegistryHive>(root_.get());
        recording_ = std::make_unique<RecordingHive>(*hive_);
        store_ = std::make_unique<SettingsStore>(*recording_);
        testing::RegisterMailClient(machine_);
        SetErrorDisplay([this](const std::string& text) { errors_.push_back(text); });
    }
    void TearDown() override {
        editor_.reset();
        dialog_.reset();
        SetErrorDisplay(nullptr);
        store_.reset();
        root_.Close();
        if (!media_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(std::filesystem::path(media_).parent_path(), ignored);
        }
    }

    void Put(const std::string& name, const std::string& text) {
        hive_->CreateKey(kSection);
        hive_->WriteText(kSection, name, text);
    }
    std::optional<std::string> Stored(const std::string& name) {
        const auto value = hive_->ReadValue(kSection, name);
        return value ? std::optional<std::string>(value->text) : std::nullopt;
    }

    // A media folder of the test's own, reached through a "Fonts" shell folder beside it.
    void MakeMediaFolder() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        const std::wstring base = std::wstring(temp) + L"pigeonet-dialog-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(base.c_str(), nullptr);
        const std::wstring media = base + L"\\Media";
        CreateDirectoryW(media.c_str(), nullptr);
        for (const wchar_t* name : {L"tada.wav", L"Ding.WAV", L"chimes.Wav", L"readme.txt", L"secret.wav"}) {
            std::ofstream(std::filesystem::path(media + L"\\" + name)) << "RIFF";
        }
        SetFileAttributesW((media + L"\\secret.wav").c_str(), FILE_ATTRIBUTE_HIDDEN);
        CreateDirectoryW((media + L"\\folder.wav").c_str(), nullptr);
        media_ = Narrow(media);
        const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
        hive_->CreateKey(key);
        hive_->WriteText(key, "Fonts", Narrow(base) + "\\Fonts");
    }

    void Open() {
        SettingsDialogSeams seams;
        seams.localMachine = &machine_;
        seams.currentUser = hive_.get();
        seams.sound.tempFolderPath = [] { return std::string("C:\\Temp\\"); };
        seams.sound.playSound = [this](const std::string& path) { played_.push_back(path); };
        dialog_ = std::make_unique<TForm2>(
            GetModuleHandleW(nullptr), nullptr, *store_, [this] { ++pollTimerEnabled_; }, seams);
        editor_ = std::make_unique<TForm3>(GetModuleHandleW(nullptr), *dialog_);
        recording_->written.clear();
    }

    void SelectTab(int index) {
        const HWND tabs = dialog_->ControlHandle("PageControl1");
        SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
        NMHDR header{tabs, static_cast<UINT_PTR>(GetDlgCtrlID(tabs)), static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(dialog_->Handle(), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    }
    void SelectRow(int row) {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(dialog_->ControlHandle("ListView1"), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
    }
    bool ButtonVisible(const char* name) { return IsWindowVisible(dialog_->ControlHandle(name)) != FALSE; }
    bool Enabled(const char* name) { return IsWindowEnabled(editor_->ControlHandle(name)) != FALSE; }
    void PutAccounts(int count) {
        Put("list", std::to_string(count));
        for (int i = 0; i < count; ++i) {
            const std::string n = std::to_string(i);
            Put("email" + n, "user" + n + "@mail.example");
            Put("smtp" + n, "pop.mail.example");
            Put("log" + n, "user" + n);
            Put("pas" + n, "secret" + n);
            Put("count" + n, std::to_string(i + 1));
            Put("port" + n, "110");
        }
    }
    void TypeAddress(const std::string& text) {
        SetWindowTextW(editor_->ControlHandle("Edit1"), Widen(text).c_str());
        SendMessageW(editor_->ControlHandle("Edit1"), WM_KEYUP, 'X', 0);
    }

    testing::ScratchRegistryKey root_;
    std::unique_ptr<Win32RegistryHive> hive_;
    std::unique_ptr<RecordingHive> recording_;
    std::unique_ptr<SettingsStore> store_;
    MemoryRegistry machine_;
    std::unique_ptr<TForm2> dialog_;
    std::unique_ptr<TForm3> editor_;
    std::vector<std::string> errors_;
    std::vector<std::string> played_;
    std::string media_;
    int pollTimerEnabled_ = 0;
};

TEST_F(SettingsDialog, ShowsTheDefaultsOfAFreshStore) {
    Open();
    EXPECT_EQ(dialog_->IntervalPosition(), 9);
    EXPECT_EQ(dialog_->AnimationSpeed(), 3);
    EXPECT_TRUE(dialog_->FlashIcon());
    EXPECT_EQ(dialog_->ControlText("SpinEdit1"), "8");
    EXPECT_EQ(dialog_->DisplayTime(), 8);
    EXPECT_FALSE(dialog_->ConnectNotice());
    EXPECT_EQ(dialog_->AccountCount(), 0);
    EXPECT_EQ(dialog_->Sound(), kNoSound);
    EXPECT_EQ(dialog_->MailProgram(), "C:\\Program Files\\Mail\\mail.exe /mailurl:1");
    EXPECT_EQ(dialog_->SelectedTab(), 0);
    EXPECT_FALSE(dialog_->Visible());
    EXPECT_TRUE(recording_->written.empty());
    // As the Russian language leaves it.
    dialog_->SetControlText("Label6.Hint", "мин.");
    dialog_->IntervalLabel();
    EXPECT_EQ(dialog_->ControlText("Label6"), "9 мин.");
    SendMessageW(dialog_->ControlHandle("TrackBar2"), TBM_SETPOS, TRUE, 0);
    SendMessageW(dialog_->ControlHandle("TrackBar2"), WM_HSCROLL, 0, 0);  // ignored: not from the bar
    dialog_->IntervalLabel();
    EXPECT_EQ(dialog_->ControlText("Label6"), "медленее мин.");
}

TEST_F(SettingsDialog, BringsStoredValuesIntoRangeButKeepsThemStoredUntilOk) {
    Put("timer", "45");
    Put("infotime", "100");
    Put("speed", "-3");
    Put("hit", "5");
    Open();
    EXPECT_EQ(dialog_->IntervalPosition(), 30);
    EXPECT_EQ(dialog_->ControlText("SpinEdit1"), "60");
    EXPECT_EQ(dialog_->AnimationSpeed(), 0);
    EXPECT_TRUE(dialog_->FlashIcon());
    EXPECT_EQ(Stored("timer"), "45");
    EXPECT_EQ(Stored("infotime"), "100");
    Click(dialog_->ControlHandle("Button4"));
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
    ASSERT_EQ(RegSetKeyValueW(root_.get(), Widen(kSection).c_str(), L"log1", REG_DWORD, &number, sizeof(number)),
              ERROR_SUCCESS);
    Open();
    EXPECT_TRUE(errors_.empty()) << "the start reports it, once every window is there";
    EXPECT_EQ(store_->Unreadable().TakeReport(), "Invalid data type for 'log1'");
    EXPECT_EQ(dialog_->AnimationSpeed(), 7);
    ASSERT_EQ(dialog_->AccountCount(), 3);
    EXPECT_EQ(dialog_->AccountAt(1), (Account{"user1@mail.example", "pop.mail.example", "", "secret1", "2", "110"}));
    EXPECT_EQ(dialog_->AccountAt(2).password, "secret2");
    EXPECT_EQ(dialog_->Sound(), "tada.wav");
    Click(dialog_->ControlHandle("Button4"));
    EXPECT_EQ(std::count(recording_->written.begin(), recording_->written.end(), "log1"), 0);
    EXPECT_FALSE(hive_->ReadValue(kSection, "log1")->isText);
    EXPECT_EQ(Stored("list"), "3");
    EXPECT_EQ(Stored("pas1"), "secret1");

    SelectRow(1);
    WhenModal([&] {
        SetWindowTextW(editor_->ControlHandle("Edit3"), L"user1");
        Click(editor_->ControlHandle("Button1"));
    });
    dialog_->Button2Click();
    Click(dialog_->ControlHandle("Button4"));
    EXPECT_EQ(Stored("log1"), "user1") << "a setting the user changed is saved";
}

TEST_F(SettingsDialog, OkWritesEveryValueInOrderHidesAndEnablesThePollTick) {
    PutAccounts(2);
    Open();
    dialog_->Show();
    Click(dialog_->ControlHandle("Button4"));
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
    Click(dialog_->ControlHandle("CheckBox2"));
    Click(dialog_->ControlHandle("Button4"));
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
    Click(dialog_->ControlHandle("Button3"));
    SelectRow(0);
    SendMessageW(dialog_->ControlHandle("ListView1"), WM_KEYDOWN, VK_DELETE, 0);  // the Delete key
    EXPECT_EQ(dialog_->AccountCount(), 3);
    EXPECT_NE(dialog_->AccountListRevision(), revision);
    EXPECT_EQ(dialog_->AccountAt(0).email, "user2@mail.example");
    SendMessageW(dialog_->ControlHandle("ListView1"), WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(dialog_->AccountCount(), 3);
    Click(dialog_->ControlHandle("Button4"));
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
    Click(dialog_->ControlHandle("Button4"));
    EXPECT_EQ(errors_, std::vector<std::string>{"'11O' is not a valid integer value."});
    EXPECT_TRUE(recording_->written.empty());
    EXPECT_TRUE(dialog_->Visible());
    EXPECT_EQ(pollTimerEnabled_, 0);
}

TEST_F(SettingsDialog, TheEditorRefusesAPortThatIsNoPortAndStaysOpen) {
    Open();
    bool showingAfterOk = false;
    WhenModal([&] {
        TypeAddress("user@mail.example");
        SetWindowTextW(editor_->ControlHandle("Edit3"), L"user");
        SetWindowTextW(editor_->ControlHandle("Edit4"), L"pw");
        SetWindowTextW(editor_->ControlHandle("ComboBox1"), L"pop3");
        Click(editor_->ControlHandle("Button1"));
        showingAfterOk = editor_->Showing();
        SetWindowTextW(editor_->ControlHandle("ComboBox1"), L"995");
        Click(editor_->ControlHandle("Button1"));
    });
    dialog_->Button1Click();
    EXPECT_EQ(errors_, std::vector<std::string>{"The port must be a whole number from 1 to 65535, not 'pop3'"});
    EXPECT_TRUE(showingAfterOk);
    ASSERT_EQ(dialog_->AccountCount(), 1);
    EXPECT_EQ(dialog_->AccountAt(0).port, "995");
}

TEST_F(SettingsDialog, CancelAndTheTitleBarHideWithoutSavingAndKeepEditsInMemory) {
    Open();
    dialog_->Show();
    SendMessageW(dialog_->ControlHandle("TrackBar2"), TBM_SETPOS, TRUE, 4);
    Click(dialog_->ControlHandle("Button5"));
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
    for (const char* name : {"Button1", "Button2", "Button3"}) {
        EXPECT_FALSE(ButtonVisible(name)) << name;
    }
    SelectTab(1);
    for (const char* name : {"Button1", "Button2", "Button3"}) {
        EXPECT_TRUE(ButtonVisible(name)) << name;
    }
    SelectTab(2);
    EXPECT_FALSE(ButtonVisible("Button1"));
    SelectTab(1);
    Click(dialog_->ControlHandle("Button5"));
    dialog_->Show();
    EXPECT_TRUE(ButtonVisible("Button2"));
    EXPECT_EQ(dialog_->SelectedTab(), 1);
}

TEST_F(SettingsDialog, ListsTheMediaFolderAndPlaysTheChoice) {
    MakeMediaFolder();
    Put("wav", "Ding.WAV");
    Open();
    const HWND sounds = dialog_->ControlHandle("ComboBox2");
    std::vector<std::string> items;
    for (LRESULT i = 0; i < SendMessageW(sounds, CB_GETCOUNT, 0, 0); ++i) {
        wchar_t text[256] = {};
        SendMessageW(sounds, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.push_back(Narrow(text));
    }
    EXPECT_EQ(items, (std::vector<std::string>{"chimes.Wav", "Ding.WAV", "tada.wav", kNoSound}));
    EXPECT_EQ(dialog_->SoundFolder(), media_);
    EXPECT_EQ(dialog_->Sound(), "Ding.WAV");

    Click(dialog_->ControlHandle("ToolButton1"));
    dialog_->SetControlText("ComboBox2", "chimes.Wav");
    dialog_->ToolButton1Click();
    dialog_->SetControlText("ComboBox2", kNoSound);
    dialog_->ToolButton1Click();
    dialog_->SetControlText("ComboBox2", "Chronel.wav");
    dialog_->ToolButton1Click();
    EXPECT_EQ(played_, (std::vector<std::string>{media_ + "\\Ding.WAV", "C:\\Temp\\Chronel.wav"}));
}

TEST_F(SettingsDialog, OffersOnlyTheNoSoundEntryWithoutAMediaFolder) {
    Put("lang", "1");
    Open();
    EXPECT_EQ(SendMessageW(dialog_->ControlHandle("ComboBox2"), CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(dialog_->Sound(), "(without the beep)");
}

TEST_F(SettingsDialog, SetsEveryTextTheLanguageSwitchNames) {
    Open();
    for (const char* name : {"Caption",
                             "Label1",
                             "Label2",
                             "Label3",
                             "Label4",
                             "Label5",
                             "Label6",
                             "Label7",
                             "TabSheet1",
                             "TabSheet2",
                             "TabSheet3",
                             "GroupBox1",
                             "GroupBox2",
                             "GroupBox3",
                             "GroupBox4",
                             "Button1",
                             "Button2",
                             "Button3",
                             "Button4",
                             "Button5",
                             "Button6",
                             "CheckBox1",
                             "CheckBox2",
                             "Edit1",
                             "ComboBox2",
                             "SpinEdit1",
                             "ListView1.Column0",
                             "ListView1.Column1",
                             "ListView1.Column4",
                             "Label6.Hint",
                             "SpinEdit1.Hint",
                             "Button6.Hint",
                             "ToolButton1.Hint"}) {
        EXPECT_TRUE(dialog_->SetControlText(name, std::string("Текст ") + name)) << name;
        EXPECT_EQ(dialog_->ControlText(name), std::string("Текст ") + name) << name;
    }
    EXPECT_FALSE(dialog_->SetControlText("Label9", "x"));
    EXPECT_FALSE(dialog_->SetControlText("ListView1.Column7", "x"));
    EXPECT_EQ(dialog_->ControlText("Label9"), "");
    for (const char* name : {"Caption", "Label1", "Label2", "Label3", "Label4", "Label5", "Button1", "Button2"}) {
        EXPECT_TRUE(editor_->SetControlText(name, std::string("Текст ") + name)) << name;
        EXPECT_EQ(editor_->ControlText(name), std::string("Текст ") + name) << name;
    }
}

TEST_F(SettingsDialog, StartsWithTheDesignedTexts) {
    Open();
    EXPECT_EQ(dialog_->ControlText("Caption"), "Pigeonet");
    EXPECT_EQ(dialog_->ControlText("TabSheet3"), "Основные");
    EXPECT_EQ(dialog_->ControlText("TabSheet1"), "E-mails");
    EXPECT_EQ(dialog_->ControlText("ListView1.Column4"), "Кол-во");
    EXPECT_EQ(dialog_->ControlText("Button6.Hint"), "Обзор...");
    EXPECT_EQ(dialog_->ControlText("ToolButton1.Hint"), "Play");
    EXPECT_EQ(editor_->ControlText("Label5"), "Порт: (обычно 110, если SSL то 995)");
    EXPECT_EQ(editor_->ControlText("ComboBox1"), "110");
    EXPECT_FALSE(Enabled("Button1"));
    RECT client;
    GetClientRect(dialog_->Handle(), &client);
    EXPECT_EQ(client.right, 474);
    EXPECT_EQ(client.bottom, 281);
    GetClientRect(editor_->Handle(), &client);
    EXPECT_EQ(client.right, 330);
    EXPECT_EQ(client.bottom, 256);
}

TEST_F(SettingsDialog, AddsAnAccountThroughTheEditor) {
    Open();
    dialog_->Show();
    SelectTab(1);
    std::string caption;
    bool okEnabledWithoutAt = true;
    std::optional<std::string> serverAfterShortAddress;
    WhenModal([&] {
        caption = editor_->ControlText("Caption");
        TypeAddress("a@bcd");
        serverAfterShortAddress = editor_->ControlText("Edit2");
        TypeAddress("user@mail.example");
        SetWindowTextW(editor_->ControlHandle("Edit3"), L"user");
        SetWindowTextW(editor_->ControlHandle("Edit4"), L"pw");
        okEnabledWithoutAt = Enabled("Button1");  // the address has an "@": enabled
        Click(editor_->ControlHandle("Button1"));
    });
    Click(dialog_->ControlHandle("Button1"));
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
        SetWindowTextW(editor_->ControlHandle("Edit2"), L"pop.mail.example");
        SetWindowTextW(editor_->ControlHandle("Edit3"), L"user");
        SetWindowTextW(editor_->ControlHandle("Edit4"), L"pw");
        enabled = Enabled("Button1");
        Click(editor_->ControlHandle("Button1"));  // a disabled button does nothing
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
        caption = editor_->ControlText("Caption");
        EXPECT_EQ(editor_->ControlText("Edit1"), "user0@mail.example");
        EXPECT_EQ(editor_->ControlText("ComboBox1"), "995");
        SetWindowTextW(editor_->ControlHandle("Edit2"), L"mail.example.org");
        Click(editor_->ControlHandle("Button1"));
    });
    dialog_->ListView1DblClick();
    EXPECT_EQ(caption, "Изменить E-mail");
    EXPECT_EQ(dialog_->AccountAt(0),
              (Account{"user0@mail.example", "mail.example.org", "user0", "secret0", "5", "995"}));

    std::string port;
    std::string address = "x";
    WhenModal([&] {
        port = editor_->ControlText("ComboBox1");
        address = editor_->ControlText("Edit1");
        Click(editor_->ControlHandle("Button2"));
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
    const char* sheets[] = {"TabSheet3", "TabSheet1", "TabSheet2"};
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
        const HWND sheet = dialog_->ControlHandle(sheets[tab]);
        pages.push_back(PixelsOf(shot, form, sheet, ClientBox(sheet)));
        if (tab == 1) {
            // Both accounts' addresses are drawn in their rows; the row after them is empty.
            const HWND list = dialog_->ControlHandle("ListView1");
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
        for (const char* field : {"Label4", "Edit1", "Edit2", "Edit3", "Edit4", "ComboBox1"}) {
            const HWND control = editor_->ControlHandle(field);
            EXPECT_GT(DarkPixels(shot, editor, control, ClientBox(control)), 0) << field;
        }
        Click(editor_->ControlHandle("Button2"));
    });
    dialog_->Button2Click();
}

}  // namespace
}  // namespace pigeonet
