#pragma once
// The entry routine: one run of the service from start to stop, on the main thread.
#include <cstdint>

#include "eventlog/run_report.h"

namespace basQuorvaneService {

// True exactly when GetVersionExA reports the NT platform.
bool IsWindowsNT();

// Load, the pass and the entries around them. An exception out of them ends the job
// early with a "(QuorvaneService.Run)" entry; none leaves here, so that the run still
// reports stopped.
void RunJob() noexcept;

// The pass that RunJob runs; a test puts in one that fails.
extern void (*JobCleanupPass)();

// The number (7 or 51) of the failure that ended the job early; 0 when none did.
int32_t JobFailure();

// What the run did, for its report to the event log. Never throws: the report comes
// between the job and the stopped report, where nothing may leave.
modRunReport::RunSummary RunSummaryOfJob() noexcept;

// Refuses a second instance and platforms outside the NT family, brings up the bridge,
// waits until the service control manager has really started the service, runs the
// job and reports stopped. Returns when the process is to end.
void Main();

}  // namespace basQuorvaneService
