#pragma once
// Reading and replacing list files for QuorvaneTool. An update holds the lock of the list
// file, so that concurrent updates from several processes all land, and
// replaces the file with one rename, so that a crash or a kill at any moment leaves
// either the old list or the new one.
#include <string>

#include "pendinglist/ansi_codec.h"
#include "pendinglist/list_format.h"
#include "pendinglist/list_lock.h"
#include "platform/win32_result.h"

namespace quorvane_tool {

// An operation that failed: the message goes to stderr, exit status 1.
struct ToolFailure {
    std::wstring message;
};

// "cannot read C:\x.dat: <the system's text for the code>"
ToolFailure FileFailure(const std::wstring& what, const std::wstring& path, DWORD code);

std::wstring FullPath(const std::wstring& path);

// The system's message for an error code as one line, or "error N" where it has none.
std::wstring SystemText(DWORD code);
// "error 5: Access denied.", or "error 4395" where the system has no text for it.
std::wstring NumberAndText(DWORD code);

// Serialises updates of one list file across processes, the service's rewrite of the list
// included: the lock and the new file's name belong to the file, whatever spelling of its
// path is handed in. A holder that dies releases the lock.
class ListLock {
public:
    explicit ListLock(const std::wstring& fullPath);
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;

    const std::wstring& FullPath() const { return fullPath_; }  // as handed in, for messages
    const basPendingRebootFiles::ListFileIdentity& Identity() const { return lock_.Identity(); }

private:
    std::wstring fullPath_;
    basPendingRebootFiles::ListFileLock lock_;
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
// The same for the file a lock holds, found as the lock found it.
ListReading ReadList(const ListLock& lock, basPendingRebootFiles::PendingRebootList& list);

// "the file ends before the record is complete at offset 52"
std::wstring DescribeUnreadable(const basPendingRebootFiles::ListCheck& check);

// Writes the list to a file beside the locked file and renames it over that file. A
// read-only list is not updated.
void ReplaceList(const ListLock& lock, const basPendingRebootFiles::PendingRebootList& list);

}  // namespace quorvane_tool
