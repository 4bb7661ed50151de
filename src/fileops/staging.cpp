#include "fileops/staging.h"

#include <algorithm>
#include <cstdio>

#include "fileops/checked_file.h"
#include "fileops/pending_deletes.h"
#include "platform/long_path.h"
#include "platform/nt_file.h"
#include "platform/win32.h"

namespace fileops {
namespace {

// What keeps the platform's delete at restart (and the sweep) from removing a staged file.
constexpr DWORD kBlockingAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr size_t kRecordLimit = 70000;  // bytes: a path of 32767 characters and the rest

// "<listed path> CR LF <attributes, 8 hex digits> CR LF" in UTF-16LE after a byte-order
// mark: a person can read it in any editor.
std::wstring RecordText(const std::wstring& listedPath, uint32_t attributes) {
    wchar_t hex[16];
    std::swprintf(hex, 16, L"%08X", attributes);
    return L"\xFEFF" + listedPath + L"\r\n" + hex + L"\r\n";
}

bool ParseRecord(const std::wstring& text, StagedFile& staged) {
    if (text.empty() || text[0] != L'\xFEFF') return false;
    const size_t end = text.find(L"\r\n", 1);
    if (end == std::wstring::npos || end == 1) return false;
    staged.listedPath = text.substr(1, end - 1);
    staged.attributes = static_cast<uint32_t>(std::wcstoul(text.c_str() + end + 2, nullptr, 16));
    return true;
}

std::vector<std::wstring> NamesEndingIn(const std::wstring& folder, const wchar_t* suffix) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    platform::UniqueFind search(
        ::FindFirstFileW(platform::LiteralForm(folder + L"\\*" + suffix).c_str(), &found));
    if (!search) return names;
    const size_t length = std::wcslen(suffix);
    do {
        const std::wstring name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name.size() > length &&
            name.compare(name.size() - length, length, suffix) == 0) {
            names.push_back(name.substr(0, name.size() - length));
        }
    } while (::FindNextFileW(search.get(), &found));
    std::sort(names.begin(), names.end());  // the names begin with the time of staging
    return names;
}

}  // namespace

// Whether the file now at the staged name is the one the handle holds; where it is not
// (Wine's rename by path took another), that file is put back by the path it came by.
bool StagingFolder::StagedIsHeld(const std::wstring& stagedName, const CheckedFile& file,
                                 const std::wstring& listedPath) const {
    OwnFile moved = folder_.OpenFile(stagedName, DELETE, platform::kShareAll);
    // A rename never leaves its volume, so the numbers alone tell the files apart; the
    // drive letters need not be the same (Wine's Z: and C: give one volume two serials).
    uint64_t number = 0;
    if (moved.state == OwnState::Opened && platform::QueryFileNumber(moved.handle.get(), number) == ERROR_SUCCESS &&
        number == file.identity.number) {
        return true;
    }
    if (moved.state == OwnState::Opened) {
        platform::RenameOpenFile(moved.handle.get(), nullptr, L"\\??\\" + listedPath, false);
    }
    return false;
}

StagingFolder::StagingFolder(std::wstring folder) : path_(std::move(folder)) {
    if (!path_.empty() && path_.back() == L'\\') path_.pop_back();
}

unsigned long StagingFolder::OpenFolder(bool create) {
    if (open_) return ERROR_SUCCESS;
    if (create && !::CreateDirectoryW(platform::LiteralForm(path_).c_str(), nullptr) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS) {
        return ::GetLastError();
    }
    if (const DWORD error = folder_.Open(path_)) return error;
    // The folder itself must be the one inside the service's folder, not a link to another.
    OwnFolder parent;
    if (const DWORD error = parent.Open(FolderOf(path_))) return error;
    if (!platform::SamePathText(folder_.FinalPath(), parent.PathOf(LeafOf(path_)))) {
        return kErrorReparsePointEncountered;
    }
    open_ = true;
    return ERROR_SUCCESS;
}

unsigned long StagingFolder::Stage(const CheckedFile& file, const std::wstring& listedPath, std::wstring& staged) {
    if (const DWORD error = OpenFolder(true)) return error;
    DWORD attributes = 0;
    platform::StandardFacts facts;
    if (const DWORD error = platform::QueryAttributes(file.handle.get(), attributes)) return error;
    if (const DWORD error = platform::QueryStandard(file.handle.get(), facts)) return error;

    // A name of its own: the time of staging, the process and a sequence number.
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const auto nameOf = [this, &now](int) {
        wchar_t text[64];
        std::swprintf(text, 64, L"%08lX%08lX-%lX-%u", now.dwHighDateTime, now.dwLowDateTime,
                      ::GetCurrentProcessId(), ++sequence_);
        return text + std::wstring(kRecordSuffix);
    };
    OwnFile record;
    std::wstring recordName;
    if (const DWORD error = CreateUnderFreeName(folder_.Handle(), nameOf, GENERIC_WRITE | DELETE | SYNCHRONIZE,
                                                record.handle, recordName)) {
        return error;
    }
    record.state = OwnState::Opened;
    const std::wstring name = recordName.substr(0, recordName.size() - std::wcslen(kRecordSuffix));

    const std::wstring text = RecordText(listedPath, attributes);
    DWORD error = WriteAllFlushed(record.handle.get(), text.data(), text.size() * sizeof(wchar_t));
    // Wine renames by the path the handle was opened by: a folder swapped for a link since
    // the check would move the link's file instead. One more look just before, and one
    // after: a file found in its place that is not the one held goes straight back.
    const ListedPath listed{PathKind::File, listedPath, 0};
    if (error == ERROR_SUCCESS && !PathStillReaches(listed, file)) error = kErrorReparsePointEncountered;
    if (error == ERROR_SUCCESS) error = platform::RenameOpenFile(file.handle.get(), folder_.Handle(),
                                                                  name + kStagedSuffix, false);
    if (error == ERROR_SUCCESS && !StagedIsHeld(name + kStagedSuffix, file, listedPath)) {
        error = kErrorReparsePointEncountered;
    }
    if (error != ERROR_SUCCESS) {
        RemoveOwnFile(record);
        return error;
    }
    // The platform's delete at restart leaves a read-only file in place. A file with a
    // second name keeps its attributes: they belong to that name's file too.
    if (facts.links == 1 && (attributes & kBlockingAttributes)) {
        platform::SetAttributes(file.handle.get(), attributes & ~kBlockingAttributes);
    }
    staged = folder_.PathOf(name + kStagedSuffix);
    return ERROR_SUCCESS;
}

