#pragma once
// A listed file reached through one handle whose object has been checked to be the one
// the judged path names. Whoever owns a folder on the path could swap it for a link to
// any file on the system; after the check every step goes through the handle, and a
// request that can only be made by path is made while the checked handle is still open.
#include <string>

#include "fileops/listed_path.h"
#include "platform/handles.h"

struct FileApi;

namespace fileops {

// The listed-path judgement as the file calls meet it: a path that the ANSI code page
// cannot hold exactly is a pattern too, since its ANSI form carries '?'.
ListedPath JudgePathForFileCalls(const std::wstring& text);

enum class OpenOutcome { Opened, NotFound, Directory, Redirected, Failed };

// Which file an open reached: its number on its volume. The volume itself is the judged
// path's drive, which the final path check has already held the handle to.
struct FileIdentity {
    unsigned long long index = 0;
    bool operator==(const FileIdentity& other) const { return index == other.index; }
};

struct CheckedFile {
    OpenOutcome outcome = OpenOutcome::Failed;
    platform::UniqueFile handle;  // only when Opened
    FileIdentity identity;        // only when Opened
    unsigned long error = 0;      // why not: the open's error, or the reparse-point number
};

// Opens what the path names without following a reparse point in its last component,
// and checks that the object's final path is the judged path (long names compared, in
// any letter case) and that the path, opened again, reaches the same file. A folder is
// reported and never checked further: nothing acts on one.
CheckedFile OpenChecked(const ListedPath& path, unsigned long access);

// The folder that would hold the path's file, opened and checked the same way.
CheckedFile OpenCheckedFolder(const ListedPath& path);

// Whether the object behind the handle is at the judged path now.
bool NamesJudgedPath(HANDLE handle, const std::wstring& judged);

// Marks the checked file for deletion and checks its path once more, withdrawing the
// mark when the path has moved meanwhile; the file goes when the handle closes. 0 on
// success, else the error.
unsigned long MarkForDeletion(const CheckedFile& file, const std::wstring& judged, const FileApi& api);

// Whether the file a checked handle held, now closed with its delete mark, is no longer at
// the path: nothing there in a folder that checks out, or another file.
bool HasLeft(const ListedPath& path, const FileIdentity& deleted);

// The platform's request to delete the judged path at the next restart. 0 or the error.
unsigned long RequestDeleteAtRestart(const ListedPath& path, const FileApi& api);

}  // namespace fileops
