#pragma once
// Deadline arithmetic of the message-pumping wait, on the 32-bit millisecond tick count.
// Everything wraps modulo 2^32, so a wait keeps its length across a wrap of the counter.
#include <cstdint>

namespace NTService {

constexpr int32_t kInfiniteTimeout = -1;

inline uint32_t WaitDeadline(uint32_t now, int32_t timeout) {
    return now + static_cast<uint32_t>(timeout);
}

// Remaining time, read as a signed value: negative once the deadline has passed.
inline int32_t RemainingTime(uint32_t deadline, uint32_t now) {
    return static_cast<int32_t>(deadline - now);
}

// For timeouts from 0 to 2^31-1: timed out when the remaining time is negative, or
// greater than the timeout (the counter was read after a jump of more than 2^31 ms).
bool HasTimedOut(int32_t remaining, int32_t timeout);

}  // namespace NTService
