#pragma once

#include "app/application_win32.h"
#include "app/platform_win32.h"
#include "i18n/language.h"
#include "notify/envelope_win32.h"
#include "polling/check_round.h"
#include "polling/idle_pump_win32.h"
#include "polling/inbox_watch.h"
#include "settings/settings_store.h"
#include "tray/simple_timer_win32.h"
#include "tray/tray_badge_win32.h"
#include "tray/tray_icon_win32.h"
#include "tray/tray_pictures_win32.h"
#include "util/handles_win32.h"
#include "util/registry_hive.h"
#include "util/window_win32.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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

// What the settings dialog does for the main window: the settings command shows it; the language switch and the
// announcement use two of its handlers.
class SettingsDialogCommands {
  public:
    virtual ~SettingsDialogCommands() = default;
    // Shows the settings dialog, non-modal.
    virtual void Show() = 0;
    // Rewrites the interval label in the applied language.
    virtual void RefreshIntervalLabel() = 0;
    // The dialog's Play handler: plays the chosen alert sound.
    virtual void PlayAlertSound() = 0;
};

// The settings dialog's OK and Cancel as start-up hands them to the dialog, which is built before the main window:
// they switch the poll tick on again, then run `OnClosed`, a handler the main window sets while it exists.
class SettingsDialogClosed {
  public:
    explicit SettingsDialogClosed(TSimpleTimer& timer1) : timer1_(timer1) {}
    void operator()() const;

    std::function<void()> OnClosed;

  private:
    TSimpleTimer& timer1_;
};

// The private message a watcher's news arrives by: the mailbox of one watched account changed.
inline constexpr UINT kInboxChangedMessage = WM_APP + 25;
// How long Exit waits for the watchers to end before the program goes on ending without them.
inline constexpr std::chrono::milliseconds kWatcherStopLimit{500};
// How long Exit waits for the shell to confirm that the tray icon is gone; a slower shell still removes it.
inline constexpr std::chrono::milliseconds kIconRemovalLimit{250};

// What the main window is built from: the objects start-up makes before it, each in use for the whole run.
struct MainFormParts {
    RegistryHive& userRegistry;  // the current user's registry, for the Run key
    SettingsStore& store;
    LiveSettings& live;  // the settings dialog's controls
    SettingsDialogCommands& settingsDialog;
    LanguageTextOwner& settingsTexts;  // the settings dialog's share of the language switch
    LanguageTextOwner& editorTexts;    // the account editor's share
    TSimpleTimer& timer1;              // the poll tick: the main window handles its ticks and starts it
    ProgramLauncher& launcher;
    MainFormPlatform& platform;
    EnvelopePlatform& envelopePlatform;
    SettingsDialogClosed& settingsClosed;  // the main window follows the accounts again when the dialog closes
    WatchEnvironment& watchEnvironment;    // where the inbox watchers connect from
};

// Switches the poll tick `Timer1` on; one that runs already keeps its rhythm (a second announcement must not
// delay the tick).
void EnableTimer1(TSimpleTimer& timer1);

// The main window: never shown except as the envelope popup, it carries the tray icon and its menu, the timers,
// the status caption and the language marks, and runs the check rounds.
class TForm1 final : public Window, public LanguageSurface, private RoundEffects, private EnvelopeHost {
  public:
    // Creates the window (owned by the application window), the tray icon, the envelope and the check round, and
    // runs its creation handler. `storedLanguage`: the language marks for the stored "lang", read by start-up
    // before the settings dialog loads, so an unreadable "lang" heads the report of unreadable values.
    TForm1(ApplicationWindow& application, const MainFormParts& parts, LanguageMarks storedLanguage);
    ~TForm1() override;

    // Shows the stored values found unreadable since the last report and not reported before in this run, if any.
    void ReportUnreadableValues();

    TrayIcon& Tray() { return *tray_; }
    // `CheckMailboxes`: one check round (refused while one runs).
    void CheckMailboxes();
    bool ConnectNoticeShown() const { return round_.ConnectNoticeShown; }
    // A watcher saw the mailbox of an account change: a round now, as check-now would start it but without waiting
    // for the next tick; during a round, one more right after it (never more than one waits).
    void InboxChanged();
    // Brings the inbox watchers in line with the live accounts (not while the settings dialog is open).
    void FollowAccounts();
    const InboxWatchers& Watchers() const { return *watchers_; }
    // What must be done before the process may end, once (closing the window does it): no round starts any more,
    // the icon leaves the notification area and the watchers end. Everything worth keeping is in the registry
    // already (settings at OK, the language when applied, each count after its probe), so nothing is left to save.
    void EndRun();

    SettingsStore& Store() { return store_; }
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
    void FormCreate(LanguageMarks storedLanguage);
    void BuildPopupMenu();
    void SetMenuCaption(UINT command, const std::string& text);
    void Timer1Timer();
    // The count on the tray icon, in line with the option and the accounts' last counts.
    void UpdateBadge();
    // A round started the way the poll tick starts one: the tick pauses and counts afresh after it.
    void RoundFromTick();
    void Timer2Timer();
    void TrayIconClick();
    void Timer3Timer();
    void Timer4Timer();
    void SaveLanguage(std::int32_t lang);

    // RoundEffects: what a round does to the tray, the pump and the announcement.
    bool IsOnline() override;
    std::string StatusCaption() override { return statusCaption_; }
    NotificationState UserNotificationState() override { return platform_.UserNotificationState(); }
    std::string FirstStartHint() override;
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

    // EnvelopeHost: what the envelope reads and does beyond its own window.
    int AnimationSpeed() override;
    int DisplayTime() override;
    void SetTimer2Enabled(bool enabled) override { SetTimerEnabled(2, enabled); }
    void StopTrayFlashing() override;
    void OpenMail() override { N6Click(); }
    LanguageIndex InterfaceLanguage() override { return LanguageFromMarks(marks_); }

    ApplicationWindow& application_;
    RegistryHive& userRegistry_;
    SettingsStore& store_;
    LiveSettings& live_;
    SettingsDialogCommands& settingsDialog_;
    LanguageTextOwner& settingsTexts_;
    LanguageTextOwner& editorTexts_;
    TSimpleTimer& timer1_;
    ProgramLauncher& launcher_;
    MainFormPlatform& platform_;
    UniqueMenu popupMenu_;
    UniqueImageList imageList1_;
    std::unique_ptr<TrayIcon> tray_;
    std::unique_ptr<TrayBadge> badge_;  // draws on imageList1_ for tray_
    CheckRound round_;
    // The envelope popup is this window; it draws, slides and times itself.
    std::unique_ptr<Envelope> envelope_;
    // Processes GUI messages while a probe waits on the network; registered from creation to the end of the run.
    Win32IdlePump idlePump_;
    HMENU languageMenu_ = nullptr;  // owned by popupMenu_
    LanguageMarks marks_{};
    std::string statusCaption_;
    bool timerEnabled_[5] = {};     // Timer2 to Timer4; Timer1 knows its own state
    bool envelopePressed_ = false;  // the left button went down on the envelope
    bool inEnvelopeClick_ = false;
    SettingsDialogClosed& settingsClosed_;
    bool roundPending_ = false;  // a change was reported while a round ran
    bool settingsOpen_ = false;  // from the settings command to the dialog's OK or Cancel
    bool runEnded_ = false;      // EndRun has run
    // Last: its watchers end before anything they report to is gone.
    std::unique_ptr<InboxWatchers> watchers_;
};

}  // namespace pigeonet
