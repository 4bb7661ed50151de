#include "pendinglist/list_file_io.h"

#include <algorithm>

#include "platform/file_errors.h"
#include "platform/handles.h"
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

std::optional<FileBytes> ReadWholeFile(const std::wstring& path) {
    platform::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return std::nullopt;
        // A folder cannot be opened as a file: access denied, like a file held by others.
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return std::nullopt;
        }
        throw platform::FileError(error, kSource);
    }
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.get(), &size)) throw platform::FileError(::GetLastError(), kSource);
    FileBytes bytes = FileBytes::Allocate(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.Size()) {
        // One read for any list below 1 GiB; larger ones in 1 GiB steps.
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.Size() - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(file.get(), bytes.MutableData() + done, want, &got, nullptr)) {
            throw platform::FileError(::GetLastError(), kSource);
        }
        if (got == 0) throw platform::NumberedError(platform::kErrInputPastEnd, kSource);
        done += got;
    }
    return bytes;
}

unsigned long WriteFlushedFile(const std::wstring& path, const std::string& bytes) {
    platform::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ::GetLastError();
    DWORD written = 0;
    DWORD error = ERROR_SUCCESS;
    if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        error = ::GetLastError();
    } else if (written != bytes.size()) {
        error = ERROR_DISK_FULL;  // a short write reports no error of its own
    } else if (!::FlushFileBuffers(file.get())) {
        error = ::GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        file.reset();
        ::DeleteFileW(path.c_str());
    }
    return error;
}

void ReplaceWholeFile(const std::wstring& path, const std::wstring& temporary,
                      const std::string& bytes, bool replace) {
    const DWORD present = ::GetFileAttributesW(path.c_str());
    if (present != INVALID_FILE_ATTRIBUTES && (present & FILE_ATTRIBUTE_DIRECTORY)) {
        throw platform::FileError(ERROR_ACCESS_DENIED, kSource);
    }
    if (const DWORD error = WriteFlushedFile(temporary, bytes)) throw platform::FileError(error, kSource);
    // The old delete-then-write replaced a read-only list all the same; so does the rename.
    if (replace && present != INVALID_FILE_ATTRIBUTES && (present & FILE_ATTRIBUTE_READONLY)) {
        const DWORD rest = present & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        ::SetFileAttributesW(path.c_str(), rest ? rest : FILE_ATTRIBUTE_NORMAL);
    }
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!::MoveFileExW(temporary.c_str(), path.c_str(), flags)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        throw platform::FileError(error, kSource);
    }
}

void MoveToFreeName(const std::wstring& path, const std::vector<std::wstring>& names) {
    for (const std::wstring& name : names) {
        if (::MoveFileExW(path.c_str(), name.c_str(), MOVEFILE_WRITE_THROUGH)) return;
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
            throw platform::FileError(error, kSource);
        }
    }
    throw platform::FileError(ERROR_ALREADY_EXISTS, kSource);
}

}  // namespace basPendingRebootFiles
