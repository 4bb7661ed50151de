#include "tools/list_update.h"

#include "pendinglist/ansi_codec.h"
#include "pendinglist/list_file_io.h"
#include "platform/long_path.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "eventlog/format_msg.h"

namespace quorvane_tool {
namespace {

constexpr DWORD kReplaceRetryMs = 5000;

// Tests stop an update here, after the new file is written and before it replaces the
// old one, to show that a writer killed at that moment loses nothing.
void PauseBeforeReplaceForTesting() {
    wchar_t value[16] = {};
    if (::GetEnvironmentVariableW(L"QUORVANE_TOOL_PAUSE_BEFORE_REPLACE_MS", value, 16) > 0) {
        ::Sleep(static_cast<DWORD>(_wtoi(value)));
    }
}

}  // namespace

ToolFailure FileFailure(const std::wstring& what, const std::wstring& path, unsigned long code) {
    const std::wstring text = modFormatMsg::TrimmedErrorText(static_cast<int32_t>(code));
    return ToolFailure{what + L" " + path + L": " + (text.empty() ? L"error " + std::to_wstring(code) : text)};
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    full.resize(length);
    return full;
}

ListLock::ListLock(const std::wstring& fullPath)
    : fullPath_(fullPath), lock_(fullPath, basPendingRebootFiles::kListLockTimeoutMs) {
    if (lock_.Error() == WAIT_TIMEOUT) {
        throw ToolFailure{L"the list " + fullPath + L" is busy: another update holds it"};
    }
    if (lock_.Error()) throw FileFailure(L"cannot lock", fullPath, lock_.Error());
}

ListReading ReadList(const std::wstring& path, basPendingRebootFiles::PendingRebootList& list,
                     const basPendingRebootFiles::TextCodec& codec) {
    ListReading reading;
    const std::wstring target = platform::ExtendedPath(path);
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return reading;
        throw FileFailure(L"cannot read", path, error);
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        throw ToolFailure{L"cannot read " + path + L": it is a directory"};
    }
    // Shared with other readers and with a rename over it, so that reading never makes
    // a concurrent update fail.
    platform::UniqueFile file(::CreateFileW(target.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) throw FileFailure(L"cannot read", path, ::GetLastError());
    LARGE_INTEGER size = {};
    ::GetFileSizeEx(file.get(), &size);
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
         got != bytes.size())) {
        throw FileFailure(L"cannot read", path, ::GetLastError());
    }
    reading.check = basPendingRebootFiles::ReadListBytes(
        reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), codec, list);
    reading.state = reading.check.ok() ? ListState::Whole : ListState::Unreadable;
    return reading;
}

std::wstring DescribeUnreadable(const basPendingRebootFiles::ListCheck& check) {
    return platform::FromUtf8(basPendingRebootFiles::DescribeFault(check.fault)) + L" at offset " +
           std::to_wstring(check.offset);
}

void ReplaceList(const ListLock& lock, const basPendingRebootFiles::PendingRebootList& list) {
    std::string bytes;
    if (!basPendingRebootFiles::WriteListBytes(list, basPendingRebootFiles::SystemCodec(), bytes)) {
        throw ToolFailure{L"a text of the list is longer than 65535 bytes"};
    }
    // The file's own name, not the spelling handed in: a rename onto an 8.3 name would
    // give the list that name.
    const std::wstring path = lock.Identity().Path();
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        throw ToolFailure{L"the list " + lock.FullPath() + L" is read-only; it is not updated"};
    }
    // One name for the new file: under the lock only one update writes it, and one left
    // by a writer that died is simply written over.
    const std::wstring fresh = lock.Identity().Beside(L".new");
    if (const DWORD error = basPendingRebootFiles::WriteFlushedFile(fresh, bytes)) {
        throw FileFailure(L"cannot write", fresh, error);
    }
    PauseBeforeReplaceForTesting();
    // A reader that does not share deletion (the service while it loads) holds the old
    // file only for a moment.
    const DWORD start = ::GetTickCount();
    while (!::MoveFileExW(fresh.c_str(), path.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        if (::GetTickCount() - start > kReplaceRetryMs ||
            (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) {
            ::DeleteFileW(fresh.c_str());
            throw FileFailure(L"cannot replace", lock.FullPath(), error);
        }
        ::Sleep(20);
    }
}

}  // namespace quorvane_tool