void StagingFolder::Sweep() {
    if (OpenFolder(false) != ERROR_SUCCESS) return;
    const std::wstring& folder = folder_.FinalPath();
    for (const std::wstring& name : NamesEndingIn(folder, kStagedSuffix)) {
        OwnFile file = folder_.OpenFile(name + kStagedSuffix, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                        platform::kShareAll, true);
        if (file.state != OwnState::Opened) continue;
        DWORD attributes = 0;
        if (file.links == 1 && platform::QueryAttributes(file.handle.get(), attributes) == ERROR_SUCCESS &&
            (attributes & kBlockingAttributes)) {
            platform::SetAttributes(file.handle.get(), attributes & ~kBlockingAttributes);
        }
        // Still running, or mapped by another program: left for the restart.
        if (RemoveOwnFile(file) == ERROR_SUCCESS) Forget(name);
    }
    for (const std::wstring& name : NamesEndingIn(folder, kRecordSuffix)) {
        if (::GetFileAttributesW(platform::LiteralForm(folder_.PathOf(name + kStagedSuffix)).c_str()) ==
            INVALID_FILE_ATTRIBUTES) {
            Forget(name);
        }
    }
}

bool StagingFolder::Read(const std::wstring& name, StagedFile& staged) {
    if (OpenFolder(false) != ERROR_SUCCESS) return false;
    OwnFile record = folder_.OpenFile(name + kRecordSuffix, GENERIC_READ, FILE_SHARE_READ);
    if (record.state != OwnState::Opened) return false;
    std::wstring text(kRecordLimit / sizeof(wchar_t), L'\0');
    DWORD got = 0;
    if (!::ReadFile(record.handle.get(), text.data(), kRecordLimit, &got, nullptr)) return false;
    text.resize(got / sizeof(wchar_t));
    staged.name = name;
    if (!ParseRecord(text, staged)) return false;
    staged.present = ::GetFileAttributesW(platform::LiteralForm(folder_.PathOf(name + kStagedSuffix)).c_str()) !=
                     INVALID_FILE_ATTRIBUTES;
    return true;
}

std::vector<StagedFile> StagingFolder::List() {
    std::vector<StagedFile> files;
    if (OpenFolder(false) != ERROR_SUCCESS) return files;
    for (const std::wstring& name : NamesEndingIn(folder_.FinalPath(), kRecordSuffix)) {
        StagedFile staged;
        if (Read(name, staged)) files.push_back(std::move(staged));
    }
    return files;
}

void StagingFolder::Forget(const std::wstring& name) const {
    OwnFile record = folder_.OpenFile(name + kRecordSuffix, DELETE, platform::kShareAll);
    if (record.state == OwnState::Opened) RemoveOwnFile(record);
}

unsigned long StagingFolder::Restore(const StagedFile& staged) {
    if (!staged.present) return ERROR_FILE_NOT_FOUND;
    const std::wstring& name = staged.name;
    const ListedPath destination = JudgePathForFileCalls(staged.listedPath);
    if (destination.kind != PathKind::File) return kErrorInvalidName;
    OwnFile file = folder_.OpenFile(name + kStagedSuffix, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                    platform::kShareAll);
    if (file.state != OwnState::Opened) return file.state == OwnState::Missing ? ERROR_FILE_NOT_FOUND : file.error;
    const CheckedFile folder = OpenCheckedFolder(FolderOf(destination.path));
    if (folder.outcome != Reached::Folder) {
        return folder.outcome == Reached::NotFound ? ERROR_PATH_NOT_FOUND : folder.error;
    }
    if (const DWORD error =
            platform::RenameOpenFile(file.handle.get(), folder.handle.get(), LeafOf(destination.path), false)) {
        return error == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : error;
    }
    platform::SetAttributes(file.handle.get(), staged.attributes);
    PendingDeletes::Withdraw(folder_.PathOf(name + kStagedSuffix));
    Forget(name);
    return ERROR_SUCCESS;
}

}  // namespace fileops
