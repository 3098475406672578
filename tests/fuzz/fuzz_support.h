#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "polling/support/scripted_socket.h"

namespace pigeonet::fuzzing {

// The peer of every target: the unit tests' scripted sockets, whose stream the fuzzer writes and cuts.
using testing::ScriptedSocketLayer;
using testing::StreamEnd;

// Small deterministic cut sizes from a seed, so the fuzzer chooses how a stream is cut with one byte of its input.
// Never empty: seed 0 cuts the stream into single bytes, so a run with these cuts is always cut.
std::vector<std::size_t> CutsFromSeed(std::uint8_t seed);

// The input's next byte, or 0 once it is used up.
class InputReader {
  public:
    InputReader(const std::uint8_t* data, std::size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}
    std::uint8_t Byte() {
        if (rest_.empty()) {
            return 0;
        }
        const auto byte = static_cast<std::uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return byte;
    }
    std::string_view Rest() const { return rest_; }

  private:
    std::string_view rest_;
};

// The most heap bytes held at once beyond those held at the last ResetHeapPeak, where the build's sanitizer can
// tell (-1 where it cannot): memory bounds are checked only under AddressSanitizer.
long long HeapPeakSinceReset();
void ResetHeapPeak();
// Fails the run when more than `budget` heap bytes were held at once since the last ResetHeapPeak, naming `holder`
// (what held them) and the `stream_bytes` it was sent.
void CheckHeapPeak(const std::string& holder, long long budget, std::size_t stream_bytes);

// Fails the run with `what` (an abort the fuzzer reports as a crash, with the input saved).
[[noreturn]] void Violation(const std::string& what);

}  // namespace pigeonet::fuzzing
