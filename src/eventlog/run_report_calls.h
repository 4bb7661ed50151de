#pragma once
// The event log calls behind ReportRun. A default-constructed table is the real API; a
// test replaces entries to see exactly what a run reports, or to play an absent event log.
#include "eventlog/run_report.h"
#include "platform/win32.h"

namespace modRunReport {

struct EventLogCalls {
    decltype(&::RegisterEventSourceW) RegisterEventSourceW = &::RegisterEventSourceW;
    decltype(&::ReportEventW) ReportEventW = &::ReportEventW;
    decltype(&::DeregisterEventSource) DeregisterEventSource = &::DeregisterEventSource;
};

// ReportRun through the given calls.
void ReportRun(const RunSummary& summary, const EventLogCalls& calls) noexcept;

}  // namespace modRunReport
