#pragma once

#include "app/application_win32.h"
#include "app/platform_win32.h"
#include "i18n/language.h"
#include "notify/envelope_win32.h"
#include "polling/check_round.h"
#include "polling/idle_pump_win32.h"
#include "settings/settings_store.h"
#include "tray/tray_icon_win32.h"
#include "tray/tray_pictures_win32.h"
#include "util/handles_win32.h"
#include "util/registry_win32.h"
#include "util/window_win32.h"

#include <functional>
#include <memory>
#include <string>

namespace pigeonet {

class LiveSettings;

// Command ids of the tray menu `PopupMenu1`.
enum MenuCommand : UINT {
    kMenuN7 = 100,  // check now
    kMenuN6,        // open mail (default item)
    kMenuN1,        // settings
    kMenuN2,        // autostart
    kMenuN3,        // web site
    kMenuRusha,
    kMenuEnglish,
    kMenuDeutsch,
    kMenuKazah,  // hidden: never inserted into the menu, its mark lives only in the program
    kMenuN4,     // exit
};

// What the main window needs from the rest of the program, wired by start-up once every window exists.
struct MainFormWiring {
    LiveSettings* live = nullptr;                                       // the settings dialog's controls
    std::function<void()> showSettings;                                 // shows the settings dialog, non-modal
    std::function<void(LangTarget, const std::string&)> setDialogText;  // a dialog or editor text
    std::function<void()> refreshIntervalLabel;
    std::function<void()> playAlertSound;  // the settings dialog's Play handler
};

// Platform queries of the main window that tests replace.
struct MainFormSeams {
    // Whether the system reports an Internet connection (InternetGetConnectedState); a failed query is offline.
    std::function<bool()> isOnline;
};

// The main window: never shown except as the envelope popup, it carries the tray icon and its menu, the timers,
// the status caption and the language marks, and owns the settings store for the whole run.
class TForm1 final : public Window, public LanguageSurface, private RoundEffects {
  public:
    // Creates the window (owned by the application window) and runs its creation handler. When another instance
    // runs, the process ends inside with exit code 0.
    TForm1(ApplicationWindow& application, HKEY userRoot, ProgramLauncher& launcher, MainFormSeams seams = {});
    ~TForm1() override;

    // Connects the windows created after this one; the check round exists from here on. Then shows, in one box,
    // every stored value the windows could not read while they were created.
    void Wire(MainFormWiring wiring);
    // Shows the stored values found unreadable since the last report and not reported before in this run, if any.
    void ReportUnreadableValues();

    TrayIcon& Tray() { return *tray_; }
    // `CheckMailboxes`: one check round (refused while one runs).
    void CheckMailboxes();
    bool ConnectNoticeShown() const { return round_ && round_->ConnectNoticeShown; }

    SettingsStore& Store() { return *store_; }
    RegistryHive& UserRegistry() { return userRegistry_; }
    HMENU PopupMenu1() const { return popupMenu_.get(); }

    // Timers: `Timer1` poll tick, `Timer2` envelope display time, `Timer3` first round, `Timer4` first language.
    void SetTimerEnabled(int timer, bool enabled);
    bool TimerEnabled(int timer) const;

    // Menu commands.
    void N7Click();
    void N6Click();
    void N1Click();
    void N2Click();
    void N3Click();
    void N4Click();

    int PollCounter = 0;

    // LanguageSurface.
    LanguageMarks Marks() const override { return marks_; }
    void SetMarks(const LanguageMarks& marks) override;
    void SetText(LangTarget target, const std::string& text) override;
    void RefreshIntervalLabel() override;

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void FormCreate();
    void BuildPopupMenu();
    void SetMenuCaption(UINT command, const std::string& text);
    void Timer1Timer();
    void Timer2Timer();
    EnvelopeSeams EnvelopeWiring();
    void TrayIconClick();
    void Timer3Timer();
    void Timer4Timer();
    void SaveLanguage(std::int32_t lang);

    // RoundEffects: what a round does to the tray, the pump and the announcement.
    bool IsOnline() override;
    std::string StatusCaption() override { return statusCaption_; }
    void SetTrayHint(const std::string& hint) override { tray_->SetHint(hint); }
    void SetTrayIconIndex(int index) override { tray_->SetIconIndex(index); }
    void ShowTrayBalloon(const std::string& title, const std::string& text, int kind, int seconds) override;
    void SetTrayCycleInterval(unsigned milliseconds) override { tray_->SetCycleInterval(milliseconds); }
    void ProcessMessages() override { ProcessPendingMessages(); }
    // Exit was asked for while a round ran: the round's waits are given up from then on.
    bool ProgramClosing() override { return idlePump_.waits_abandoned(); }
    void ShowEnvelope(int count, const std::string& email) override;
    void SlideIn() override;
    void PlayAlertSound() override;
    void StartDisplayTimer() override { SetTimerEnabled(2, true); }

    ApplicationWindow& application_;
    ProgramLauncher& launcher_;
    Win32RegistryHive userRegistry_;
    std::unique_ptr<SettingsStore> store_;  // opened by the creation handler, after the single-instance test
    MainFormSeams seams_;
    MainFormWiring wiring_;
    UniqueMenu popupMenu_;
    UniqueImageList imageList1_;
    std::unique_ptr<TrayIcon> tray_;
    std::unique_ptr<CheckRound> round_;
    // The envelope popup is this window; it draws, slides and times itself.
    std::unique_ptr<Envelope> envelope_;
    // Processes GUI messages while a probe waits on the network; registered from creation to the end of the run.
    Win32IdlePump idlePump_;
    HMENU languageMenu_ = nullptr;  // owned by popupMenu_
    LanguageMarks marks_{};
    std::string statusCaption_;
    bool timerEnabled_[5] = {};
    bool envelopePressed_ = false;  // the left button went down on the envelope
    bool inEnvelopeClick_ = false;
};

}  // namespace pigeonet
