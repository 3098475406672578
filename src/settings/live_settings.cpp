#include "settings/live_settings.h"

#include "settings/account_protocol.h"
#include "settings/settings_store.h"
#include "util/errors.h"
#include "util/text.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace pigeonet {

namespace {

std::string Indexed(const char* name, int index) {
    return name + std::to_string(index);
}

std::string FlagText(bool value) {
    return value ? "1" : "0";
}

// The store's tolerant reads, listing each value that could not be read with the text its default saves as.
class Reader {
  public:
    Reader(const SettingsStore& store, UnreadableAtLoad& unreadable) : store_(store), unreadable_(unreadable) {}

    std::string Text(const std::string& name, const std::string& fallback) {
        bool failed = false;
        std::string text = store_.ReadText(kSettingsSection, name, fallback, &failed);
        if (failed) {
            unreadable_[name] = fallback;
        }
        return text;
    }
    int Int(const std::string& name, int fallback) {
        bool failed = false;
        const int value = store_.ReadInt(kSettingsSection, name, fallback, &failed);
        if (failed) {
            unreadable_[name] = std::to_string(fallback);
        }
        return value;
    }
    bool Flag(const std::string& name, bool fallback) {
        bool failed = false;
        const bool value = store_.ReadFlag(kSettingsSection, name, fallback, &failed);
        if (failed) {
            unreadable_[name] = FlagText(fallback);
        }
        return value;
    }
    // A value that was read but cannot be used, listed as if it could not be read.
    void Reject(const std::string& name, const std::string& fallbackText) {
        store_.Unreadable().Note(name);
        unreadable_[name] = fallbackText;
    }

