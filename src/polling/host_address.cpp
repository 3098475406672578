#include "polling/host_address.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

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

// What the worker hands back; the worker and the lookup each hold it, so whichever ends last frees it.
struct HostLookup::Answer {
    void Settle(SocketLayer& layer, const std::string& host) {
        std::uint32_t found = 0;
        std::exception_ptr failed;
        try {
            found = layer.ResolveHost(host);
        } catch (...) {
            failed = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            address = found;
            failure = failed;
            done = true;
        }
        ready.notify_all();
    }

    mutable std::mutex mutex;
    std::condition_variable ready;
    bool done = false;
    std::uint32_t address = 0;
    std::exception_ptr failure;
};

HostLookup::HostLookup(SocketLayer& layer, std::string host) : answer_(std::make_shared<Answer>()) {
    auto ask = [&layer, host = std::move(host), answer = answer_] { answer->Settle(layer, host); };
    try {
        std::thread(ask).detach();
    } catch (const std::system_error&) {
        // No thread to spare: ask on this one, as a lookup always did.
        ask();
    }
}

HostLookup::~HostLookup() = default;

bool HostLookup::Wait(int milliseconds) {
    std::unique_lock<std::mutex> lock(answer_->mutex);
    return answer_->ready.wait_for(lock, std::chrono::milliseconds(milliseconds < 0 ? 0 : milliseconds),
                                   [this] { return answer_->done; });
}

std::uint32_t HostLookup::Address() const {
    std::lock_guard<std::mutex> lock(answer_->mutex);
    if (answer_->failure) {
        std::rethrow_exception(answer_->failure);
    }
    return answer_->address;
}

}  // namespace pigeonet
