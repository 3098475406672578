#pragma once

// What the acceptance scenarios share: the settings as another program sees them in the registry, the servers,
// the program's windows and the settings dialog, all from outside the program.
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

namespace pigeonet::testing {

using namespace std::chrono_literals;

inline constexpr wchar_t kSection[] = L"Software\\Zelvik\\pg";
inline constexpr int kEnvelopeSize = 135;
inline constexpr int kEnvelopeRise = 161;
// Tray menu commands as the menu sends them to the main window.
inline constexpr WPARAM kSettingsCommand = 102;

inline std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

inline std::string ReadFile(const std::wstring& path) {
    std::ifstream stream(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

// --- the settings as another program sees them in the registry ---------------------------------------------------

inline std::optional<std::string> Stored(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kSection, name, RRF_RT_ANY, &type, buffer, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return Narrow(buffer);
}

inline bool KeyExists(const wchar_t* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// Replaces the whole store with these values of section "pg", as a previous run or the user would have left them.
inline void SetStore(const std::map<std::wstring, std::string>& values) {
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

inline std::map<std::wstring, std::string> StoreWith(const std::vector<AccountValues>& accounts) {
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

inline std::string DovecotPort() {
    return Environment("PIGEONET_DOVECOT_PORT");
}

// Puts `count` new messages into the Maildir of `user`, the way a delivery agent does: written under tmp, then
// moved into new in one step.
inline void Deliver(const std::string& user, int count) {
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
inline int LoggedOutSessions(const std::string& user) {
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
inline std::string RefusedPort() {
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

inline std::wstring ClassOf(HWND window) {
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

inline std::string TextOf(HWND window) {
    wchar_t text[1024] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    return Narrow(text);
}

inline std::vector<HWND> Descendants(HWND parent) {
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
inline HWND OwnedPigeonetWindow(DWORD processId, bool (*matches)(HWND)) {
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
inline HWND ErrorBox(DWORD processId) {
    return OwnedPigeonetWindow(processId, [](HWND window) { return ClassOf(window) == L"#32770"; });
}

inline std::string BoxText(HWND box) {
    std::string text;
    for (HWND child : Descendants(box)) {
        if (ClassOf(child) == L"Static") {
            text += TextOf(child);
        }
    }
    return text;
}

inline HWND ButtonLabelled(HWND parent, const std::string& label) {
    for (HWND child : Descendants(parent)) {
        if (ClassOf(child) == L"Button" && TextOf(child) == label) {
            return child;
        }
    }
    return nullptr;
}

// Presses a push button the way a click does: its command notification to the window it belongs to.
inline void Press(HWND button) {
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

inline Frame FrameOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {IsWindowVisible(window) != FALSE, static_cast<int>(rect.left), static_cast<int>(rect.top),
            static_cast<int>(rect.right - rect.left), static_cast<int>(rect.bottom - rect.top)};
}

inline int ScreenWidth() {
    return GetSystemMetrics(SM_CXSCREEN);
}
inline int ScreenHeight() {
    return GetSystemMetrics(SM_CYSCREEN);
}

// The envelope, i.e. the main window, resting where a rise ends: the bottom right-hand corner of the screen.
inline bool EnvelopeAtRest(HWND mainWindow) {
    const Frame frame = FrameOf(mainWindow);
    return frame.visible && frame.width == kEnvelopeSize && frame.height == kEnvelopeSize &&
           frame.left == ScreenWidth() - kEnvelopeSize && frame.top == ScreenHeight() - kEnvelopeRise;
}

// The screen's pixels in the envelope's resting place, as a screenshot shows them.
inline std::vector<COLORREF> RestingPlacePixels() {
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
inline int ChangedPixels(const std::vector<COLORREF>& before, const std::vector<COLORREF>& after) {
    int changed = 0;
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
        changed += before[i] != after[i] ? 1 : 0;
    }
    return changed;
}

// Any part of the main window above the bottom edge of the screen, shown.
inline bool EnvelopeOnScreen(HWND mainWindow) {
    const Frame frame = FrameOf(mainWindow);
    return frame.visible && frame.top < ScreenHeight();
}

// Generous for a loaded machine: the window usually comes within a second.
inline HWND WaitForMainWindow(const ProgramUnderTest& program) {
    HWND window = nullptr;
    if (!WaitUntil([&] { return (window = FindProcessWindow(program.ProcessId(), L"TForm1")) != nullptr; }, 60s)) {
        ADD_FAILURE() << "gave up waiting 60 s for the main window (TForm1) of process " << program.ProcessId();
    }
    return window;
}

inline void Exit(ProgramUnderTest& program) {
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
inline HWND SettingsDialog(DWORD processId) {
    return OwnedPigeonetWindow(
        processId, [](HWND window) { return ClassOf(window) != L"#32770" && ButtonLabelled(window, "OK") != nullptr; });
}

// Opens the settings dialog from the tray menu's command and finds its controls by kind, as a user sees them.
inline SettingsControls OpenSettings(const ProgramUnderTest& program, HWND mainWindow) {
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

}  // namespace pigeonet::testing
