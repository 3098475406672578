#include "app/main_form_win32.h"

#include "app/menu_commands.h"
#include "i18n/translation_table.h"
#include "notify/envelope_motion.h"
#include "polling/mailbox_probe.h"
#include "polling/poll_schedule.h"
#include "settings/live_settings.h"
#include "settings/mail_command.h"
#include "tray/tray_badge.h"
#include "util/error_display_win32.h"
#include "util/errors.h"
#include "util/scope_exit.h"
#include "util/unicode_win32.h"

#include <utility>

namespace pigeonet {

namespace {

constexpr int kTimerPeriods[5] = {0, 1000, 1000, 1, 1};  // milliseconds, by timer number
constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr int kEnvelopeSize = 135;  // pixels: the main window is the envelope popup

}  // namespace

void EnableTimer1(TSimpleTimer& timer1) {
    if (!timer1.Active()) {
        timer1.Start();
    }
}

void SettingsDialogClosed::operator()() const {
    EnableTimer1(timer1_);
    if (OnClosed) {
        OnClosed();
    }
}

TForm1::TForm1(ApplicationWindow& application, const MainFormParts& parts, LanguageMarks storedLanguage)
    : application_(application),
      userRegistry_(parts.userRegistry),
      store_(parts.store),
      live_(parts.live),
      settingsDialog_(parts.settingsDialog),
      settingsTexts_(parts.settingsTexts),
      editorTexts_(parts.editorTexts),
      timer1_(parts.timer1),
      launcher_(parts.launcher),
      platform_(parts.platform),
      round_(static_cast<RoundEffects&>(*this),
             parts.live,
             parts.store,
             [] { return std::make_unique<MailboxProbe>(); }),
      statusCaption_("Загрузка..."),
      settingsClosed_(parts.settingsClosed) {
    Create(L"TForm1", WS_EX_TOPMOST | WS_EX_TOOLWINDOW, WS_POPUP, L"Pigeonet", 0, 0, kEnvelopeSize, kEnvelopeSize,
           application.Handle());
    BuildPopupMenu();
    envelope_ = std::make_unique<Envelope>(Handle(), parts.envelopePlatform, static_cast<EnvelopeHost&>(*this));
    // The icon is in the notification area before the creation handler runs, as the window is being built.
    imageList1_ = CreateTrayImageList();
    tray_ = std::make_unique<TrayIcon>(application.Handle(), Handle());
    tray_->ApplyStoredProperties(imageList1_.get(), popupMenu_.get(), [this](TrayIcon&) { TrayIconClick(); });
    tray_->Loaded();
    badge_ = std::make_unique<TrayBadge>(imageList1_.get(), *tray_);
    FormCreate(storedLanguage);
    // The poll tick is a component of this window like the others; its failures go to the error display.
    timer1_.OnTimer = [this] { GuardEvent([this] { Timer1Timer(); }); };
    for (int timer : {1, 3, 4}) {
        SetTimerEnabled(timer, true);
    }
    // A watcher only posts its news: the round runs here, on the GUI thread, and no watcher touches a window.
    watchers_ = std::make_unique<InboxWatchers>(
        parts.watchEnvironment, [window = Handle()](int) { PostMessageW(window, kInboxChangedMessage, 0, 0); });
    settingsClosed_.OnClosed = [this] {
        settingsOpen_ = false;
        GuardEvent([this] {
            FollowAccounts();
            UpdateBadge();
        });
    };
    // The settings are loaded: watch the accounts as they stand.
    FollowAccounts();
}

TForm1::~TForm1() {
    settingsClosed_.OnClosed = nullptr;
    watchers_->Stop(kWatcherStopLimit);
    for (int timer = 1; timer <= 4; ++timer) {
        SetTimerEnabled(timer, false);
    }
    timer1_.OnTimer = nullptr;
    // The icon leaves the notification area at once; the image list and menu outlive the tray.
    tray_.reset();
}

void TForm1::ReportUnreadableValues() {
    const std::string report = store_.Unreadable().TakeReport();
    if (!report.empty()) {
        ShowApplicationError(AppError(report));
    }
}

void TForm1::FormCreate(LanguageMarks storedLanguage) {
    // Parked just below the visible screen, where the envelope rises from.
    SetWindowPos(Handle(), nullptr, 0, GetSystemMetrics(SM_CYSCREEN), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    const auto run = userRegistry_.ReadValue(kRunKey, "pg");
    const bool autostart = run && run->isText && AutostartMarked(run->text, ExecutablePath());
    CheckMenuItem(popupMenu_.get(), kMenuN2, MF_BYCOMMAND | (autostart ? MF_CHECKED : MF_UNCHECKED));

    SetMarks(storedLanguage);
}

void TForm1::BuildPopupMenu() {
    popupMenu_.reset(CreatePopupMenu());
    const HMENU menu = popupMenu_.get();
    languageMenu_ = CreatePopupMenu();
    AppendMenuW(languageMenu_, MF_STRING, kMenuRusha, L"Русский");
    AppendMenuW(languageMenu_, MF_STRING, kMenuEnglish, L"English");
    AppendMenuW(languageMenu_, MF_STRING, kMenuDeutsch, L"Deutsch");

    AppendMenuW(menu, MF_STRING, kMenuN7, L"Проверить почту");
    AppendMenuW(menu, MF_STRING, kMenuN6, L"Открыть почту");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kMenuN1, L"Настройки...");
    AppendMenuW(menu, MF_STRING, kMenuN2, L"Автозагрузка");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kMenuN3, L"Сайт программы");
    AppendMenuW(menu, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(languageMenu_), L"Язык\\Language");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kMenuN4, L"Выход");
    SetMenuDefaultItem(menu, kMenuN6, FALSE);
}

