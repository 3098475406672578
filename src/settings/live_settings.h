#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pigeonet {

class SettingsStore;

// One configured mailbox, one row of the account list. All fields are text as the user typed them.
struct Account {
    std::string email;   // also the account's display name
    std::string server;  // POP3 host
    std::string login;
    std::string password;           // stored in plain text
    std::string count = "0";        // last message count seen, decimal
    std::string port = "110";       // decimal as entered; converted when used
    std::string protocol = "pop3";  // "pop3" or "imap" (MailProtocolText)
    std::string security = "none";  // "none", "starttls" or "tls" (ConnectionSecurityText)
    // IMAP only: UIDNEXT and UIDVALIDITY of the INBOX at the last successful check, decimal; "0" before the first,
    // as no server gives 0 for either.
    std::string uidnext = "0";
    std::string uidvalidity = "0";

    bool operator==(const Account&) const = default;
};

// Ranges of the live values; loading brings stored values to the nearest bound.
inline constexpr int kMaxIntervalPosition = 30;
inline constexpr int kMaxAnimationSpeed = 10;
inline constexpr int kMinDisplayTime = 3;
inline constexpr int kMaxDisplayTime = 60;
// The most account rows loaded from the store: far more than anyone checks, few enough to load in a moment.
inline constexpr int kMaxLoadedAccounts = 10000;

// The settings in effect while the program runs. The settings dialog's controls hold them and every other part
// reads their current values through this interface when it needs them, never a copy.
class LiveSettings {
  public:
    virtual ~LiveSettings() = default;

    virtual int AccountCount() const = 0;
    // Precondition: 0 <= index < AccountCount().
    virtual Account AccountAt(int index) const = 0;
    // The last count is the only account field written outside the dialogs (by the check round).
    virtual void SetAccountCount(int index, const std::string& count) = 0;
    // An IMAP account's UIDNEXT and UIDVALIDITY, kept by the check round beside the count.
    virtual void SetAccountUids(int index, const std::string& uidnext, const std::string& uidvalidity) = 0;
    // Changes whenever rows are added or removed, so a caller that pumps messages between reads can tell that an
    // index it holds may now name another account.
    virtual std::uint64_t AccountListRevision() const = 0;

    virtual int IntervalPosition() const = 0;  // 0..30
    virtual int AnimationSpeed() const = 0;    // 0..10
    virtual bool FlashIcon() const = 0;
    virtual int DisplayTime() const = 0;  // seconds, 3..60
    virtual bool ConnectNotice() const = 0;
    virtual std::string MailProgram() const = 0;  // a command line or a web address
    virtual std::string Sound() const = 0;        // a file name from the sound list or the no-sound entry
    // A POP3 count is announced only when it rose; off, any change to a non-zero count is.
    virtual bool AnnounceOnlyNew() const = 0;
    // The tray icon carries the sum of the accounts' last counts.
    virtual bool CountOnIcon() const = 0;
    // No envelope and no sound while the user presents, plays full screen or has silenced notifications.
    virtual bool QuietWhileBusy() const = 0;
};

// The stored values that could not be read at load, each with the text that saving its setting, still holding the
// value it was given instead, would write. Saving leaves such a value as it is stored until the setting changes:
// it then loads the same way again, and a value behind a setting the user never touched is not overwritten.
using UnreadableAtLoad = std::map<std::string, std::string, std::less<>>;

// The ports a mailbox can listen on: 1 to 65535, read as the program reads every integer.
inline constexpr int kMaxPort = 65535;
std::optional<int> PortNumber(std::string_view text);

// Plain values of every live setting, as loaded from the store.
struct SettingsValues {
    std::vector<Account> accounts;
    int intervalPosition = 9;
    int animationSpeed = 3;
    bool flashIcon = true;
    int displayTime = 8;
    bool connectNotice = false;
    std::string mailProgram;
    std::string sound;
    bool announceOnlyNew = true;
    bool countOnIcon = false;
    bool quietWhileBusy = true;
    UnreadableAtLoad unreadable;
    // The options a store from an older version does not hold yet, with the text their default saves as: saving
    // leaves them absent, as that version did, until the user changes them.
    UnreadableAtLoad absent;
};

