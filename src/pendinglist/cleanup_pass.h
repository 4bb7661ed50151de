#pragma once
// The cleanup pass over a list through a route, each entry's end told to an observer: the
// service's writes the log's lines and counts the run; QuorvaneTool's list check, over a
// route that changes nothing, collects what a run started now would do.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fileops/file_funcs.h"
#include "pendinglist/pending_reboot_list.h"

namespace basPendingRebootFiles {

enum class EntryEnd { Deleted, Scheduled, Refused, Gone, LeftAlone };

// The index of a file an earlier run staged whose entry has left the list since.
constexpr size_t kNoEntry = static_cast<size_t>(-1);

struct EntryStep {
    size_t index = kNoEntry;  // the entry's position in the list as the pass began
    int32_t flag = 0;
    EntryEnd end = EntryEnd::Gone;
    uint32_t error = 0;           // Refused: the refusal
    bool clearedStaged = false;   // Deleted: the file an earlier run staged for the path
};

class PassObserver {
public:
    virtual ~PassObserver() = default;
    // Before the first step on a path (never for an entry left alone by its flag).
    virtual void Started(const std::wstring& path) = 0;
    // The entry's end; the route's Last...() calls still tell the step's details.
    virtual void Ended(const std::wstring& path, const EntryStep& step) = 0;
};

// Takes up each entry the list holds as it begins, in order, removing those whose files
// are deleted or gone, then the staged files of earlier runs no entry named.
void RunPass(PendingRebootList& list, cFileFuncs& files, PassObserver& observer);

}  // namespace basPendingRebootFiles
