#pragma once

// What start-up builds before the main window, for tests of the main window: the registry and store over a root
// of the test's own, the poll tick, and recording stand-ins for the system, the dialogs and the launcher.
#include <windows.h>

#include "app/main_form_win32.h"
#include "app/platform_win32.h"
#include "app/start_language.h"
#include "i18n/language.h"
#include "notify/support/envelope_fakes_win32.h"
#include "polling/inbox_watch_win32.h"
#include "settings/live_settings.h"
#include "settings/settings_store.h"
#include "tray/simple_timer_win32.h"
#include "util/registry_win32.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pigeonet::testing {

class RecordingLauncher final : public ProgramLauncher {
  public:
    void OpenWithShell(HWND, const std::string& target) override { calls.push_back("open " + target); }
    void StartCommandLine(const std::string& commandLine) override { calls.push_back("start " + commandLine); }
    std::vector<std::string> calls;
};

class FakeMainFormPlatform final : public MainFormPlatform {
  public:
    bool IsOnline() override { return online; }
    NotificationState UserNotificationState() override { return notificationState; }
    bool online = false;
    NotificationState notificationState = NotificationState::AcceptsNotifications;
};

// The program's watch environment on a system whose connection state the test sets.
class BenchWatchEnvironment final : public WatchEnvironment {
  public:
    SocketLayer& Sockets() override { return real.Sockets(); }
    Clock::time_point Now() override { return real.Now(); }
    bool SleepUntil(Clock::time_point until, const std::function<bool()>& stop_requested) override {
        return real.SleepUntil(until, stop_requested);
    }
    bool IsOnline() override { return online; }
    std::uint32_t Random() override { return real.Random(); }

    Win32WatchEnvironment real;
    std::atomic<bool> online = false;
};

class RecordingSettingsDialog final : public SettingsDialogCommands {
  public:
    void Show() override { calls.push_back("show"); }
    void RefreshIntervalLabel() override { calls.push_back("interval label"); }
    void PlayAlertSound() override { calls.push_back("play"); }
    std::vector<std::string> calls;
};

class RecordingTextOwner final : public LanguageTextOwner {
  public:
    void ApplyText(LangTarget target, const std::string& text) override { texts.emplace_back(target, text); }
    std::vector<std::pair<LangTarget, std::string>> texts;
};

// Posts a tick of `timer` as the system delivers one, for a later message pump to handle.
inline void PostTick(TSimpleTimer& timer) {
    HWND timerWindow = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) {
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (std::wstring(name) != L"PigeonetSimpleTimerHandler") {
                return TRUE;
            }
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&timerWindow));
    PostMessageW(timerWindow, WM_TIMER, reinterpret_cast<WPARAM>(&timer), 0);
}

// The objects start-up hands the main window, over the registry root `root`: the real registry, store and poll
// tick, recording stand-ins for the rest.
class MainFormBench {
  public:
    explicit MainFormBench(HKEY root) : userRegistry(root), store(userRegistry) {}

    MainFormParts Parts(LiveSettings& live) {
        return {userRegistry, store,    live,     settingsDialog,   settingsTexts,  editorTexts,
                timer1,       launcher, platform, envelopePlatform, settingsClosed, watchEnvironment};
    }
    // As start-up reads it, before the settings dialog loads, on a system whose display language is `displayLanguage`
    // (Russian unless a test says otherwise).
    LanguageMarks StoredLanguage() {
        return StartLanguageMarks(store, [this] { return displayLanguage; });
    }

    Win32RegistryHive userRegistry;
    SettingsStore store;
    std::uint16_t displayLanguage = 0x0419;  // ru-RU
    TSimpleTimer timer1;
    SettingsDialogClosed settingsClosed{timer1};
    BenchWatchEnvironment watchEnvironment;
    RecordingSettingsDialog settingsDialog;
    RecordingTextOwner settingsTexts;
    RecordingTextOwner editorTexts;
    RecordingLauncher launcher;
    FakeMainFormPlatform platform;
    RecordingEnvelopePlatform envelopePlatform;
};

}  // namespace pigeonet::testing
