#pragma once
// Shared by the fault tests: the check every fault ends with. The lines a run logs come
// from support/pass_lines.h.
#include "support/pass_lines.h"
#include "support/service_sandbox.h"

namespace fault_support {

// The service reported stopped and its process has ended.
void ExpectEndedStopped(const testing_support::ServiceSandbox& sandbox);

}  // namespace fault_support
