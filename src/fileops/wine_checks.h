#pragma once
// Checks that Windows never needs, for a platform that acts on a handle's path where
// Windows acts on the object the handle holds. Wine renames by the paths the handles were
// opened by, reads a handle's final path from that path, and deletes a marked file by it
// as the last handle closes, each resolved again at that moment: a folder its owner swaps
// for a link meanwhile sends a file elsewhere, or brings another in its place. A look
// through the held folder itself, a file's number, and the folder's own entry in its
// parent's listing are what such a swap cannot fool. They run on Windows too, where they
// always hold and cost a few opens, so that the route Windows takes is the one tested.
#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace fileops {

struct CheckedFile;
struct ListedPath;

// Whether the judged path, opened again now, reaches the file the handle holds: once
// before a handle that is to change the file is used, and once before a rename.
bool PathStillReaches(const ListedPath& path, const CheckedFile& file);

// Whether `folder` (held open) is the folder `folderPath` names now: the parent's listing
// shows the entry of that name as this very folder, and no link. A drive's root is.
bool FolderIsNamedByItsPath(HANDLE folder, const std::wstring& folderPath);

// Whether the file numbered `number` stands at `name` inside the held `folder`.
bool FileIsIn(HANDLE folder, const std::wstring& name, uint64_t number);

// Renames the open file to `name` inside `folder`, or to `name` as a full path ("\??\...")
// when `folder` is null, never over anything there. Where the rename finds no file at its
// source or finds its destination taken (the path leads elsewhere at that moment), it is
// tried again a while. 0, or the last error.
[[nodiscard]] DWORD RenameAgainWhileMissing(HANDLE file, HANDLE folder, const std::wstring& name);

}  // namespace fileops