void TForm1::SetTimerEnabled(int timer, bool enabled) {
    if (timer == 1) {
        if (enabled) {
            EnableTimer1(timer1_);
        } else {
            timer1_.Stop();
        }
        return;
    }
    if (enabled) {
        if (timerEnabled_[timer]) {
            // Already running: enabling again keeps its rhythm (a second announcement must not delay the tick).
            return;
        }
        SetTimer(Handle(), static_cast<UINT_PTR>(timer), static_cast<UINT>(kTimerPeriods[timer]), nullptr);
    } else if (timerEnabled_[timer]) {
        KillTimer(Handle(), static_cast<UINT_PTR>(timer));
    }
    timerEnabled_[timer] = enabled;
}

bool TForm1::TimerEnabled(int timer) const {
    return timer == 1 ? timer1_.Active() : timerEnabled_[timer];
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            switch (wParam) {
                case 2:
                    Timer2Timer();
                    return 0;
                case 3:
                    Timer3Timer();
                    return 0;
                case 4:
                    Timer4Timer();
                    return 0;
                default:
                    break;
            }
            break;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kMenuN7:
                    N7Click();
                    return 0;
                case kMenuN6:
                    N6Click();
                    return 0;
                case kMenuN1:
                    N1Click();
                    return 0;
                case kMenuN2:
                    N2Click();
                    return 0;
                case kMenuN3:
                    N3Click();
                    return 0;
                case kMenuN4:
                    N4Click();
                    return 0;
                case kMenuRusha:
                    SelectLanguage(*this, LanguageIndex::Russian, [this](std::int32_t n) { SaveLanguage(n); });
                    return 0;
                case kMenuEnglish:
                    SelectLanguage(*this, LanguageIndex::English, [this](std::int32_t n) { SaveLanguage(n); });
                    return 0;
                case kMenuDeutsch:
                    SelectLanguage(*this, LanguageIndex::German, [this](std::int32_t n) { SaveLanguage(n); });
                    return 0;
                default:
                    break;
            }
            break;
        case WM_LBUTTONDOWN:
            envelopePressed_ = true;
            return 0;
        case WM_LBUTTONUP: {
            // A click is a press and a release on the envelope. Its slide-out pumps messages, so the second click
            // of a double click arrives inside the first: it must not slide the envelope again or open mail twice.
            const bool pressed = std::exchange(envelopePressed_, false);
            if (pressed && !inEnvelopeClick_) {
                inEnvelopeClick_ = true;
                const ScopeExit endClick([this] { inEnvelopeClick_ = false; });
                envelope_->FormClick();
            }
            return 0;
        }
        case WM_SHOWWINDOW:
            // Shown only as the envelope: the program never gets a taskbar button.
            if (wParam) {
                tray_->HideTaskbarButton();
            }
            break;
        case WM_CLOSE:
            // Exit, or another program (an installer) asking the program to end. Inside a round's message pump the
            // round still holds this window: the run ends at once, and the window closes when the round has returned.
            if (round_.Running()) {
                EndRun();
                return 0;
            }
            DestroyWindow(Handle());
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;  // log-off, shutdown or the Restart Manager (ENDSESSION_CLOSEAPP): nothing here objects
        case WM_ENDSESSION:
            if (wParam) {
                // The session ends, or the Restart Manager closes the program: the process may be ended as soon as
                // this returns, so what must be done is done now; the window closes as Exit closes it.
                EndRun();
                PostMessageW(Handle(), WM_CLOSE, 0, 0);
            }
            return 0;
        case kInboxChangedMessage:
            InboxChanged();
            return 0;
        case WM_DESTROY:
            EndRun();
            envelope_->FormDestroy();
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return Window::HandleMessage(message, wParam, lParam);
}

