#include "polling/host_address.h"

#include "polling/socket.h"

namespace pigeonet {

std::optional<std::uint32_t> ParseDottedQuad(std::string_view text) {
    std::uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        std::string_view digits = text;
        if (part < 3) {
            const auto dot = text.find('.');
            if (dot == std::string_view::npos) {
                return std::nullopt;
            }
            digits = text.substr(0, dot);
            text.remove_prefix(dot + 1);
        }
        if (digits.empty() || digits.size() > 3) {
            return std::nullopt;
        }
        unsigned value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (value > 255) {
            return std::nullopt;
        }
        address = (address << 8) | value;
    }
    return address;
}

std::optional<std::uint32_t> HostAddressLiteral(const std::string& host) {
    if (auto address = ParseDottedQuad(host)) {
        return address;
    }
    return NumericHostAddress(host);
}

}  // namespace pigeonet
