#pragma once
// What one run did, as the service reports it to the Windows Event Log under the source
// "QuorvaneShield": a second channel beside the activity log, for the tools that watch a
// fleet of machines. Reporting never costs the run anything: no wait, and every failure
// of the event calls is ignored.
#include <cstdint>
#include <string>
#include <vector>

#include "pendinglist/job_record.h"

namespace modRunReport {

using ListState = basPendingRebootFiles::ListState;
using RefusedEntry = basPendingRebootFiles::RefusedEntry;

// The job's own record, and what the run knows besides.
struct RunSummary : basPendingRebootFiles::JobRecord {
    // Set when the run did not act on the list: the object found writable by others
    // ("C:\\Quorvane\\" or the list's path) and the account that can write it.
    std::wstring untrustedObject;
    std::wstring untrustedAccount;
    // Set when the run's catch-all ended the job early: 7 (out of memory) or 51.
    int32_t jobFailure = 0;

    uint32_t durationMs = 0;
};

// At most this many refusals get an event of their own; the rest one event together.
constexpr size_t kRefusalEvents = basPendingRebootFiles::kRefusalsKept;

// Reports the run: an event for each of the first refusals, one for the rest, then the
// summary. One event source handle for the whole report; nothing raised, nothing waited for.
void ReportRun(const RunSummary& summary) noexcept;

}  // namespace modRunReport
