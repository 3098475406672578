// Acceptance scenarios: the real pigeonet.exe, started as a user starts it, against a private Dovecot and the
// scripted fake POP3 server. Everything checked here is what a user or another program can see: registry values,
// windows with their positions and texts, the screen's pixels, processes and exit codes, the server's log and the
// bytes it received.
//
// tools/acceptance/acceptance.sh starts the servers and hands them over in the environment:
//   PIGEONET_DOVECOT_PORT, PIGEONET_DOVECOT_DIR   Dovecot with the accounts fresh, steady, arrive, second
//                                                 (password "secret"), each Maildir empty
//   PIGEONET_FAKE_PORT, PIGEONET_FAKE_RECORD      the fake server, answering STAT with "-ERR mailbox is locked",
//                                                 and the file holding every byte it received
#include "support/program_under_test_win32.h"
#include "support/wine_path_win32.h"

#include "util/unicode_win32.h"

#include <commctrl.h>
#include <winsock2.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace pigeonet {
namespace {

using namespace std::chrono_literals;
using testing::FindProcessWindow;
using testing::ProgramUnderTest;
using testing::WaitUntil;
using testing::WinePath;

constexpr wchar_t kSection[] = L"Software\\Zelvik\\pg";
constexpr int kEnvelopeSize = 135;
constexpr int kEnvelopeRise = 161;
// Tray menu commands as the menu sends them to the main window.
constexpr WPARAM kSettingsCommand = 102;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string ReadFile(const std::wstring& path) {
    std::ifstream stream(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

// --- the settings as another program sees them in the registry ---------------------------------------------------

std::optional<std::string> Stored(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kSection, name, RRF_RT_ANY, &type, buffer, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return Narrow(buffer);
}

bool KeyExists(const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// Replaces the whole store with these values of section "pg", as a previous run or the user would have left them.
void SetStore(const std::map<std::wstring, std::string>& values) {
    testing::ForgetSettings();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSection, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const auto& [name, value] : values) {
        const std::wstring wide = Widen(value);
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                       static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
}

struct AccountValues {
    std::string email;
    std::string login;
    std::string port;
    std::optional<std::string> count;  // absent: a new account whose count was never stored
};

std::map<std::wstring, std::string> StoreWith(const std::vector<AccountValues>& accounts) {
    // Fast slides and a short display time keep the scenarios short.
    std::map<std::wstring, std::string> values{
        {L"list", std::to_string(accounts.size())}, {L"speed", "10"}, {L"infotime", "3"}};
    for (std::size_t i = 0; i < accounts.size(); ++i) {
        const std::wstring index = std::to_wstring(i);
        values[L"email" + index] = accounts[i].email;
        values[L"smtp" + index] = "127.0.0.1";
        values[L"log" + index] = accounts[i].login;
        values[L"pas" + index] = "secret";
        values[L"port" + index] = accounts[i].port;
        if (accounts[i].count) {
            values[L"count" + index] = *accounts[i].count;
        }
    }
    return values;
}

// --- the servers ---------------------------------------------------------------------------------------------------

std::string DovecotPort() {
    return Environment("PIGEONET_DOVECOT_PORT");
}

// Puts `count` new messages into the Maildir of `user`, the way a delivery agent does: written under tmp, then
// moved into new in one step.
void Deliver(const std::string& user, int count) {
    static int serial = 0;
    const std::wstring maildir = WinePath(Environment("PIGEONET_DOVECOT_DIR") + "/mail/" + user + "/Maildir");
    for (int i = 0; i < count; ++i) {
        const std::wstring name = std::to_wstring(GetTickCount()) + L".A" + std::to_wstring(++serial) + L".acceptance";
        const std::wstring draft = maildir + L"\\tmp\\" + name;
        {
            std::ofstream file(std::filesystem::path(draft), std::ios::binary);
            file << "From: sender@example.org\r\nTo: " << user << "@example.org\r\nSubject: hello " << serial
                 << "\r\n\r\nHello.\r\n";
            ASSERT_TRUE(file.good()) << "cannot write into " << Narrow(maildir);
        }
        ASSERT_TRUE(MoveFileW(draft.c_str(), (maildir + L"\\new\\" + name).c_str()));
    }
}

// How many POP3 sessions of `user` Dovecot has ended with a QUIT, by its log.
int LoggedOutSessions(const std::string& user) {
    std::istringstream log(ReadFile(WinePath(Environment("PIGEONET_DOVECOT_DIR") + "/dovecot.log")));
    int sessions = 0;
    for (std::string line; std::getline(log, line);) {
        if (line.find("pop3(" + user + ")") != std::string::npos && line.find("Logged out") != std::string::npos) {
            ++sessions;
        }
    }
    return sessions;
}

// A loopback port where nothing listens: bound once to learn a free number, then released.
std::string RefusedPort() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int length = sizeof(address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(probe);
    WSACleanup();
    return std::to_string(ntohs(address.sin_port));
}

// --- windows ---------------------------------------------------------------------------------------------------

std::wstring ClassOf(HWND window) {
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

std::string TextOf(HWND window) {
    wchar_t text[1024] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    return Narrow(text);
}

std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> found;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM list) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The first shown top-level window captioned "Pigeonet" that the program's application window owns and that
// `matches` accepts, or nullptr.
HWND OwnedPigeonetWindow(DWORD processId, bool (*matches)(HWND)) {
    const HWND application = FindProcessWindow(processId, L"TApplication");
    if (!application) {
        return nullptr;
    }
    struct Search {
        DWORD processId;
        HWND owner;
        bool (*matches)(HWND);
        HWND found;
    } search{processId, application, matches, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* search = reinterpret_cast<Search*>(parameter);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == search->processId && IsWindowVisible(window) &&
                GetWindow(window, GW_OWNER) == search->owner && TextOf(window) == "Pigeonet" &&
                search->matches(window)) {
                search->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The error display of the program: a message box.
HWND ErrorBox(DWORD processId) {
    return OwnedPigeonetWindow(processId, [](HWND window) { return ClassOf(window) == L"#32770"; });
}

std::string BoxText(HWND box) {
    std::string text;
    for (HWND child : Descendants(box)) {
        if (ClassOf(child) == L"Static") {
            text += TextOf(child);
        }
    }
    return text;
}

HWND ButtonLabelled(HWND parent, const std::string& label) {
    for (HWND child : Descendants(parent)) {
        if (ClassOf(child) == L"Button" && TextOf(child) == label) {
            return child;
        }
    }
    return nullptr;
}

// Presses a push button the way a click does: its command notification to the window it belongs to.
void Press(HWND button) {
    PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

struct Frame {
    bool visible = false;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

Frame FrameOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {IsWindowVisible(window) != FALSE, static_cast<int>(rect.left), static_cast<int>(rect.top),
            static_cast<int>(rect.right - rect.left), static_cast<int>(rect.bottom - rect.top)};
}

int ScreenWidth() {
    return GetSystemMetrics(SM_CXSCREEN);
}
int ScreenHeight() {
    return GetSystemMetrics(SM_CYSCREEN);
}

// The envelope, i.e. the main window, resting where a rise ends: the bottom right-hand corner of the screen.
bool EnvelopeAtRest(HWND mainWindow) {
    const Frame frame = FrameOf(mainWindow);
    return frame.visible && frame.width == kEnvelopeSize && frame.height == kEnvelopeSize &&
           frame.left == ScreenWidth() - kEnvelopeSize && frame.top == ScreenHeight() - kEnvelopeRise;
}

// The screen's pixels in the envelope's resting place, as a screenshot shows them.
std::vector<COLORREF> RestingPlacePixels() {
    const int left = ScreenWidth() - kEnvelopeSize;
    const int top = ScreenHeight() - kEnvelopeRise;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, kEnvelopeSize, kEnvelopeSize);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, kEnvelopeSize, kEnvelopeSize, screen, left, top, SRCCOPY | CAPTUREBLT);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < kEnvelopeSize; y += 5) {
        for (int x = 0; x < kEnvelopeSize; x += 5) {
            pixels.push_back(GetPixel(memory, x, y));
        }
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// How many of the sampled pixels differ between two screenshots of the resting place.
int ChangedPixels(const std::vector<COLORREF>& before, const std::vector<COLORREF>& after) {
    int changed = 0;
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
        changed += before[i] != after[i] ? 1 : 0;
    }
    return changed;
}

// Any part of the main window above the bottom edge of the screen, shown.
bool EnvelopeOnScreen(HWND mainWindow) {
    const Frame frame = FrameOf(mainWindow);
    return frame.visible && frame.top < ScreenHeight();
}

// Generous for a loaded machine: the window usually comes within a second.
HWND WaitForMainWindow(const ProgramUnderTest& program) {
    HWND window = nullptr;
    if (!WaitUntil([&] { return (window = FindProcessWindow(program.ProcessId(), L"TForm1")) != nullptr; }, 60s)) {
        ADD_FAILURE() << "gave up waiting 60 s for the main window (TForm1) of process " << program.ProcessId();
    }
    return window;
}

void Exit(ProgramUnderTest& program) {
    program.Close();
    EXPECT_EQ(program.WaitForExit(15s), 0) << "the program ends with exit code 0";
}

// --- the settings dialog, driven by window messages ---------------------------------------------------------------

struct SettingsControls {
    HWND dialog = nullptr;
    HWND mailProgram = nullptr;  // the mail program field
    HWND displayTime = nullptr;  // the envelope's display time, a number field
    HWND interval = nullptr;     // the check interval track bar, 0..30
    HWND speed = nullptr;        // the animation speed track bar, 0..10
    HWND ok = nullptr;
};

// The settings dialog as a user meets it: a shown window titled "Pigeonet" with an OK button, owned by the
// program's application window.
HWND SettingsDialog(DWORD processId) {
    return OwnedPigeonetWindow(
        processId, [](HWND window) { return ClassOf(window) != L"#32770" && ButtonLabelled(window, "OK") != nullptr; });
}

// Opens the settings dialog from the tray menu's command and finds its controls by kind, as a user sees them.
SettingsControls OpenSettings(const ProgramUnderTest& program, HWND mainWindow) {
    SettingsControls controls;
    PostMessageW(mainWindow, WM_COMMAND, kSettingsCommand, 0);
    WaitUntil([&] { return (controls.dialog = SettingsDialog(program.ProcessId())) != nullptr; }, 15s);
    if (!controls.dialog) {
        return {};
    }
    for (HWND child : Descendants(controls.dialog)) {
        const std::wstring kind = ClassOf(child);
        if (kind == L"Edit" && ClassOf(GetParent(child)) != L"ComboBox") {
            const bool number = (GetWindowLongW(child, GWL_STYLE) & ES_NUMBER) != 0;
            (number ? controls.displayTime : controls.mailProgram) = child;
        } else if (kind == L"msctls_trackbar32") {
            const LRESULT maximum = SendMessageW(child, TBM_GETRANGEMAX, 0, 0);
            (maximum == 30 ? controls.interval : controls.speed) = child;
        } else if (kind == L"Button" && TextOf(child) == "OK") {
            controls.ok = child;
        }
    }
    return controls;
}

// --- scenarios -----------------------------------------------------------------------------------------------------

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
