#include "fault_support.h"

#include <gtest/gtest.h>

#include "platform/win32.h"

namespace fault_support {

void ExpectEndedStopped(const testing_support::ServiceSandbox& sandbox) {
    EXPECT_EQ(sandbox.QueryState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_FALSE(testing_support::IsInstanceRunning(sandbox.Dir())) << "the process is still running";
}

}  // namespace fault_support
