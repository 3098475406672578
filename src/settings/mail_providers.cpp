#include "settings/mail_providers.h"

#include "util/text.h"

#include <array>
#include <initializer_list>

namespace pigeonet {

namespace {

struct Provider {
    std::initializer_list<std::string_view> domains;
    std::string_view pop3Host;  // "" when the provider has no POP3
    std::string_view imapHost;
};

// Every one of them wants TLS from the first byte on the protocol's TLS port; most also want an app password or
// POP/IMAP access switched on in their web settings (README, "Common providers").
const std::array<Provider, 7> kProviders = {{
    {{"gmail.com", "googlemail.com"}, "pop.gmail.com", "imap.gmail.com"},
    {{"outlook.com", "hotmail.com", "live.com", "msn.com"}, "outlook.office365.com", "outlook.office365.com"},
    {{"yahoo.com"}, "pop.mail.yahoo.com", "imap.mail.yahoo.com"},
    {{"icloud.com", "me.com", "mac.com"}, "", "imap.mail.me.com"},
    {{"yandex.ru", "yandex.com", "ya.ru"}, "pop.yandex.ru", "imap.yandex.ru"},
    {{"mail.ru", "inbox.ru", "list.ru", "bk.ru"}, "pop.mail.ru", "imap.mail.ru"},
    {{"gmx.net", "gmx.de", "gmx.com"}, "pop.gmx.net", "imap.gmx.net"},
}};

}  // namespace

std::optional<ProviderServer> KnownProviderServer(std::string_view domain, MailProtocol protocol) {
    for (const Provider& provider : kProviders) {
        for (const std::string_view known : provider.domains) {
            if (!EqualsIgnoringAsciiCase(domain, known)) {
                continue;
            }
            const std::string_view host = protocol == MailProtocol::Imap ? provider.imapHost : provider.pop3Host;
            if (host.empty()) {
                return std::nullopt;
            }
            return ProviderServer{std::string(host), StandardPort(protocol, ConnectionSecurity::Tls),
                                  ConnectionSecurity::Tls};
        }
    }
    return std::nullopt;
}

}  // namespace pigeonet
