#include "polling/poll_schedule.h"

#include "polling/mailbox_health.h"
#include "util/utf8.h"

namespace pigeonet {

namespace {

std::string BuildHint(const LiveSettings& settings, const MailboxHealth* health, LanguageIndex language) {
    std::string hint = "Pigeonet";
    const int count = settings.AccountCount();
    for (int i = 0; i < count; ++i) {
        const Account account = settings.AccountAt(i);
        hint += '\r';
        hint += account.email;
        const std::string failure = health ? health->FailureText(account, language) : std::string();
        if (!failure.empty()) {
            // The last count is stale while the mailbox cannot be asked: the failure takes its place.
            hint += " - ";
            hint += failure;
        } else if (account.count != "0") {
            hint += " - ";
            hint += account.count;
        }
    }
    return hint;
}

}  // namespace

int RoundLimit(int intervalPosition) {
    return intervalPosition == 0 ? 25 : 60 * (intervalPosition + 1);
}

std::string AccountsHint(const LiveSettings& settings) {
    return BuildHint(settings, nullptr, LanguageIndex::Russian);
}

std::string AccountsHint(const LiveSettings& settings, const MailboxHealth& health, LanguageIndex language) {
    return CutToUnits(BuildHint(settings, &health, language), kTrayHintUnits);
}

std::string CutToUnits(const std::string& text, std::size_t maxUnits) {
    std::size_t units = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const Utf8Step step = DecodeUtf8(text, at);
        const std::size_t stepUnits = step.code >= 0x10000 ? 2 : 1;
        if (units + stepUnits > maxUnits) {
            break;
        }
        units += stepUnits;
        at += step.length;
    }
    return text.substr(0, at);
}

}  // namespace pigeonet
