#include "pendinglist/list_file_io.h"

#include <algorithm>

#include "platform/file_errors.h"
#include "platform/handles.h"
#include "platform/nt_file.h"
#include "platform/win32.h"

namespace basPendingRebootFiles {
namespace {

constexpr wchar_t kSource[] = L"PendingRebootFiles";

size_t PageSize() {
    static const size_t size = [] {
        SYSTEM_INFO info;
        ::GetSystemInfo(&info);
        return static_cast<size_t>(info.dwPageSize);
    }();
    return size;
}

}  // namespace

FileBytes::FileBytes(FileBytes&& other) noexcept
    : data_(other.data_), size_(other.size_), released_(other.released_) {
    other.data_ = nullptr;
    other.size_ = other.released_ = 0;
}

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
    if (this != &other) {
        Free();
        data_ = other.data_;
        size_ = other.size_;
        released_ = other.released_;
        other.data_ = nullptr;
        other.size_ = other.released_ = 0;
    }
    return *this;
}

FileBytes::~FileBytes() { Free(); }

void FileBytes::Free() {
    if (data_) ::VirtualFree(data_, 0, MEM_RELEASE);
    data_ = nullptr;
    size_ = released_ = 0;
}

FileBytes FileBytes::Allocate(size_t size) {
    FileBytes bytes;
    if (size == 0) return bytes;
    bytes.data_ = static_cast<uint8_t*>(
        ::VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!bytes.data_) throw platform::FileError(ERROR_NOT_ENOUGH_MEMORY, kSource);
    bytes.size_ = size;
    return bytes;
}

void FileBytes::ReleaseBefore(size_t offset) {
    const size_t page = PageSize();
    const size_t end = (offset / page) * page;
    if (!data_ || end <= released_) return;
    ::VirtualFree(data_ + released_, end - released_, MEM_DECOMMIT);
    released_ = end;
}

FileBytes ReadWholeFile(HANDLE file) {
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file, &size)) throw platform::FileError(::GetLastError(), kSource);
    FileBytes bytes = FileBytes::Allocate(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.Size()) {
        // One read for any list below 1 GiB; larger ones in 1 GiB steps.
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.Size() - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(file, bytes.MutableData() + done, want, &got, nullptr)) {
            throw platform::FileError(::GetLastError(), kSource);
        }
        if (got == 0) throw platform::NumberedError(platform::kErrInputPastEnd, kSource);
        done += got;
    }
    return bytes;
}

namespace {

// What stands at `name` may be replaced only when it is a plain file; a read-only one
// loses that attribute first, through its own handle, as the old delete-then-write did.
DWORD MakeReplaceable(const ownfiles::OwnFolder& folder, const std::wstring& name) {
    ownfiles::OwnFile present = folder.OpenFile(name, FILE_WRITE_ATTRIBUTES,
                                               platform::kShareAll);
    switch (present.state) {
    case ownfiles::OwnState::Missing:
        return ERROR_SUCCESS;
    case ownfiles::OwnState::Opened:
        break;
    case ownfiles::OwnState::Folder:
        return ERROR_SUCCESS;  // the rename onto it gets the platform's own refusal
    default:
        return present.error;
    }
    DWORD attributes = 0;
    if (const DWORD error = platform::QueryAttributes(present.handle.get(), attributes)) return error;
    if (!(attributes & FILE_ATTRIBUTE_READONLY)) return ERROR_SUCCESS;
    return platform::SetAttributes(present.handle.get(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

bool RefusedForTheMoment(DWORD error) { return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION; }

}  // namespace

DWORD WriteThenRename(const ownfiles::OwnFolder& folder, const std::wstring& name,
                              const std::wstring& temporary, const std::string& bytes, bool replace,
                              DWORD retryMs, const std::function<void()>& beforeRename) {
    ownfiles::OwnFile fresh = folder.CreateFresh(temporary);
    if (fresh.state != ownfiles::OwnState::Opened) return fresh.error;
    DWORD error = ownfiles::WriteAllFlushed(fresh.handle.get(), bytes.data(), bytes.size());
    if (error == ERROR_SUCCESS && beforeRename) beforeRename();
    if (error == ERROR_SUCCESS && replace) error = MakeReplaceable(folder, name);
    const DWORD start = ::GetTickCount();
    while (error == ERROR_SUCCESS) {
        error = folder.RenameInto(fresh.handle.get(), name, replace);
        if (!RefusedForTheMoment(error) || ::GetTickCount() - start >= retryMs) break;
        ::Sleep(20);
        error = ERROR_SUCCESS;
    }
    if (error != ERROR_SUCCESS) platform::BestEffort(ownfiles::RemoveOwnFile(fresh));
    return error;
}

DWORD MoveToFreeName(const ownfiles::OwnFolder& folder, HANDLE file, const std::vector<std::wstring>& names,
                             std::wstring& taken) {
    for (const std::wstring& name : names) {
        const DWORD error = folder.RenameInto(file, name, false);
        if (error == ERROR_SUCCESS) {
            taken = name;
            return ERROR_SUCCESS;
        }
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return error;
    }
    return ERROR_ALREADY_EXISTS;
}

}  // namespace basPendingRebootFiles