  private:
    const SettingsStore& store_;
    UnreadableAtLoad& unreadable_;
};

// An IMAP UID as stored: decimal digits only, 0..4294967295. UIDs are unsigned 32-bit numbers, beyond what the
// program's signed integer conversion holds, and no sign, blank or hexadecimal form is ever written for one.
std::optional<std::uint32_t> UidNumber(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

// One of a few stored words, read in any letter case and kept as `parse` normalises it; anything else takes
// `fallback` and is listed like a value of another type.
template <typename Parse, typename Text>
std::string ReadWord(Reader& read, const std::string& name, const std::string& fallback, Parse parse, Text text) {
    const std::string stored = read.Text(name, fallback);
    if (const auto word = parse(AsciiLower(stored))) {
        return std::string(text(*word));
    }
    read.Reject(name, fallback);
    return fallback;
}

std::string ReadUid(Reader& read, const std::string& name) {
    if (const auto uid = UidNumber(read.Text(name, "0"))) {
        return std::to_string(*uid);
    }
    read.Reject(name, "0");
    return "0";
}

// How many rows a "list" that cannot be used stands for: those whose address is there, in any form.
int RowsPresent(const SettingsStore& store) {
    int rows = 0;
    while (rows < kMaxLoadedAccounts && store.HasValue(kSettingsSection, Indexed("email", rows))) {
        ++rows;
    }
    return rows;
}

}  // namespace

std::optional<int> PortNumber(std::string_view text) {
    const auto value = ParseInt32(text);
    if (!value || *value < 1 || *value > kMaxPort) {
        return std::nullopt;
    }
    return *value;
}

void LoadSettingsInto(const SettingsStore& store,
                      SettingsValues& values,
                      const std::function<std::string()>& defaultMailCommand,
                      const std::string& noSoundEntry) {
    values.unreadable.clear();
    Reader read(store, values.unreadable);
    values.absent.clear();
    values.accounts.clear();
    values.animationSpeed = std::clamp(read.Int("speed", 3), 0, kMaxAnimationSpeed);
    values.intervalPosition = std::clamp(read.Int("timer", 9), 0, kMaxIntervalPosition);
    values.flashIcon = read.Flag("hit", true);
    values.displayTime = std::clamp(read.Int("infotime", 8), kMinDisplayTime, kMaxDisplayTime);
    values.connectNotice = read.Flag("infoconect", false);
    const auto option = [&](const char* name, bool fallback) {
        if (!store.HasValue(kSettingsSection, name)) {
            values.absent[name] = FlagText(fallback);
        }
        return read.Flag(name, fallback);
    };
    values.announceOnlyNew = option("onlynew", true);
    values.countOnIcon = option("badge", false);
    values.quietWhileBusy = option("quiet", true);

    // A count that cannot be one (not a number, negative, or more than anyone checks) must neither hide the
    // accounts nor keep the start busy for hours: the rows that are there are loaded instead.
    int count = read.Int("list", 0);
    if (values.unreadable.count("list") > 0 || count < 0 || count > kMaxLoadedAccounts) {
        count = RowsPresent(store);
        read.Reject("list", std::to_string(count));
    }
    for (int i = 0; i < count; ++i) {
        Account& account = values.accounts.emplace_back();
        account.email = read.Text(Indexed("email", i), "");
        account.server = read.Text(Indexed("smtp", i), "");
        account.login = read.Text(Indexed("log", i), "");
        account.password = read.Text(Indexed("pas", i), "");
        account.count = std::to_string(read.Int(Indexed("count", i), 0));
        const std::string port = Indexed("port", i);
        const int number = read.Int(port, 110);
        if (PortNumber(std::to_string(number))) {
            account.port = std::to_string(number);
        } else {
            // Kept as the default, so the account stays usable and the next OK can save it.
            read.Reject(port, account.port);
        }
        account.protocol = ReadWord(read, Indexed("proto", i), account.protocol, ParseMailProtocol, MailProtocolText);
        // A row stored before it had a security is checked as it always was: by its port.
        const ConnectionSecurity byPort =
            DefaultSecurity(*ParseMailProtocol(account.protocol), *PortNumber(account.port));
        account.security = ReadWord(read, Indexed("security", i), std::string(ConnectionSecurityText(byPort)),
                                    ParseConnectionSecurity, ConnectionSecurityText);
        // Read for every row alike: a POP3 row carries them unused, and saving leaves them as stored.
        account.uidnext = ReadUid(read, Indexed("uidnext", i));
        account.uidvalidity = ReadUid(read, Indexed("uidvalidity", i));
    }

    values.mailProgram = read.Text("exe", defaultMailCommand());
    values.sound = read.Text("wav", noSoundEntry);
}

namespace {

void CheckRow(const Account& account) {
    StrToInt(account.count);
    StrToInt(account.port);
    if (!PortNumber(account.port)) {
        throw AppError(FormatMessageText("'%s' is not a port from 1 to 65535", account.port));
    }
    if (!ParseMailProtocol(account.protocol)) {
        throw AppError(FormatMessageText("'%s' is not a mail protocol (pop3 or imap)", account.protocol));
    }
    if (!ParseConnectionSecurity(account.security)) {
        throw AppError(
            FormatMessageText("'%s' is not a connection security (none, starttls or tls)", account.security));
    }
    if (account.protocol == "imap") {
        for (const std::string* uid : {&account.uidnext, &account.uidvalidity}) {
            if (!UidNumber(*uid)) {
                throw AppError(FormatMessageText("'%s' is not a UID from 0 to 4294967295", *uid));
            }
        }
    }
}

}  // namespace

void SaveLiveSettings(SettingsStore& store, const LiveSettings& settings, UnreadableAtLoad* unreadable) {
    std::vector<Account> accounts;
    const int count = settings.AccountCount();
    for (int i = 0; i < count; ++i) {
        accounts.push_back(settings.AccountAt(i));
        CheckRow(accounts.back());
    }

    const auto save = [&](const std::string& name, const std::string& text) {
        if (unreadable) {
            const auto found = unreadable->find(name);
            if (found != unreadable->end() && found->second == text) {
                return;
            }
        }
        store.SaveText(kSettingsSection, name, text);
        if (unreadable) {
            unreadable->erase(name);
        }
    };
    save("speed", std::to_string(settings.AnimationSpeed()));
    save("hit", FlagText(settings.FlashIcon()));
    save("wav", settings.Sound());
    save("exe", settings.MailProgram());
    save("timer", std::to_string(settings.IntervalPosition()));
    for (int i = 0; i < count; ++i) {
        const Account& account = accounts[static_cast<std::size_t>(i)];
        save(Indexed("email", i), account.email);
        save(Indexed("smtp", i), account.server);
        save(Indexed("log", i), account.login);
        save(Indexed("pas", i), account.password);
        save(Indexed("count", i), std::to_string(StrToInt(account.count)));
        save(Indexed("port", i), std::to_string(StrToInt(account.port)));
        save(Indexed("proto", i), account.protocol);
        save(Indexed("security", i), account.security);
        // A POP3 row has no use for them: whatever an earlier IMAP life of the row left stays as stored.
        if (account.protocol == "imap") {
            save(Indexed("uidnext", i), account.uidnext);
            save(Indexed("uidvalidity", i), account.uidvalidity);
        }
    }
    save("infotime", std::to_string(settings.DisplayTime()));
    save("infoconect", FlagText(settings.ConnectNotice()));
    save("onlynew", FlagText(settings.AnnounceOnlyNew()));
    save("badge", FlagText(settings.CountOnIcon()));
    save("quiet", FlagText(settings.QuietWhileBusy()));
    // Last: until it is written the stored count names only rows that are complete, old or new.
    save("list", std::to_string(count));
}

}  // namespace pigeonet
