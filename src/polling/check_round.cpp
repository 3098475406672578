#include "polling/check_round.h"

#include "polling/mailbox_probe.h"
#include "settings/live_settings.h"
#include "settings/settings_store.h"
#include "util/scope_exit.h"
#include "util/text.h"

namespace pigeonet {

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
        probe.set_host(account.server);
        probe.set_user(account.login);
        probe.set_password(account.password);
        probe.set_port(StrToInt(account.port));
        probe.set_read_timeout(kReadTimeoutMs);
        probe.set_reply_timeout(kReplyTimeoutMs);

        bool connected = false;
        try {
            probe.ConnectMailbox(-1);
            connected = true;
        } catch (const ProbeError&) {
            // An unreachable server, a refused login or a timeout skips the account for this round, silently.
        }
        effects_.ProcessMessages();

        if (connected) {
            const int count = probe.StatMessageCount();
            if (!goOn()) {
                // The row may now be another account: keep its count unwritten; the next round asks again.
                return;
            }
            const int previous = StrToInt(live_.AccountAt(i).count);
            live_.SetAccountCount(i, std::to_string(count));
            store_.SaveInt(kSettingsSection, "count" + std::to_string(i), count);
            if (count > 0 && count != previous) {
                if (live_.FlashIcon()) {
                    effects_.SetTrayCycleInterval(kFlashIntervalMs);
                }
                effects_.ShowEnvelope(count, account.email);
                effects_.SlideIn();
                effects_.PlayAlertSound();
                effects_.StartDisplayTimer();
                // No QUIT for this account: the connection ends when the probe is released.
                return;
            }
        }
        probe.CloseMailbox();
        effects_.ProcessMessages();
    }
}

}  // namespace pigeonet
