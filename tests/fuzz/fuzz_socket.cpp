#include "fuzz_socket.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "polling/probe_error.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PIGEONET_FUZZ_HEAP_HOOKS 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define PIGEONET_FUZZ_HEAP_HOOKS 1
#endif

#ifdef PIGEONET_FUZZ_HEAP_HOOKS
// From the sanitizer runtime (declared here: GCC installs no sanitizer headers).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                              void (*free_hook)(const volatile void*));
std::size_t __sanitizer_get_allocated_size(const volatile void* pointer);
}
#endif

namespace pigeonet::fuzzing {

class ChunkedSocket final : public TcpSocket {
  public:
    explicit ChunkedSocket(ChunkedServer& server) : server_(server) {}

    bool IsOpen() const override { return open_; }

    bool WaitReadable(int) override {
        if (!open_) {
            return false;
        }
        return Left() > 0 || server_.end != StreamEnd::Silence;
    }

    std::size_t Receive(char* buffer, std::size_t capacity) override {
        if (Left() == 0) {
            switch (server_.end) {
                case StreamEnd::Reset:
                    throw SocketError(10054, SocketFailure::Reset);
                case StreamEnd::Abort:
                    throw SocketError(10053, SocketFailure::Aborted);
                default:
                    return 0;
            }
        }
        std::size_t n = std::min(capacity, Left());
        if (!server_.cuts.empty()) {
            n = std::min(n, server_.cuts[server_.next_cut_++ % server_.cuts.size()]);
        }
        std::memcpy(buffer, server_.stream.data() + server_.position_, n);
        server_.position_ += n;
        return n;
    }

    std::size_t Send(const char* data, std::size_t size) override {
        if (!open_) {
            throw SocketError(10058, SocketFailure::ShutDown);
        }
        const std::size_t n = server_.send_cut == 0 ? size : std::min(size, server_.send_cut);
        server_.sent.append(data, n);
        return n;
    }

    void Close() override { open_ = false; }

    ConnectProgress StartConnect(std::uint32_t, std::uint16_t) override { return {ConnectStatus::Connected, 0}; }
    ConnectProgress WaitConnect(int) override { return {ConnectStatus::Connected, 0}; }

  private:
    std::size_t Left() const { return server_.stream.size() - server_.position_; }

    ChunkedServer& server_;
    bool open_ = true;
};

std::unique_ptr<TcpSocket> ChunkedServer::CreateSocket() {
    ++sockets;
    return std::make_unique<ChunkedSocket>(*this);
}

std::uint32_t ChunkedServer::ResolveHost(const std::string&) {
    return 0x0A000001;
}

std::vector<std::size_t> CutsFromSeed(std::uint8_t seed) {
    if (seed == 0) {
        return {1};
    }
    // A mix of single bytes, small pieces and pieces around a line's and a record's length.
    std::vector<std::size_t> cuts;
    std::uint32_t state = seed * 2654435761u;
    for (int i = 0; i < 1 + seed % 7; ++i) {
        state = state * 1103515245u + 12345u;
        const std::uint32_t pick = (state >> 16) & 0xFF;
        cuts.push_back(pick < 96 ? 1 + pick % 3 : pick < 200 ? 1 + pick % 61 : 1000 + pick * 67);
    }
    return cuts;
}

namespace {

std::atomic<long long> live_bytes{0};
std::atomic<long long> peak_bytes{0};
std::atomic<long long> baseline_bytes{0};

#ifdef PIGEONET_FUZZ_HEAP_HOOKS
void OnMalloc(const volatile void*, std::size_t size) {
    const long long now =
        live_bytes.fetch_add(static_cast<long long>(size), std::memory_order_relaxed) + static_cast<long long>(size);
    long long peak = peak_bytes.load(std::memory_order_relaxed);
    while (now > peak && !peak_bytes.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

void OnFree(const volatile void* pointer) {
    live_bytes.fetch_sub(static_cast<long long>(__sanitizer_get_allocated_size(pointer)), std::memory_order_relaxed);
}

const bool hooks_installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
#else
const bool hooks_installed = false;
#endif

}  // namespace

long long HeapPeakSinceReset() {
    return hooks_installed ? peak_bytes.load() - baseline_bytes.load() : -1;
}

void ResetHeapPeak() {
    baseline_bytes.store(live_bytes.load());
    peak_bytes.store(live_bytes.load());
}

void CheckHeapPeak(const std::string& holder, long long budget, std::size_t stream_bytes) {
    const long long peak = HeapPeakSinceReset();
    if (peak > budget) {
        Violation(holder + " held " + std::to_string(peak) + " heap bytes for " + std::to_string(stream_bytes) +
                  " bytes from the server");
    }
}

void Violation(const std::string& what) {
    std::string shown;
    for (char c : what) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n' || (byte >= 0x20 && byte < 0x7F)) {
            shown += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        }
    }
    std::fprintf(stderr, "fuzz invariant violated: %s\n", shown.c_str());
    std::abort();
}

}  // namespace pigeonet::fuzzing
