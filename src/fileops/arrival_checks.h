#pragma once
// Where a file stands after a rename, told by handles alone. On Windows a rename through
// a handle moves the object the handle holds into the folder the folder handle holds, and
// these checks only confirm it. Wine renames by the paths the handles were opened by,
// resolved again at the moment of the rename: a folder its owner swapped for a link
// meanwhile sends the file, or takes another, elsewhere. A look through the held folder
// itself, and the folder's own entry in its parent's listing, are what a swap cannot fool.
#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace fileops {

// Whether `folder` (held open) is the folder `folderPath` names now: the parent's listing
// shows the entry of that name as this very folder, and no link. A drive's root is.
bool FolderIsNamedByItsPath(HANDLE folder, const std::wstring& folderPath);

// Whether the file numbered `number` stands at `name` inside the held `folder`.
bool FileIsIn(HANDLE folder, const std::wstring& name, uint64_t number);

// Renames the open file to `name` inside `folder`, or to `name` as a full path ("\??\...")
// when `folder` is null, never over anything there. Where the platform renames by path and
// finds no file there (the path leads elsewhere at that moment), it is tried again a
// while. 0, or the last error.
[[nodiscard]] DWORD RenameAgainWhileMissing(HANDLE file, HANDLE folder, const std::wstring& name);

}  // namespace fileops
