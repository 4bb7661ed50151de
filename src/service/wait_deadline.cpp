#include "service/wait_deadline.h"

namespace NTService {

bool HasTimedOut(int32_t remaining, int32_t timeout) {
    const bool sameSign = (remaining < 0) == (timeout < 0);
    if (sameSign && remaining != timeout) return remaining > timeout;
    return remaining < 0;
}

}  // namespace NTService
