#include "fuzz_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

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
