#pragma once

#include "settings/account_protocol.h"

#include <optional>
#include <string>
#include <string_view>

namespace pigeonet {

// Where a well-known provider serves a mailbox: its host is not "pop." or "imap." + the address's domain, or it
// only answers over TLS, so guessing from the domain would give an account that never connects.
struct ProviderServer {
    std::string host;
    int port = 0;
    ConnectionSecurity security = ConnectionSecurity::Tls;

    bool operator==(const ProviderServer&) const = default;
};

// The server of a known provider for the domain of an address (everything after its "@", compared without ASCII
// letter case) and the chosen protocol; nullopt for any other domain, and for a protocol the provider does not
// offer (iCloud has no POP3).
std::optional<ProviderServer> KnownProviderServer(std::string_view domain, MailProtocol protocol);

}  // namespace pigeonet
