#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "polling/mailbox_probe.h"
#include "polling/probe_error.h"

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

// The failure of `action` as (kind, message); fails the test when nothing is raised.
template <typename Action>
std::pair<ProbeErrorKind, std::string> FailureOf(Action action) {
    try {
        action();
    } catch (const ProbeError& error) {
        return {error.kind(), error.what()};
    }
    ADD_FAILURE() << "no ProbeError raised";
    return {};
}

}  // namespace pigeonet::testing
