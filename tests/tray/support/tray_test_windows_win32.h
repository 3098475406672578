#pragma once

// Helpers for the tray's Wine tests: the two windows a TrayIcon watches, a recording shell and desktop, a message
// pump with a time limit, and a look at an icon's pixels.

#include <windows.h>

#include <string>
#include <vector>

#include "support/bitmap_pixels_win32.h"
#include "support/message_pump_win32.h"
#include "tray/tray_icon_win32.h"
#include "tray/tray_pictures.h"

namespace pigeonet::testing {

// Runs the thread's messages until `done` holds or `limitMilliseconds` passed; whether `done` came true. Waits for
// timer ticks without assuming how promptly a loaded machine delivers them.
template <typename Predicate>
bool PumpUntil(Predicate done, DWORD limitMilliseconds) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= limitMilliseconds) {
            return false;
        }
        PumpFor(10);
    }
    return true;
}

// What the main window received.
struct MainWindowLog {
    std::vector<UINT> commands;
    int nulls = 0;
};

inline MainWindowLog& MainLog() {
    static MainWindowLog log;
    return log;
}

inline LRESULT CALLBACK TestMainProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        MainLog().commands.push_back(LOWORD(wParam));
        return 0;
    }
    if (message == WM_NULL) {
        ++MainLog().nulls;
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A hidden unowned top-level application window and a hidden main window owned by it, as the program has them.
class TestWindows {
  public:
    TestWindows() {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &TestMainProcedure;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = L"TrayTestWindow";
        RegisterClassExW(&windowClass);
        application = CreateWindowExW(0, L"TrayTestWindow", L"TrayTestApplication", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                      nullptr, instance, nullptr);
        main = CreateWindowExW(WS_EX_TOPMOST, L"TrayTestWindow", L"TrayTestMain", WS_POPUP, 0, 0, 100, 100, application,
                               nullptr, instance, nullptr);
        MainLog() = {};
    }
    ~TestWindows() {
        DestroyWindow(main);
        DestroyWindow(application);
    }
    TestWindows(const TestWindows&) = delete;
    TestWindows& operator=(const TestWindows&) = delete;

    HWND application = nullptr;
    HWND main = nullptr;
};

enum class Picture { None, Mail, Blank, Other };

inline const char* PictureName(Picture picture) {
    switch (picture) {
        case Picture::None:
            return "none";
        case Picture::Mail:
            return "mail";
        case Picture::Blank:
            return "blank";
        case Picture::Other:
            return "other";
    }
    return "?";
}

// One bitmap of `size` x `size` pixels read as top-down 0xRRGGBB pixels.
inline std::vector<std::uint32_t> ReadPixels(HBITMAP bitmap, int size = kTrayPictureSize) {
    std::vector<std::uint32_t> pixels = BitmapPixels(bitmap, size, size);
    for (auto& pixel : pixels) {
        pixel &= 0xFFFFFF;
    }
    return pixels;
}

struct IconPixels {
    std::vector<std::uint32_t> colour;
    std::vector<bool> transparent;
};

inline IconPixels ReadIcon(HICON icon, int size = kTrayPictureSize) {
    IconPixels result;
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) {
        return result;
    }
    const auto mask = ReadPixels(info.hbmMask, size);
    for (auto pixel : mask) {
        result.transparent.push_back(pixel == 0xFFFFFF);
    }
    if (info.hbmColor) {
        result.colour = ReadPixels(info.hbmColor, size);
        DeleteObject(info.hbmColor);
    }
    DeleteObject(info.hbmMask);
    return result;
}

// Which of the tray's pictures an icon shows, judged by its transparency mask.
inline Picture PictureOf(HICON icon) {
    if (!icon) {
        return Picture::None;
    }
    const IconPixels pixels = ReadIcon(icon);
    if (pixels.transparent.size() != static_cast<std::size_t>(kTrayPicturePixels)) {
        return Picture::Other;
    }
    const TrayPicture mail = DecodeTrayPicture(kTrayMailImage);
    bool allTransparent = true;
    bool mailShape = true;
    for (std::size_t i = 0; i < pixels.transparent.size(); ++i) {
        allTransparent = allTransparent && pixels.transparent[i];
        mailShape = mailShape && pixels.transparent[i] == mail.transparent[i];
    }
    return allTransparent ? Picture::Blank : mailShape ? Picture::Mail : Picture::Other;
}

// Records every shell call with a copy of its record, the picture it carried and when it came.
class RecordingShell : public ShellNotify {
  public:
    struct Call {
        DWORD message;
        NOTIFYICONDATAW record;
        Picture picture;
        DWORD tick;
    };

    bool Notify(DWORD message, const NOTIFYICONDATAW& record) override {
        calls.push_back({message, record, PictureOf(record.hIcon), GetTickCount()});
        return answer;
    }

    std::vector<DWORD> Messages() const {
        std::vector<DWORD> messages;
        for (const auto& call : calls) {
            messages.push_back(call.message);
        }
        return messages;
    }

    std::vector<Call> calls;
    bool answer = true;
};

// Records the desktop effects as words: "foreground application", "pump", "menu at 10,20 to main".
class RecordingDesktop : public TrayDesktop {
  public:
    RecordingDesktop(const TestWindows& windows) : windows_(windows) {}

    void SetForeground(HWND window) override { events.push_back("foreground " + Name(window)); }
    bool CursorPosition(POINT& position) override {
        position = cursor;
        return cursorReadable;
    }
    void ProcessPendingMessages() override { events.push_back("pump"); }
    void TrackMenu(HMENU menu, POINT position, HWND owner) override {
        trackedMenu = menu;
        events.push_back("menu at " + std::to_string(position.x) + "," + std::to_string(position.y) + " to " +
                         Name(owner));
    }

    std::vector<std::string> events;
    POINT cursor{10, 20};
    bool cursorReadable = true;
    HMENU trackedMenu = nullptr;

  private:
    std::string Name(HWND window) const {
        return window == windows_.application ? "application" : window == windows_.main ? "main" : "other";
    }
    const TestWindows& windows_;
};

}  // namespace pigeonet::testing
