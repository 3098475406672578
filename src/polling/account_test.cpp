#include "polling/account_test.h"

#include <exception>
#include <limits>
#include <memory>
#include <optional>

#include "polling/check_round.h"
#include "polling/mailbox_probe.h"
#include "settings/account_protocol.h"
#include "settings/live_settings.h"
#include "util/errors.h"

namespace pigeonet {

namespace {

AccountTestResult Failure(AccountTestResult::Outcome outcome, std::string_view message) {
    AccountTestResult result;
    result.outcome = outcome;
    result.message = ErrorDisplayText(message);
    return result;
}

AccountTestResult Check(const Account& account, SocketLayer* layer) {
    using Outcome = AccountTestResult::Outcome;
    const std::optional<int> port = PortNumber(account.port);
    if (!port) {
        return Failure(Outcome::OpenFailure, FormatMessageText("'%s' is not a port from 1 to 65535", account.port));
    }
    const auto probe = layer != nullptr ? std::make_unique<MailboxProbe>(*layer) : std::make_unique<MailboxProbe>();
    const MailProtocol protocol = ParseMailProtocol(account.protocol).value_or(MailProtocol::Pop3);
    probe->set_host(account.server);
    probe->set_user(account.login);
    probe->set_password(account.password);
    probe->set_port(*port);
    probe->set_protocol(protocol);
    probe->set_security(ParseConnectionSecurity(account.security));
    probe->set_read_timeout(CheckRound::kReadTimeoutMs);
    probe->set_reply_timeout(CheckRound::kReplyTimeoutMs);
    try {
        // An explicit limit: the connect is sliced and pumped like the round's, and bounded even without a pump.
        probe->ConnectMailbox(MailboxProbe::kPumpedConnectLimitMs);
    } catch (const ProbeError& error) {
        return Failure(Outcome::OpenFailure, error.what());
    }
    AccountTestResult result;
    try {
        if (protocol == MailProtocol::Imap) {
            const std::uint32_t unseen = probe->InboxStatus().unseen;
            if (unseen > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
                throw ConversionError(std::to_string(unseen));
            }
            result.count = static_cast<std::int32_t>(unseen);
        } else {
            result.count = probe->StatMessageCount();
        }
        result.outcome = Outcome::Count;
    } catch (const ProbeError& error) {
        return Failure(Outcome::CountFailure, error.what());
    }
    try {
        probe->CloseMailbox();
    } catch (const ProbeError&) {
        // The count is in hand: a goodbye that could not be sent changes nothing about it.
    }
    return result;
}

}  // namespace

AccountTestResult TestAccountOnce(const Account& account, SocketLayer* layer) {
    try {
        return Check(account, layer);
    } catch (const std::exception& error) {
        return Failure(AccountTestResult::Outcome::OpenFailure, error.what());
    } catch (...) {
        return Failure(AccountTestResult::Outcome::OpenFailure, "The check failed.");
    }
}

}  // namespace pigeonet