void TForm1::EndRun() {
    if (std::exchange(runEnded_, true)) {
        return;
    }
    idlePump_.abandon_waits();  // a round under way gives up its waits, and none starts any more
    for (int timer = 1; timer <= 4; ++timer) {
        SetTimerEnabled(timer, false);
    }
    // The watchers wind down while the shell removes the icon; each ends (or is left to end on its own) before the
    // message loop does, so the process is gone soon after Exit whatever the servers do.
    watchers_->BeginStop();
    tray_->Withdraw(kIconRemovalLimit);
    watchers_->Stop(kWatcherStopLimit);
}

void TForm1::Timer1Timer() {
    ++PollCounter;
    // While a round runs (the tick comes through its message pump) a due round waits for the first tick after it,
    // rather than being used up by a refused start.
    if (RoundLimit(live_.IntervalPosition()) < PollCounter && !round_.Running()) {
        RoundFromTick();
    }
    const std::string hint = AccountsHint(live_, round_.Health(), LanguageFromMarks(marks_));
    if (tray_->Hint() != hint) {
        tray_->SetHint(hint);
    }
    UpdateBadge();
}

void TForm1::UpdateBadge() {
    badge_->Show(live_.CountOnIcon() ? TotalOfCounts(live_) : 0);
}

void TForm1::RoundFromTick() {
    SetTimerEnabled(1, false);
    PollCounter = 0;
    // The poll tick resumes however the round ends, also when its failure goes on to the error display.
    const ScopeExit resume([this] { SetTimerEnabled(1, true); });
    CheckMailboxes();
}

void TForm1::InboxChanged() {
    if (ProgramClosing()) {
        return;
    }
    if (round_.Running()) {
        // Reported inside the round's message pump: the round may have asked that mailbox already.
        roundPending_ = true;
        return;
    }
    if (settingsOpen_ || !TimerEnabled(1)) {
        // The settings dialog is open: as with check-now, the round waits for the tick its OK or Cancel resumes.
        N7Click();
        return;
    }
    RoundFromTick();
}

void TForm1::FollowAccounts() {
    if (settingsOpen_) {
        return;
    }
    std::vector<Account> accounts;
    const int count = live_.AccountCount();
    accounts.reserve(static_cast<std::size_t>(count));
    for (int index = 0; index < count; ++index) {
        accounts.push_back(live_.AccountAt(index));
    }
    watchers_->Follow(accounts);
}

int TForm1::AnimationSpeed() {
    return live_.AnimationSpeed();
}

int TForm1::DisplayTime() {
    return StoredDisplayTime(store_);
}

void TForm1::StopTrayFlashing() {
    tray_->SetCycleInterval(0);
    tray_->SetIconIndex(0);
}

void TForm1::Timer2Timer() {
    envelope_->Timer2Timer();
}

void TForm1::Timer3Timer() {
    SetTimerEnabled(3, false);
    CheckMailboxes();
}

void TForm1::CheckMailboxes() {
    if (ProgramClosing()) {
        return;
    }
    const ScopeExit afterRound([this] {
        if (round_.Running()) {
            return;
        }
        if (ProgramClosing()) {
            PostMessageW(Handle(), WM_CLOSE, 0, 0);
        } else if (std::exchange(roundPending_, false)) {
            // The change reported during the round gets a round of its own, as soon as this one has returned.
            PostMessageW(Handle(), kInboxChangedMessage, 0, 0);
        }
    });
    try {
        round_.CheckMailboxes();
    } catch (...) {
        ReportUnreadableValues();
        if (ApplicationErrorShowing()) {
            // This round runs inside the message loop of a box that still waits for its OK: an unattended PC would
            // gather one more box every round. The failure stays in its account's tooltip line instead.
            return;
        }
        throw;
    }
    UpdateBadge();  // the counts the round stored, at once rather than at the next tick
    ReportUnreadableValues();
}

bool TForm1::IsOnline() {
    return platform_.IsOnline();
}

