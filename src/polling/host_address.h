#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pigeonet {

// A dotted quad as the probe reads it before any resolver: four parts separated by "." (the fourth is everything
// after the third "."), each a decimal number 0..255 of at most three digits ("010" is ten). Host byte order.
std::optional<std::uint32_t> ParseDottedQuad(std::string_view text);

// The IPv4 address (host byte order) that `host` is written as, read the way the probe's connect reads it: its own
// dotted quad first, then any numeric form the system's resolver accepts ("127.1", "2130706433", "0x7f.0.0.1").
// Nothing for a name, "localhost" included. A TLS engine checks the server's certificate for this address, so the
// check always concerns the machine the connection actually reached.
std::optional<std::uint32_t> HostAddressLiteral(const std::string& host);

}  // namespace pigeonet
