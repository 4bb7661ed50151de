#include <cstdint>

#include <exception>

#include "trust/list_trust_gate.h"
#include "driver/run_sequence.h"
#include "pendinglist/pending_reboot_files.h"
#include "platform/win32.h"

namespace basQuorvaneService {
namespace {

uint64_t Ticks(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// The run lasts from the process's start to its report. A clock set back meanwhile gives 0.
uint32_t MillisecondsSinceProcessStart() noexcept {
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    if (Ticks(now) <= Ticks(created)) return 0;
    const uint64_t milliseconds = (Ticks(now) - Ticks(created)) / 10000;
    return milliseconds > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(milliseconds);
}

}  // namespace

// What the job recorded: the list's fate and the pass's counts and refusals, the folder
// found writable by others, the failure that ended it early, and how long the run took.
modRunReport::RunSummary RunSummaryOfJob() noexcept {
    modRunReport::RunSummary summary;
    try {
        static_cast<basPendingRebootFiles::JobRecord&>(summary) = basPendingRebootFiles::RunRecord();
        const trust::ListTrust& trust = LastTrustVerdict();
        if (!trust.trusted) {
            summary.untrustedObject = trust.object;
            summary.untrustedAccount = trust.account;
        }
    } catch (const std::exception&) {
        // Memory ran out copying the record: the counts stand, the texts may be lost.
    }
    summary.jobFailure = JobFailure();
    summary.durationMs = MillisecondsSinceProcessStart();
    return summary;
}

}  // namespace basQuorvaneService
