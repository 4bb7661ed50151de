#pragma once
// What Load and the cleanup pass did in one run: the list file's fate and the pass's
// counts and first refusals, which the run reports to the event log. Free of the Windows API.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace basPendingRebootFiles {

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

// At most this many refusals are kept one by one; `refused` counts them all.
constexpr size_t kRefusalsKept = 20;

struct JobRecord {
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

    // The first refusals of the run, in the pass's order.
    std::vector<RefusedEntry> refusals;
};

}  // namespace basPendingRebootFiles
