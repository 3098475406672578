#include "polling/poll_schedule.h"

namespace pigeonet {

int RoundLimit(int intervalPosition) {
    return intervalPosition == 0 ? 25 : 60 * (intervalPosition + 1);
}

std::string AccountsHint(const LiveSettings& settings) {
    std::string hint = "Pigeonet";
    const int count = settings.AccountCount();
    for (int i = 0; i < count; ++i) {
        const Account account = settings.AccountAt(i);
        hint += '\r';
        hint += account.email;
        if (account.count != "0") {
            hint += " - ";
            hint += account.count;
        }
    }
    return hint;
}

}  // namespace pigeonet
