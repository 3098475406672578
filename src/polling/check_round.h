#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "polling/mailbox_health.h"

namespace pigeonet {

class LiveSettings;
class MailboxProbe;
class SettingsStore;

// What Windows says of the user's readiness for notifications (SHQueryUserNotificationState). Busy, a full-screen
// Direct3D program, presentation mode and quiet time ask for silence; every other state accepts notifications.
enum class NotificationState {
    AcceptsNotifications,
    NotPresent,  // screen saver, locked or switched away: nothing asks for silence
    Busy,
    RunningDirect3dFullScreen,
    PresentationMode,
    QuietTime,
    App,  // a Windows Store app runs full screen: its own notifications still show
};

// True for the states in which an announcement keeps its envelope and sound to itself.
bool AsksForQuiet(NotificationState state);

// What a check round does to the rest of the program: the tray icon, the pump, and the announcement of arrived
// mail (envelope, sound, display timer). The main window implements it; tests record it.
class RoundEffects {
  public:
    virtual ~RoundEffects() = default;

    // True when the system reports an Internet connection; a failed query counts as offline.
    virtual bool IsOnline() = 0;
    // The status word of the "checking" hint (the main window's status label, in the applied language).
    virtual std::string StatusCaption() = 0;
    virtual void SetTrayHint(const std::string& hint) = 0;
    virtual void SetTrayIconIndex(int index) = 0;
    // Kind 0 is a balloon without an icon, 1 one with the information icon; the time-out is in whole seconds.
    virtual void ShowTrayBalloon(const std::string& title, const std::string& text, int kind, int seconds) = 0;
    // The user's readiness for notifications, read at each announcement; a failed query accepts them.
    virtual NotificationState UserNotificationState() = 0;
    // The first start's hint (UTF-8) in the language in effect, "" for one without texts.
    virtual std::string FirstStartHint() = 0;
    // 400 starts the tray icon flashing.
    virtual void SetTrayCycleInterval(unsigned milliseconds) = 0;
    virtual void ProcessMessages() = 0;
    // True once the user has asked the program to end (the request arrives through ProcessMessages): the round
    // then stops at its next step, announces nothing and reports no failure.
    virtual bool ProgramClosing() = 0;

    // The announcement, in this order: envelope drawn with the count and the address, slid up, sound played,
    // display timer started.
    virtual void ShowEnvelope(int count, const std::string& email) = 0;
    virtual void SlideIn() = 0;
    virtual void PlayAlertSound() = 0;
    virtual void StartDisplayTimer() = 0;
};

// The check round: asks every account's mailbox for its count (POP3: the message count, IMAP: the INBOX's unread
// count), keeps the counts in the account rows and the store, and announces the first account with news, which ends
// the round: a non-zero POP3 count that rose since the last successful check (with the only-new option off: that
// changed), or a non-zero IMAP unread count with mail arrived since the last check (UIDNEXT grown under the same
// UIDVALIDITY, or no UIDNEXT stored yet). While the user asks for quiet (and the quiet option is on) an announcement
// only flashes the icon, when that option is on: no envelope, no sound. The first round of a run with no accounts
// shows a balloon telling the user how to add one.
//
// Choices where the account list may change under a round (the round pumps messages, so the settings dialog can
// add or delete rows meanwhile): a change of the list ends the round at the next step that would read or write a
// row, so no row is read out of range and no count is written to another account; the next round starts from
// the new list. The probe is released however the round ends. A round asked for while one runs (the start-up
// round outlasting the poll limit, say) is refused.
class CheckRound {
  public:
    using ProbeFactory = std::function<std::unique_ptr<MailboxProbe>()>;

    CheckRound(RoundEffects& effects, LiveSettings& live, SettingsStore& store, ProbeFactory makeProbe);

    // `CheckMailboxes`. Failures of STAT, STATUS, QUIT or LOGOUT, and a port text that is not a number, end the round
    // and reach the caller; failures to open a mailbox skip the account silently.
    void CheckMailboxes();

    bool Running() const { return running_; }
    // What went wrong at each account's last check: a failure to open it, or the failure that ended a round there.
    // A later successful check of the account clears it.
    const MailboxHealth& Health() const { return health_; }
    // Once per run: whether the "connected" balloon decision was made.
    bool ConnectNoticeShown = false;
    // Once per run: whether the first round has decided on the hint for a start without accounts.
    bool FirstStartHintDecided = false;

    static constexpr int kReadTimeoutMs = 5000;
    // However a server trickles, one reply ends within a minute, so one server cannot hold the round (and with it
    // every later round) for ever.
    static constexpr int kReplyTimeoutMs = 60000;
    static constexpr unsigned kFlashIntervalMs = 400;
    static constexpr int kFirstStartHintSeconds = 20;
    static constexpr int kBalloonInfo = 1;  // the balloon kind with the information icon

  private:
    void ProbeAccounts(MailboxProbe& probe);
    // STAT, or STATUS for IMAP, of the open account at `index`, its count stored and announced when due; false when
    // the round ends there (announced, or the list changed meanwhile).
    bool CountMessages(MailboxProbe& probe, int index, const std::string& email, const std::function<bool()>& goOn);
    bool CountUnread(MailboxProbe& probe, int index, const std::string& email, const std::function<bool()>& goOn);
    void StoreCount(int index, int count);
    // Notes the failure that ends the round at `account` before it goes on to the caller.
    void RecordRoundFailure(const Account& account, const std::exception& failure);
    void Announce(int count, const std::string& email);

    RoundEffects& effects_;
    LiveSettings& live_;
    SettingsStore& store_;
    ProbeFactory makeProbe_;
    bool running_ = false;
    MailboxHealth health_;
};

}  // namespace pigeonet
