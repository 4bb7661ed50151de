#pragma once
// The files the programs keep for themselves beside a list or an executable: the activity
// log, the list, its temporary names and its damaged copies. They are not listed paths,
// but they lie in a folder whose names a link could stand at: they are opened without
// following a reparse point and used only when what was opened is a plain file with one
// link at the path expected, and they are created new, never over a name already there.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/handles.h"

namespace ownfiles {

enum class OwnState {
    Opened,   // a plain file with one link at the expected path
    Missing,  // nothing there
    Folder,   // a folder stands at the name
    Link,     // a link stands at the name, or a second name of another file
    Failed,   // could not be opened: see error
};

struct OwnFile {
    OwnState state = OwnState::Failed;
    platform::UniqueFile handle;  // Opened only
    DWORD links = 0;      // Opened: the file's names
    DWORD error = 0;      // Failed: the failing call's error; Link: 4395
};

// The final path of a folder ("C:\dir", "C:\" for a root), the expected folder of the
// files in it; 0 or the error.
[[nodiscard]] DWORD FinalFolderPath(const std::wstring& folder, std::wstring& final);

// A file once found at its expected path, by its number: a caller that opens it again and
// again (the log, once an entry) keeps one, so that an open reaching the same number with
// one name needs no final path read.
struct KnownOwnFile {
    uint64_t number = 0;  // 0: none found yet
};

// Opens the existing file at `path` (any full spelling) with `access` and `share`, checked
// to be a plain file with one link whose final path is `expected` (compared in any letter
// case), and when nothing is there creates the file new (never through a link standing
// at the name, dangling or not).
OwnFile OpenOrCreateOwnFile(const std::wstring& path, const std::wstring& expected, DWORD access, DWORD share,
                            KnownOwnFile* known = nullptr);

// A folder of own files, held open: files are created in it and renamed into it through
// this handle, so a folder swapped meanwhile is not followed.
class OwnFolder {
public:
    // Opens the folder at `folder` (any full spelling) and reads its final path.
    [[nodiscard]] DWORD Open(const std::wstring& folder);

    const std::wstring& FinalPath() const { return final_; }
    HANDLE Handle() const { return folder_.get(); }
    std::wstring PathOf(const std::wstring& name) const;  // "C:\dir\name"

    // With `secondNames`, a file with more than one name is opened too (Opened, `links`
    // telling): for a caller that only removes that name and leaves the file's attributes.
    OwnFile OpenFile(const std::wstring& name, DWORD access, DWORD share,
                     bool secondNames = false) const;

    // Creates `name` new for writing. A plain file left there by an earlier writer is
    // removed first through a checked handle; a link or a folder there fails (4395 or 5).
    OwnFile CreateFresh(const std::wstring& name) const;

    // Renames the open file to `name` in this folder; over an existing name only when
    // `replace` (a link there is replaced itself, never followed). 0 or the error.
    [[nodiscard]] DWORD RenameInto(HANDLE file, const std::wstring& name, bool replace) const;

private:
    platform::UniqueFile folder_;
    std::wstring final_;
};

// Creates a file new in the open folder under the first free name of the 100 that
// `nameOf(0)` to `nameOf(99)` give: 0 with the file and its name, ERROR_ALREADY_EXISTS
// when every one was taken, or the error of the create.
[[nodiscard]] DWORD CreateUnderFreeName(HANDLE folder, const std::function<std::wstring(int)>& nameOf,
                                  DWORD access, platform::UniqueFile& file, std::wstring& name);

// Writes all of the bytes with one write and flushes them to disk. 0, or the error (a
// short write, which reports none of its own, counts as a full disk).
[[nodiscard]] DWORD WriteAllFlushed(HANDLE file, const void* bytes, size_t size);

// Removes the opened file: marked for deletion, gone as the handle closes. 0 or the error.
[[nodiscard]] DWORD RemoveOwnFile(OwnFile& file);

}  // namespace ownfiles