// LiveSettings held in memory: for tests, and for tools that run without the dialog.
class MemoryLiveSettings final : public LiveSettings {
  public:
    MemoryLiveSettings() = default;
    explicit MemoryLiveSettings(SettingsValues values) : values_(std::move(values)) {}

    int AccountCount() const override { return static_cast<int>(values_.accounts.size()); }
    Account AccountAt(int index) const override { return values_.accounts.at(static_cast<std::size_t>(index)); }
    void SetAccountCount(int index, const std::string& count) override {
        values_.accounts.at(static_cast<std::size_t>(index)).count = count;
    }
    void SetAccountUids(int index, const std::string& uidnext, const std::string& uidvalidity) override {
        Account& account = values_.accounts.at(static_cast<std::size_t>(index));
        account.uidnext = uidnext;
        account.uidvalidity = uidvalidity;
    }
    std::uint64_t AccountListRevision() const override { return revision_; }
    int IntervalPosition() const override { return values_.intervalPosition; }
    int AnimationSpeed() const override { return values_.animationSpeed; }
    bool FlashIcon() const override { return values_.flashIcon; }
    int DisplayTime() const override { return values_.displayTime; }
    bool ConnectNotice() const override { return values_.connectNotice; }
    std::string MailProgram() const override { return values_.mailProgram; }
    std::string Sound() const override { return values_.sound; }
    bool AnnounceOnlyNew() const override { return values_.announceOnlyNew; }
    bool CountOnIcon() const override { return values_.countOnIcon; }
    bool QuietWhileBusy() const override { return values_.quietWhileBusy; }

    // Edits, as the dialogs make them.
    SettingsValues& Values() { return values_; }
    void AddAccount(Account account) {
        values_.accounts.push_back(std::move(account));
        ++revision_;
    }
    void RemoveAccount(int index) {
        values_.accounts.erase(values_.accounts.begin() + index);
        ++revision_;
    }

  private:
    SettingsValues values_;
    std::uint64_t revision_ = 0;
};

// Reads every setting and the account list from the store in the dialog's loading order into `values`, bringing
// out-of-range values to their bounds; the mail program defaults to `defaultMailCommand()`, the sound to
// `noSoundEntry`. A value that cannot be read (another registry type; text that is not a number where a number is
// needed; a port outside 1..65535) takes its default alone, is listed in `values.unreadable` and noted in the
// store's Unreadable(); the loading goes on. A "list" that is not a count of at most kMaxLoadedAccounts loads the
// rows present: email0, email1, ... up to the first one missing.
// Each row's values after its port: "proto" + i, "pop3" or "imap" in any letter case, "pop3" when absent;
// "security" + i, "none", "starttls" or "tls" in any letter case, when absent DefaultSecurity of the row's protocol
// and port as loaded (so rows saved before either existed are POP3, over TLS on 995 only); "uidnext" + i and
// "uidvalidity" + i, decimal digits only up to 4294967295, "0" when absent, read for every row. Other text is
// unreadable like a value of another type, and the row keeps the value's default.
// The flags "onlynew" (default 1), "badge" (0) and "quiet" (1) are read like "hit"; each one absent is listed in
// `values.absent`.
void LoadSettingsInto(const SettingsStore& store,
                      SettingsValues& values,
                      const std::function<std::string()>& defaultMailCommand,
                      const std::string& noSoundEntry);

// Writes every live setting but the language. Every row is checked first: a count that is not an integer or a
// port that is not one fails with "'%s' is not a valid integer value", a port outside 1..65535 with
// "'%s' is not a port from 1 to 65535", a protocol or a security that is not one of the lower-case texts above, or
// (IMAP rows) a UID that is not decimal digits up to 4294967295, with a message naming it; nothing is written. Then
// "speed", "hit", "wav", "exe", "timer", the rows ("email", "smtp", "log", "pas", "count", "port", "proto", "security"
// + i, then for IMAP rows only "uidnext" and "uidvalidity" + i), "infotime", "infoconect", "onlynew", "badge", "quiet",
// and "list" last, so a save
// cut short at any write leaves "list" naming complete rows only. A value listed in `unreadable` whose setting would be
// written with its listed text is left as stored; every value written leaves the list.
void SaveLiveSettings(SettingsStore& store, const LiveSettings& settings, UnreadableAtLoad* unreadable = nullptr);

}  // namespace pigeonet
