#include "ownfiles/own_file.h"

#include "platform/final_path.h"
#include "platform/long_path.h"
#include "platform/nt_file.h"
#include "platform/open_without_following.h"
#include "platform/path_parts.h"
#include "platform/win32.h"

namespace ownfiles {
namespace {

OwnFile Failed(DWORD error) {
    OwnFile result;
    result.error = error;
    return result;
}

OwnFile WithState(OwnState state, DWORD error = 0) {
    OwnFile result;
    result.state = state;
    result.error = error;
    return result;
}

// The own-file policy on the one open that follows no link. What stands at the name, from
// the opened handle alone: a link opened itself (Windows), a second name of a file (a hard
// link), or a file reached through a link (Wine follows one in the last component; a
// folder on the path redirected). A file found at its expected path before needs no second
// reading of its final path: the same number with one name is the same file.
OwnFile Check(platform::OpenedObject opened, const std::wstring& expected, bool secondNames,
              KnownOwnFile* known) {
    if (!opened.handle) return opened.Missing() ? WithState(OwnState::Missing) : Failed(opened.error);
    if (opened.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        return WithState(OwnState::Link, platform::kErrorReparsePointEncountered);
    }
    if (opened.attributes & FILE_ATTRIBUTE_DIRECTORY) return WithState(OwnState::Folder);
    if (opened.links != 1 && !secondNames) return WithState(OwnState::Link, platform::kErrorReparsePointEncountered);
    if (!known || known->number == 0 || known->number != opened.number || opened.links != 1) {
        std::wstring final;
        if (const DWORD error = platform::FinalPathOf(opened.handle.get(), final)) return Failed(error);
        if (!platform::SamePathText(final, expected)) {
            return WithState(OwnState::Link, platform::kErrorReparsePointEncountered);
        }
        if (known && opened.links == 1) known->number = opened.number;
    }
    OwnFile result;
    result.state = OwnState::Opened;
    result.handle = std::move(opened.handle);
    result.links = opened.links;
    return result;
}

OwnFile OpenExisting(const std::wstring& path, const std::wstring& expected, DWORD access, DWORD share,
                     bool secondNames = false, KnownOwnFile* known = nullptr) {
    return Check(platform::OpenWithoutFollowing(platform::ExtendedPath(path), access, share), expected, secondNames,
                 known);
}

}  // namespace

DWORD FinalFolderPath(const std::wstring& folder, std::wstring& final) {
    OwnFolder opened;
    const DWORD error = opened.Open(folder);
    if (error != ERROR_SUCCESS) return error;
    final = opened.FinalPath();
    if (final.size() == 2) final += L'\\';  // a drive's root keeps its backslash
    return ERROR_SUCCESS;
}

OwnFile OpenOrCreateOwnFile(const std::wstring& path, const std::wstring& expected, DWORD access, DWORD share,
                            KnownOwnFile* known) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        OwnFile existing = OpenExisting(path, expected, access, share, false, known);
        if (existing.state != OwnState::Missing) return existing;
        // CREATE_NEW creates nothing where a link stands, dangling or not.
        platform::OpenedObject created =
            platform::OpenWithoutFollowing(platform::ExtendedPath(path), access, share, CREATE_NEW);
        if (created.handle) return Check(std::move(created), expected, false, known);
        if (created.error != ERROR_FILE_EXISTS && created.error != ERROR_ALREADY_EXISTS) return Failed(created.error);
        // Another writer created it meanwhile, or a dangling link stands there: look again.
    }
    return WithState(OwnState::Link, platform::kErrorReparsePointEncountered);
}

DWORD OwnFolder::Open(const std::wstring& folder) {
    // The folder itself may be reached through a link its administrator made: its final
    // path is what the files in it are held to.
    std::wstring spelled = folder;
    if (spelled.size() > 3 && spelled.back() == L'\\') spelled.pop_back();
    folder_.reset(platform::NativeCalls().CreateFileW(platform::ExtendedPath(spelled).c_str(),
                                FILE_READ_ATTRIBUTES | FILE_TRAVERSE | FILE_LIST_DIRECTORY,
                                platform::kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder_) return ::GetLastError();
    const DWORD error = platform::FinalPathOf(folder_.get(), final_);
    if (error != ERROR_SUCCESS) folder_.reset();
    if (!final_.empty() && final_.back() == L'\\') final_.pop_back();  // a drive root
    return error;
}

std::wstring OwnFolder::PathOf(const std::wstring& name) const { return final_ + L'\\' + name; }

OwnFile OwnFolder::OpenFile(const std::wstring& name, DWORD access, DWORD share,
                            bool secondNames) const {
    return OpenExisting(PathOf(name), PathOf(name), access, share, secondNames);
}

OwnFile OwnFolder::CreateFresh(const std::wstring& name) const {
    OwnFile stale = OpenFile(name, DELETE, platform::kShareAll);
    if (stale.state == OwnState::Opened) {
        if (const DWORD error = RemoveOwnFile(stale)) return Failed(error);
    } else if (stale.state == OwnState::Link) {
        return WithState(OwnState::Link, stale.error);  // nothing is written through a link
    } else if (stale.state != OwnState::Missing && stale.state != OwnState::Folder) {
        return Failed(stale.error);
    }
    // A folder at the name: the create below gets the platform's refusal.
    OwnFile created;
    const DWORD error = platform::CreateNewFileIn(folder_.get(), name,
                                                  GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES, 0, created.handle);
    if (error != ERROR_SUCCESS) return Failed(error);
    created.state = OwnState::Opened;
    return created;
}

DWORD OwnFolder::RenameInto(HANDLE file, const std::wstring& name, bool replace) const {
    return platform::RenameOpenFile(file, folder_.get(), name, replace);
}

DWORD CreateUnderFreeName(HANDLE folder, const std::function<std::wstring(int)>& nameOf,
                                  DWORD access, platform::UniqueFile& file, std::wstring& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = nameOf(attempt);
        const DWORD error = platform::CreateNewFileIn(folder, name, access, 0, file);
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return error;
    }
    return ERROR_ALREADY_EXISTS;
}

DWORD WriteAllFlushed(HANDLE file, const void* bytes, size_t size) {
    DWORD written = 0;
    if (!platform::NativeCalls().WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr)) return ::GetLastError();
    if (written != size) return ERROR_DISK_FULL;
    return platform::NativeCalls().FlushFileBuffers(file) ? ERROR_SUCCESS : ::GetLastError();
}

DWORD RemoveOwnFile(OwnFile& file) {
    const DWORD error = platform::SetDeleteMark(file.handle.get(), true);
    file.handle.reset();
    return error;
}

}  // namespace ownfiles
