#include "polling/poll_schedule.h"

#include <gtest/gtest.h>

namespace pigeonet {
namespace {

TEST(RoundLimit, IsTwentyFiveAtPositionZeroAndSixtyTimesTheNextPositionOtherwise) {
    const std::pair<int, int> cases[] = {{0, 25}, {1, 120}, {9, 600}, {30, 1860}};
    for (const auto& [position, limit] : cases) {
        EXPECT_EQ(RoundLimit(position), limit) << "position " << position;
    }
}

TEST(AccountsHint, ListsAddressesAndCountsOtherThanExactlyZero) {
    MemoryLiveSettings settings;
    EXPECT_EQ(AccountsHint(settings), "Pigeonet");
    settings.AddAccount({"first@example.org", "pop", "u", "p", "3", "110"});
    settings.AddAccount({"second@example.org", "pop", "u", "p", "0", "110"});
    settings.AddAccount({"third@example.org", "pop", "u", "p", "10", "110"});
    EXPECT_EQ(AccountsHint(settings), "Pigeonet\rfirst@example.org - 3\rsecond@example.org\rthird@example.org - 10");
}

}  // namespace
}  // namespace pigeonet
