#include "service/wait_deadline.h"

#include <gtest/gtest.h>

namespace NTService {
namespace {

TEST(WaitDeadline, DeadlineAndRemainingTimeWrapAroundTheCounter) {
    EXPECT_EQ(WaitDeadline(0xFFFFFF00u, 0x200), 0x100u);
    EXPECT_EQ(RemainingTime(0x100u, 0xFFFFFF80u), 0x180);  // counter wrapped meanwhile
    EXPECT_EQ(RemainingTime(0x100u, 0x180u), -0x80);        // passed after the wrap
    EXPECT_EQ(RemainingTime(5u, 5u), 0);
}

struct TimeoutCase {
    int32_t remaining;
    int32_t timeout;
    bool timedOut;
};

TEST(WaitDeadline, TimedOutWhenRemainingIsNegativeOrAboveTheTimeout) {
    const TimeoutCase cases[] = {
        {0, 0, false},             // a zero timeout still gets its one zero-length wait
        {-1, 0, true},
        {1, 0, true},              // the counter jumped backwards past the deadline
        {1000, 1000, false},       // nothing has elapsed yet
        {1, 1000, false},
        {0, 1000, false},
        {-1, 1000, true},
        {1001, 1000, true},
        {INT32_MIN, 1000, true},
        {INT32_MAX, INT32_MAX, false},
        {INT32_MAX - 1, INT32_MAX, false},
        {-5, -5, true},            // a negative timeout other than infinite is over at once
        {-3, -5, true},
        {-7, -5, false},
        {3, -5, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HasTimedOut(c.remaining, c.timeout), c.timedOut)
            << "remaining " << c.remaining << ", timeout " << c.timeout;
    }
}

TEST(WaitDeadline, AFullWaitAcrossTheWrapTimesOutOnlyAtItsEnd) {
    const uint32_t start = 0xFFFFFFF0u;
    const int32_t timeout = 0x40;
    const uint32_t deadline = WaitDeadline(start, timeout);
    for (uint32_t elapsed = 0; elapsed <= 0x40; elapsed += 8) {
        EXPECT_FALSE(HasTimedOut(RemainingTime(deadline, start + elapsed), timeout)) << elapsed;
    }
    EXPECT_TRUE(HasTimedOut(RemainingTime(deadline, start + 0x41), timeout));
}

}  // namespace
}  // namespace NTService
