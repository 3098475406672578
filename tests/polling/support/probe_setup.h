#pragma once

#include <cstdint>

#include "polling/mailbox_probe.h"

namespace pigeonet::testing {

// Points `probe` at a loopback server on `port` as user "x" with password "y", the login a test's expected
// conversation spells out.
inline void ConfigureProbe(MailboxProbe& probe, std::uint16_t port, std::int32_t read_timeout = 2000) {
    probe.set_host("127.0.0.1");
    probe.set_port(port);
    probe.set_user("x");
    probe.set_password("y");
    probe.set_read_timeout(read_timeout);
}

}  // namespace pigeonet::testing
