#include "polling/account_test.h"

#include "settings/live_settings.h"

namespace pigeonet {

AccountTestResult TestAccountOnce(const Account&, SocketLayer*) {
    AccountTestResult result;
    result.message = "not built yet";
    return result;
}

}  // namespace pigeonet
