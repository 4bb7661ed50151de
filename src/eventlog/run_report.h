#pragma once
// What one run did, as the service reports it to the Windows Event Log under the source
// "QuorvaneShield": a second channel beside the activity log, for the tools that watch a
// fleet of machines. Reporting never costs the run anything: no wait, and every failure
// of the event calls is ignored.
#include <cstdint>
#include <string>
#include <vector>

namespace modRunReport {

// What became of the list file in this run.
enum class ListState {
    Read,        // read whole
    Created,     // there was none: a fresh empty list was written
    Damaged,     // read whole and found malformed (see keptCopy)
    Unreadable,  // could not be opened or read (held, locked, a link): left as it was
};

struct RefusedEntry {
    std::wstring path;   // as listed
    uint32_t error = 0;  // Win32 error number
};

struct RunSummary {
    // Set when the run did not act on the list: the object found writable by others
    // ("C:\Quorvane\" or the list's path) and the account that can write it.
    std::wstring untrustedObject;
    std::wstring untrustedAccount;
    // Set when the run's catch-all ended the job early: 7 (out of memory) or 51.
    int32_t jobFailure = 0;

    ListState list = ListState::Read;
    std::wstring keptCopy;       // Damaged: the copy name the damaged list was moved to
    bool rewriteFailed = false;  // the fresh list (missing or damaged) could not be written

    // Entries the pass took up (the list's Count when it began) and what became of them.
    uint32_t entries = 0;
    uint32_t deleted = 0;
    uint32_t gone = 0;
    uint32_t scheduled = 0;  // handed to delete-at-restart
    uint32_t refused = 0;
    uint32_t leftAlone = 0;  // flagged: not the pass's to handle

    // The first refusals of the run, in the pass's order; `refused` counts them all.
    std::vector<RefusedEntry> refusals;

    uint32_t durationMs = 0;
};

// At most this many refusals get an event of their own; the rest one event together.
constexpr size_t kRefusalEvents = 20;

// Reports the run: an event for each of the first refusals, one for the rest, then the
// summary. One event source handle for the whole report; nothing raised, nothing waited for.
void ReportRun(const RunSummary& summary) noexcept;

}  // namespace modRunReport
