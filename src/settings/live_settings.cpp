#include "settings/live_settings.h"

#include "settings/settings_store.h"
#include "util/text.h"

#include <algorithm>

namespace pigeonet {

namespace {

std::string Indexed(const char* name, int index) {
    return name + std::to_string(index);
}

}  // namespace

void LoadSettingsInto(const SettingsStore& store,
                      SettingsValues& values,
                      const std::function<std::string()>& defaultMailCommand,
                      const std::string& noSoundEntry) {
    const auto section = kSettingsSection;
    values.accounts.clear();
    values.animationSpeed = std::clamp(store.LoadInt(section, "speed", 3), 0, kMaxAnimationSpeed);
    values.intervalPosition = std::clamp(store.LoadInt(section, "timer", 9), 0, kMaxIntervalPosition);
    values.flashIcon = store.LoadFlag(section, "hit", true);
    values.displayTime = std::clamp(store.LoadInt(section, "infotime", 8), kMinDisplayTime, kMaxDisplayTime);
    values.connectNotice = store.LoadFlag(section, "infoconect", false);

    // A corrupt "list" (two thousand million, say) must not keep the start busy for hours.
    const int count = std::min(store.LoadInt(section, "list", 0), kMaxLoadedAccounts);
    for (int i = 0; i < count; ++i) {
        // The row is there before its fields are read, as the list shows it when a read fails half way.
        Account& account = values.accounts.emplace_back();
        account.email = store.LoadText(section, Indexed("email", i), "");
        account.server = store.LoadText(section, Indexed("smtp", i), "");
        account.login = store.LoadText(section, Indexed("log", i), "");
        account.password = store.LoadText(section, Indexed("pas", i), "");
        account.count = std::to_string(store.LoadInt(section, Indexed("count", i), 0));
        account.port = std::to_string(store.LoadInt(section, Indexed("port", i), 110));
    }

    values.mailProgram = store.LoadText(section, "exe", defaultMailCommand());
    values.sound = store.LoadText(section, "wav", noSoundEntry);
}

void SaveLiveSettings(SettingsStore& store, const LiveSettings& settings) {
    const auto section = kSettingsSection;
    store.SaveInt(section, "speed", settings.AnimationSpeed());
    store.SaveFlag(section, "hit", settings.FlashIcon());
    store.SaveText(section, "wav", settings.Sound());
    store.SaveText(section, "exe", settings.MailProgram());
    store.SaveInt(section, "timer", settings.IntervalPosition());
    const int count = settings.AccountCount();
    store.SaveInt(section, "list", count);
    for (int i = 0; i < count; ++i) {
        const Account account = settings.AccountAt(i);
        store.SaveText(section, Indexed("email", i), account.email);
        store.SaveText(section, Indexed("smtp", i), account.server);
        store.SaveText(section, Indexed("log", i), account.login);
        store.SaveText(section, Indexed("pas", i), account.password);
        store.SaveInt(section, Indexed("count", i), StrToInt(account.count));
        store.SaveInt(section, Indexed("port", i), StrToInt(account.port));
    }
    store.SaveInt(section, "infotime", settings.DisplayTime());
    store.SaveFlag(section, "infoconect", settings.ConnectNotice());
}

}  // namespace pigeonet