std::string TForm1::FirstStartHint() {
    // From the language marks rather than a text the language switch sets: the first round may come before the
    // stored language is applied.
    constexpr std::size_t kFirstStartHintLine = 50;
    return GetSubStr(tLang[kFirstStartHintLine], ';', static_cast<std::int64_t>(LanguageFromMarks(marks_)) + 1);
}

void TForm1::ShowTrayBalloon(const std::string& title, const std::string& text, int kind, int seconds) {
    tray_->ShowBalloon(title, text, static_cast<BalloonIcon>(kind), static_cast<unsigned>(seconds));
}

void TForm1::ShowEnvelope(int count, const std::string& email) {
    envelope_->ShowEnvelope(count, email);
}

void TForm1::SlideIn() {
    envelope_->SlideIn();
}

void TForm1::PlayAlertSound() {
    settingsDialog_.PlayAlertSound();
}

void TForm1::TrayIconClick() {
    if (tray_->CycleInterval() != 0) {
        N6Click();
    }
}

void TForm1::Timer4Timer() {
    SetTimerEnabled(4, false);
    Lang(*this, [this](std::int32_t n) { SaveLanguage(n); });
}

void TForm1::SaveLanguage(std::int32_t lang) {
    store_.SaveInt(kSettingsSection, "lang", lang);
}

void TForm1::SetMarks(const LanguageMarks& marks) {
    marks_ = marks;
    const std::pair<UINT, bool> items[] = {
        {kMenuRusha, marks.russian}, {kMenuEnglish, marks.english}, {kMenuDeutsch, marks.german}};
    for (const auto& [command, checked] : items) {
        CheckMenuItem(languageMenu_, command, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
    }
}

void TForm1::SetMenuCaption(UINT command, const std::string& text) {
    const std::wstring caption = Widen(text);
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STRING;
    item.dwTypeData = const_cast<wchar_t*>(caption.c_str());
    SetMenuItemInfoW(popupMenu_.get(), command, FALSE, &item);
}

void TForm1::SetText(LangTarget target, const std::string& text) {
    switch (target) {
        case LangTarget::MenuN4:
            SetMenuCaption(kMenuN4, text);
            break;
        case LangTarget::MenuN3:
            SetMenuCaption(kMenuN3, text);
            break;
        case LangTarget::MenuN2:
            SetMenuCaption(kMenuN2, text);
            break;
        case LangTarget::MenuN1:
            SetMenuCaption(kMenuN1, text);
            break;
        case LangTarget::MenuN6:
            SetMenuCaption(kMenuN6, text);
            break;
        case LangTarget::MenuN7:
            SetMenuCaption(kMenuN7, text);
            break;
        case LangTarget::MainLabel8:
            statusCaption_ = text;
            break;
        default: {
            // The dialogs' targets, each to the window that shows it.
            LanguageTextOwner& owner = WindowOfTarget(target) == LangWindow::Editor ? editorTexts_ : settingsTexts_;
            owner.ApplyText(target, text);
            break;
        }
    }
}

void TForm1::RefreshIntervalLabel() {
    settingsDialog_.RefreshIntervalLabel();
}

void TForm1::N7Click() {
    PollCounter = RoundLimit(live_.IntervalPosition()) + 1;
}

void TForm1::N6Click() {
    const std::string target = live_.MailProgram();
    if (IsWebMailAddress(target)) {
        launcher_.OpenWithShell(application_.Handle(), target);
    } else if (tray_->CycleInterval() == 0) {
        // While the icon flashes a click on it only stops the flashing; the default item then starts the program.
        launcher_.StartCommandLine(target);
    }
    tray_->SetCycleInterval(0);
    tray_->SetIconIndex(0);
    ProcessPendingMessages();
}

void TForm1::N1Click() {
    SetTimerEnabled(1, false);
    settingsOpen_ = true;
    settingsDialog_.Show();
}

void TForm1::N2Click() {
    const bool checked = GetMenuState(popupMenu_.get(), kMenuN2, MF_BYCOMMAND) & MF_CHECKED;
    // The Run key is written only when it exists; a failed write is not reported.
    if (userRegistry_.KeyExists(kRunKey)) {
        userRegistry_.WriteText(kRunKey, "pg", checked ? std::string() : AutostartCommand(ExecutablePath()));
    }
    CheckMenuItem(popupMenu_.get(), kMenuN2, MF_BYCOMMAND | (checked ? MF_UNCHECKED : MF_CHECKED));
}

void TForm1::N3Click() {
    launcher_.OpenWithShell(application_.Handle(), std::string(kWebSiteAddress));
}

void TForm1::N4Click() {
    PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

}  // namespace pigeonet
