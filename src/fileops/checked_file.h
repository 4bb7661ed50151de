#pragma once
// A listed file reached through one handle whose object has been checked to be the one
// the judged path names. Whoever owns a folder on the path could swap it for a link to
// any file on the system; once the handle is checked, every step goes through it and
// every decision comes from the result of the call made on it.
#include <cstdint>
#include <string>

#include "fileops/listed_path.h"
#include "platform/final_path.h"
#include "platform/handles.h"

namespace fileops {

// The listed-path judgement as the file calls meet it: a path that the ANSI code page
// cannot hold exactly is a pattern too, since its ANSI form carries '?'.
ListedPath JudgePathForFileCalls(const std::wstring& text);

enum class Reached { File, Folder, NotFound, Redirected, Failed };

struct CheckedFile {
    Reached outcome = Reached::Failed;
    platform::UniqueFile handle;      // File, and Folder where folders were asked for
    // File: its number. The final path checked names the drive, and with it the volume,
    // so the number alone tells this file from any other the path could reach.
    uint64_t number = 0;
    DWORD error = 0;          // Failed: the failing call's error; Redirected: 4395
};

// What the route's handles ask for: enough to mark the file for deletion, rename it into
// the staging folder and clear the attributes that would keep the restart from deleting it.
// Its permissions are read through it too, where a request by its path is weighed.
constexpr DWORD kRouteAccess = DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;

// Opens what the judged path names without following a reparse point in its last
// component, sharing read, write and delete, and checks that the object is no link
// itself and that its final path is the judged path (short names expanded, any letter
// case). A folder is reported as Folder and not kept open.
CheckedFile OpenChecked(const ListedPath& path, DWORD access);

// The folder at `folder` ("X:\dir" or "X:\"), opened and checked the same way, and kept
// open: Folder, NotFound, Redirected or Failed.
CheckedFile OpenCheckedFolder(const std::wstring& folder);

// The nearest folder above the judged path that exists, checked: Folder, Redirected or
// Failed (NotFound only when not even the drive's root opens).
CheckedFile OpenNearestFolder(const ListedPath& path);

// Marks the checked file for deletion; it goes as its handle closes (or as the last
// program holding it closes it). 0, or the error of the call (5 for a read-only or running
// file): whether the file was deleted is decided by this result alone.
[[nodiscard]] DWORD MarkForDeletion(const CheckedFile& file);


}  // namespace fileops
