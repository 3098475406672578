#include "polling/host_address.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "polling/socket.h"

namespace pigeonet {
namespace {

struct HostCase {
    std::string host;
    std::optional<std::uint32_t> address;
};

// The probe's own dotted quad first ("010" is ten, as it connects), then every numeric form of the resolver.
const HostCase kCases[] = {
    {"127.0.0.1", 0x7F000001},   {"010.0.0.1", 0x0A000001},
    {"127.1", 0x7F000001},       {"127.0.1", 0x7F000001},
    {"2130706433", 0x7F000001},  {"0x7f.1", 0x7F000001},
    {"0x7F000001", 0x7F000001},  {"0177.0.0.1", 0x7F000001},
    {"localhost", std::nullopt}, {"mail.example.org", std::nullopt},
    {"", std::nullopt},          {"127.0.0.1.", std::nullopt},
    {"1.2.3.4.5", std::nullopt}, {"4294967296", std::nullopt},
    {"::1", std::nullopt},       {std::string("127.0.0.1\0.evil", 15), std::nullopt},
};

TEST(HostAddressLiteral, ReadsEveryAddressFormTheConnectAccepts) {
    for (const auto& c : kCases) {
        EXPECT_EQ(HostAddressLiteral(c.host), c.address) << c.host;
    }
}

TEST(HostAddressLiteral, AgreesWithTheResolverWhereTheProbeAsksIt) {
    // Where the probe's dotted quad does not apply, the connect goes where the system's resolver says.
    for (const auto& c : kCases) {
        if (c.address && !ParseDottedQuad(c.host)) {
            EXPECT_EQ(PlatformSocketLayer().ResolveHost(c.host), *c.address) << c.host;
        }
    }
}

}  // namespace
}  // namespace pigeonet
