#pragma once

#include <string>
#include <vector>

#include "i18n/language.h"
#include "polling/probe_error.h"
#include "settings/live_settings.h"

namespace pigeonet {

// What went wrong at the last check of each account, kept in memory only: a failing mailbox is named in its tooltip
// line until a later check of it succeeds. An account is known by how it is reached (address, server, port,
// protocol, security, login, password), so a record follows the account when rows move, and an edit of any of those
// fields leaves the edited account without one until its next check.
class MailboxHealth {
  public:
    // The account could not be opened, for one of the named reasons (None records nothing).
    void RecordFailure(const Account& account, MailboxFailure failure);
    // The open account failed in a way only the failure's own message names (a refused STAT, say).
    void RecordFailure(const Account& account, const std::string& message);
    void RecordSuccess(const Account& account);
    // Forgets the accounts no longer in the list.
    void KeepOnly(const LiveSettings& settings);

    // The words the account's tooltip line names its failure with, in `language`; empty when nothing is wrong.
    std::string FailureText(const Account& account, LanguageIndex language) const;
    bool Empty() const { return records_.empty(); }

  private:
    struct Entry {
        Account reached;  // the fields an account is known by; the count and the UID marks cleared
        MailboxFailure failure = MailboxFailure::None;
        std::string message;  // when no class names the failure
    };
    void Put(const Account& account, MailboxFailure failure, const std::string& message);

    std::vector<Entry> records_;
};

// The words a failure class is named with, in `language` (English for a language without texts).
std::string MailboxFailureText(MailboxFailure failure, LanguageIndex language);

}  // namespace pigeonet
