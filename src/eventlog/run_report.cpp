#include "eventlog/run_report.h"

#include <vector>

#include "eventlog/format_msg.h"
#include "eventlog/run_report_calls.h"
#include "eventlog/run_report_events.h"
#include "platform/handles.h"

namespace modRunReport {
namespace {

constexpr wchar_t kSourceName[] = L"QuorvaneShield";

WORD EventType(uint32_t eventId) {
    switch (SeverityOf(eventId)) {
        case Severity::Error: return EVENTLOG_ERROR_TYPE;
        case Severity::Warning: return EVENTLOG_WARNING_TYPE;
        default: return EVENTLOG_INFORMATION_TYPE;
    }
}

std::wstring ErrorText(uint32_t error) {
    return modFormatMsg::TrimmedErrorText(static_cast<int32_t>(error));
}

// Deregistered through the same table that registered it.
using EventSource = platform::UniqueClosedBy<HANDLE, BOOL>;

}  // namespace

void ReportRun(const RunSummary& summary) noexcept { ReportRun(summary, EventLogCalls{}); }

void ReportRun(const RunSummary& summary, const EventLogCalls& calls) noexcept {
    // The run goes on as if nothing had been reported, down to the thread's last error.
    const DWORD lastError = ::GetLastError();
    try {
        // Everything that allocates comes first: once the source is registered, nothing
        // can throw before it is deregistered.
        const std::vector<RunEvent> events = EventsOfRun(summary, &ErrorText);
        std::vector<std::vector<LPCWSTR>> strings(events.size());
        for (size_t i = 0; i < events.size(); ++i) {
            for (const std::wstring& insert : events[i].inserts) strings[i].push_back(insert.c_str());
        }

        // No event log service (or none reachable): nothing is reported, nothing else changes.
        const EventSource source(calls.RegisterEventSourceW(nullptr, kSourceName), calls.DeregisterEventSource);
        if (source.get()) {
            for (size_t i = 0; i < events.size(); ++i) {
                calls.ReportEventW(source.get(), EventType(events[i].id), 0, events[i].id, nullptr,
                                   static_cast<WORD>(strings[i].size()), 0, strings[i].data(), nullptr);
            }
        }
    } catch (...) {
        // Memory ran out while the report was put together: the run has lost only its report.
    }
    ::SetLastError(lastError);
}

}  // namespace modRunReport
