#include "polling/check_round.h"

#include <cstdint>
#include <limits>
#include <optional>

#include "polling/mailbox_probe.h"
#include "settings/account_protocol.h"
#include "settings/live_settings.h"
#include "settings/settings_store.h"
#include "util/scope_exit.h"
#include "util/text.h"

namespace pigeonet {

namespace {

// A stored UID mark: decimal digits that fit 32 bits. "0" (nothing stored yet) and anything unreadable give nothing.
std::optional<std::uint32_t> StoredMark(const std::string& text) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const std::uint64_t value = std::stoull(text);
    if (value == 0 || value > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

bool AsksForQuiet(NotificationState state) {
    switch (state) {
        case NotificationState::Busy:
        case NotificationState::RunningDirect3dFullScreen:
        case NotificationState::PresentationMode:
        case NotificationState::QuietTime:
            return true;
        default:
            return false;
    }
}

CheckRound::CheckRound(RoundEffects& effects, LiveSettings& live, SettingsStore& store, ProbeFactory makeProbe)
    : effects_(effects), live_(live), store_(store), makeProbe_(std::move(makeProbe)) {}

void CheckRound::CheckMailboxes() {
    if (running_ || !effects_.IsOnline()) {
        return;
    }
    running_ = true;
    const ScopeExit finish([this] { running_ = false; });

    effects_.SetTrayHint("Pigeonet - " + effects_.StatusCaption() + "...");
    effects_.SetTrayIconIndex(0);
    if (!ConnectNoticeShown) {
        // A value that cannot be read counts as off; the store notes it for the one report of this run.
        if (store_.ReadFlag(kSettingsSection, "infoconect", false)) {
            // The notice is this Russian text whatever the language.
            effects_.ShowTrayBalloon("Pigeonet", "Подключение к e-mail выполнено!", 0, 10);
        }
        ConnectNoticeShown = true;
    }
    if (!FirstStartHintDecided) {
        FirstStartHintDecided = true;
        // Only the icon shows at a first start: without a word the user has no idea where the program is.
        if (const std::string hint = effects_.FirstStartHint(); live_.AccountCount() == 0 && !hint.empty()) {
            effects_.ShowTrayBalloon("Pigeonet", hint, kBalloonInfo, kFirstStartHintSeconds);
        }
    }
    health_.KeepOnly(live_);
    const std::unique_ptr<MailboxProbe> probe = makeProbe_();
    effects_.ProcessMessages();
    try {
        ProbeAccounts(*probe);
    } catch (const std::exception&) {
        if (!effects_.ProgramClosing()) {
            throw;
        }
        // Nobody is left to tell: the program is ending.
    }
}

void CheckRound::ProbeAccounts(MailboxProbe& probe) {
    const int accounts = live_.AccountCount();
    const auto revision = live_.AccountListRevision();
    const auto listUnchanged = [&] { return live_.AccountListRevision() == revision; };
    const auto goOn = [&] { return listUnchanged() && !effects_.ProgramClosing(); };

    for (int i = 0; i < accounts && goOn(); ++i) {
        const Account account = live_.AccountAt(i);
        const MailProtocol protocol = ParseMailProtocol(account.protocol).value_or(MailProtocol::Pop3);
        probe.set_host(account.server);
        probe.set_user(account.login);
        probe.set_password(account.password);
        probe.set_port(StrToInt(account.port));
        probe.set_protocol(protocol);
        // An unknown text leaves the choice to the port, as for accounts stored before there was a choice.
        probe.set_security(ParseConnectionSecurity(account.security));
        probe.set_read_timeout(kReadTimeoutMs);
        probe.set_reply_timeout(kReplyTimeoutMs);

        bool connected = false;
        try {
            probe.ConnectMailbox(-1);
            connected = true;
        } catch (const ProbeError& failure) {
            // An unreachable server, a refused login or a timeout skips the account for this round, silently: only
            // its tooltip line names the failure, until a later check of it succeeds.
            if (!effects_.ProgramClosing()) {
                health_.RecordFailure(account, ClassifyOpenFailure(failure));
            }
        }
        effects_.ProcessMessages();

        try {
            if (connected) {
                const bool goesOn = protocol == MailProtocol::Imap ? CountUnread(probe, i, account.email, goOn)
                                                                   : CountMessages(probe, i, account.email, goOn);
                if (!goesOn) {
                    return;
                }
            }
            probe.CloseMailbox();
        } catch (const std::exception& failure) {
            RecordRoundFailure(account, failure);
            throw;
        }
        effects_.ProcessMessages();
    }
}

void CheckRound::RecordRoundFailure(const Account& account, const std::exception& failure) {
    if (effects_.ProgramClosing()) {
        return;
    }
    const auto* probeFailure = dynamic_cast<const ProbeError*>(&failure);
    const std::optional<MailboxFailure> named = probeFailure ? ClassifyCountFailure(*probeFailure) : std::nullopt;
    if (named) {
        health_.RecordFailure(account, *named);
        return;
    }
    // The message's first line: a server's refusal reads on one line of the tooltip.
    const std::string message = failure.what();
    const std::size_t start = message.find_first_not_of("\r\n ");
    const std::string firstLine = start == std::string::npos
                                      ? std::string()
                                      : message.substr(start, message.find_first_of("\r\n", start) - start);
    health_.RecordFailure(account, firstLine.empty() ? std::string("?") : firstLine);
}

bool CheckRound::CountMessages(MailboxProbe& probe,
                               int index,
                               const std::string& email,
                               const std::function<bool()>& goOn) {
    const int count = probe.StatMessageCount();
    if (!goOn()) {
        // The row may now be another account: keep its count unwritten; the next round asks again.
        return false;
    }
    const int previous = StrToInt(live_.AccountAt(index).count);
    StoreCount(index, count);
    // Mail deleted or fetched elsewhere lowers the count: that is no news, unless the user wants every change.
    const bool news = live_.AnnounceOnlyNew() ? count > previous : count != previous;
    if (count > 0 && news) {
        Announce(count, email);
        return false;
    }
    return true;
}

// IMAP counts the unread messages, and announces them only when mail has arrived since the last successful check:
// an unread count that fell (mail read elsewhere) or stayed is stored without a word.
bool CheckRound::CountUnread(MailboxProbe& probe,
                             int index,
                             const std::string& email,
                             const std::function<bool()>& goOn) {
    const MailboxStatus status = probe.InboxStatus();
    if (status.unseen > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
        throw ConversionError(std::to_string(status.unseen));
    }
    if (!goOn()) {
        return false;
    }
    const int count = static_cast<int>(status.unseen);
    const Account stored = live_.AccountAt(index);
    const std::optional<std::uint32_t> lastNext = StoredMark(stored.uidnext);
    const std::optional<std::uint32_t> lastValidity = StoredMark(stored.uidvalidity);
    // A new UIDVALIDITY renumbers the mailbox: its UIDNEXT says nothing about arrivals.
    const bool arrived = !lastNext || (lastValidity == status.uidvalidity && status.uidnext > *lastNext);
    StoreCount(index, count);
    const std::string uidnext = std::to_string(status.uidnext);
    const std::string uidvalidity = std::to_string(status.uidvalidity);
    live_.SetAccountUids(index, uidnext, uidvalidity);
    store_.SaveText(kSettingsSection, "uidnext" + std::to_string(index), uidnext);
    store_.SaveText(kSettingsSection, "uidvalidity" + std::to_string(index), uidvalidity);
    if (count > 0 && arrived) {
        Announce(count, email);
        return false;
    }
    return true;
}

void CheckRound::StoreCount(int index, int count) {
    // The mailbox answered: whatever failed before is over.
    health_.RecordSuccess(live_.AccountAt(index));
    live_.SetAccountCount(index, std::to_string(count));
    store_.SaveInt(kSettingsSection, "count" + std::to_string(index), count);
}

// Ends the round, also when it stays quiet: no QUIT or LOGOUT for this account, the connection ends when the probe is
// released.
void CheckRound::Announce(int count, const std::string& email) {
    if (live_.FlashIcon()) {
        effects_.SetTrayCycleInterval(kFlashIntervalMs);
    }
    // Read now, not at the round's start: a presentation may have begun while the mailboxes answered.
    if (live_.QuietWhileBusy() && AsksForQuiet(effects_.UserNotificationState())) {
        return;
    }
    effects_.ShowEnvelope(count, email);
    effects_.SlideIn();
    effects_.PlayAlertSound();
    effects_.StartDisplayTimer();
}

}  // namespace pigeonet
