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

FileBytes ReadWholeFile(const std::wstring& path) {
    platform::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) throw platform::FileError(::GetLastError(), kSource);
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

void WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    platform::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw platform::FileError(::GetLastError(), kSource);
    DWORD written = 0;
    if (!bytes.empty() &&
        (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
         written != bytes.size())) {
        throw platform::FileError(::GetLastError(), kSource);
    }
    if (!::FlushFileBuffers(file.get())) throw platform::FileError(::GetLastError(), kSource);
}

}  // namespace basPendingRebootFiles
