#include "polling/mailbox_health.h"

#include <algorithm>

#include "i18n/translation_table.h"

namespace pigeonet {

namespace {

// The translation table's line for each failure class.
constexpr std::size_t kCannotConnectLine = 45;
constexpr std::size_t kTlsRefusedLine = 46;
constexpr std::size_t kCertificateLine = 47;
constexpr std::size_t kLoginRefusedLine = 48;
constexpr std::size_t kTimedOutLine = 49;

// Only how the account is reached: what a check finds (count, UID marks) changes with every check.
Account Reached(const Account& account) {
    Account reached = account;
    reached.count.clear();
    reached.uidnext.clear();
    reached.uidvalidity.clear();
    return reached;
}

}  // namespace

std::string MailboxFailureText(MailboxFailure failure, LanguageIndex language) {
    std::size_t line = 0;
    switch (failure) {
        case MailboxFailure::None:
            return {};
        case MailboxFailure::CannotConnect:
            line = kCannotConnectLine;
            break;
        case MailboxFailure::TlsRefused:
            line = kTlsRefusedLine;
            break;
        case MailboxFailure::CertificateNotTrusted:
            line = kCertificateLine;
            break;
        case MailboxFailure::LoginRefused:
            line = kLoginRefusedLine;
            break;
        case MailboxFailure::TimedOut:
            line = kTimedOutLine;
            break;
    }
    std::string text = GetSubStr(tLang[line], ';', static_cast<std::int64_t>(language) + 1);
    if (text.empty()) {
        // The hidden language has no texts, but a failure must still be named.
        text = GetSubStr(tLang[line], ';', static_cast<std::int64_t>(LanguageIndex::English) + 1);
    }
    return text;
}

void MailboxHealth::RecordFailure(const Account& account, MailboxFailure failure) {
    if (failure != MailboxFailure::None) {
        Put(account, failure, {});
    }
}

void MailboxHealth::RecordFailure(const Account& account, const std::string& message) {
    Put(account, MailboxFailure::None, message);
}

void MailboxHealth::RecordSuccess(const Account& account) {
    const Account reached = Reached(account);
    std::erase_if(records_, [&](const Entry& entry) { return entry.reached == reached; });
}

void MailboxHealth::KeepOnly(const LiveSettings& settings) {
    std::vector<Account> listed;
    const int count = settings.AccountCount();
    for (int index = 0; index < count; ++index) {
        listed.push_back(Reached(settings.AccountAt(index)));
    }
    std::erase_if(records_, [&](const Entry& entry) {
        return std::find(listed.begin(), listed.end(), entry.reached) == listed.end();
    });
}

std::string MailboxHealth::FailureText(const Account& account, LanguageIndex language) const {
    const Account reached = Reached(account);
    for (const Entry& entry : records_) {
        if (entry.reached == reached) {
            return entry.failure == MailboxFailure::None ? entry.message : MailboxFailureText(entry.failure, language);
        }
    }
    return {};
}

void MailboxHealth::Put(const Account& account, MailboxFailure failure, const std::string& message) {
    RecordSuccess(account);
    records_.push_back({Reached(account), failure, message});
}

}  // namespace pigeonet
