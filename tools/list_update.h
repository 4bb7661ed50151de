#pragma once
// Reading and replacing list files for QuorvaneTool. An update holds a lock of its own
// per list file, so that concurrent updates from several processes all land, and
// replaces the file with one rename, so that a crash or a kill at any moment leaves
// either the old list or the new one.
#include <string>

#include "pendinglist/ansi_codec.h"
#include "pendinglist/list_format.h"
#include "platform/handles.h"

namespace quorvane_tool {

// An operation that failed: the message goes to stderr, exit status 1.
struct ToolFailure {
    std::wstring message;
};

std::wstring FullPath(const std::wstring& path);

// Serialises updates of one list file across processes. The lock is a named mutex whose
// name derives from the file's full path; a holder that dies releases it.
class ListLock {
public:
    explicit ListLock(const std::wstring& fullPath);
    ~ListLock();
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;

private:
    platform::UniqueHandle mutex_;
};

enum class ListState { Missing, Unreadable, Whole };

struct ListReading {
    ListState state = ListState::Missing;
    basPendingRebootFiles::ListCheck check;  // why and where an unreadable file breaks
};

// Reads the whole file into `list`, its texts decoded by `codec` (the service's by
// default). A file that cannot be opened at all is a failure.
ListReading ReadList(const std::wstring& path, basPendingRebootFiles::PendingRebootList& list,
                     const basPendingRebootFiles::TextCodec& codec = basPendingRebootFiles::SystemCodec());

// "the file ends before the record is complete at offset 52"
std::wstring DescribeUnreadable(const basPendingRebootFiles::ListCheck& check);

// Writes the list to a file beside `path` and renames it over `path`.
void ReplaceList(const std::wstring& path, const basPendingRebootFiles::PendingRebootList& list);

}  // namespace quorvane_tool
