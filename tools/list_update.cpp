#include "tools/list_update.h"

#include "eventlog/format_msg.h"
#include "ownfiles/own_file.h"
#include "pendinglist/ansi_codec.h"
#include "pendinglist/list_file_io.h"
#include "platform/nt_file.h"
#include "platform/raised_error.h"
#include "platform/text.h"
#include "platform/win32.h"

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

std::wstring SystemText(DWORD code) {
    const std::wstring text = modFormatMsg::TrimmedErrorText(static_cast<int32_t>(code));
    return text.empty() ? L"error " + std::to_wstring(code) : text;
}

std::wstring NumberAndText(DWORD code) {
    const std::wstring number = L"error " + std::to_wstring(code);
    const std::wstring text = SystemText(code);
    return text == number ? number : number + L": " + text;
}

ToolFailure FileFailure(const std::wstring& what, const std::wstring& path, DWORD code) {
    return ToolFailure{what + L" " + path + L": " + SystemText(code)};
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

namespace {

// The file `identity` names; `path` as handed in, for messages.
ListReading ReadIdentified(const basPendingRebootFiles::ListFileIdentity& identity, const std::wstring& path,
                           basPendingRebootFiles::PendingRebootList& list,
                           const basPendingRebootFiles::TextCodec& codec) {
    ListReading reading;
    ownfiles::OwnFolder folder;
    if (const DWORD error = folder.Open(identity.folder)) throw FileFailure(L"cannot read", path, error);
    // Shared with other readers and with a rename over it, so that reading never makes
    // a concurrent update fail.
    ownfiles::OwnFile file = folder.OpenFile(identity.name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
    switch (file.state) {
    case ownfiles::OwnState::Opened:
        break;
    case ownfiles::OwnState::Missing:
        return reading;
    case ownfiles::OwnState::Folder:
        throw ToolFailure{L"cannot read " + path + L": it is a directory"};
    case ownfiles::OwnState::Link:
        throw ToolFailure{L"cannot read " + path + L": it is a link, or a second name of another file; "
                          L"the list is never read or written through one"};
    default:
        throw FileFailure(L"cannot read", path, file.error);
    }
    try {
        const basPendingRebootFiles::FileBytes bytes = basPendingRebootFiles::ReadWholeFile(file.handle.get());
        reading.check = basPendingRebootFiles::ReadListBytes(bytes.Data(), bytes.Size(), codec, list);
    } catch (const platform::RaisedError& failure) {
        throw ToolFailure{L"cannot read " + path + L": " + failure.Description()};
    }
    reading.state = reading.check.ok() ? ListState::Whole : ListState::Unreadable;
    return reading;
}

}  // namespace

ListReading ReadList(const std::wstring& path, basPendingRebootFiles::PendingRebootList& list,
                     const basPendingRebootFiles::TextCodec& codec) {
    basPendingRebootFiles::ListFileIdentity identity;
    if (const DWORD error = basPendingRebootFiles::IdentifyListFile(path, identity)) {
        throw FileFailure(L"cannot read", path, error);
    }
    return ReadIdentified(identity, path, list, codec);
}

ListReading ReadList(const ListLock& lock, basPendingRebootFiles::PendingRebootList& list) {
    return ReadIdentified(lock.Identity(), lock.FullPath(), list, basPendingRebootFiles::SystemCodec());
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
    ownfiles::OwnFolder folder;
    if (const DWORD error = folder.Open(lock.Identity().folder)) throw FileFailure(L"cannot write", lock.FullPath(), error);
    // The file's own name, not the spelling handed in: a rename onto an 8.3 name would
    // give the list that name.
    const std::wstring& name = lock.Identity().name;
    {
        // Closed before the rename: a file open here could not be replaced.
        const ownfiles::OwnFile present =
            folder.OpenFile(name, FILE_READ_ATTRIBUTES, platform::kShareAll);
        DWORD attributes = 0;
        if (present.state == ownfiles::OwnState::Opened &&
            platform::QueryAttributes(present.handle.get(), attributes) == ERROR_SUCCESS &&
            (attributes & FILE_ATTRIBUTE_READONLY)) {
            throw ToolFailure{L"the list " + lock.FullPath() + L" is read-only; it is not updated"};
        }
        if (present.state == ownfiles::OwnState::Link || present.state == ownfiles::OwnState::Folder) {
            throw ToolFailure{L"the list " + lock.FullPath() + L" is a link, a second name of another file or a "
                              L"directory; it is not replaced"};
        }
    }
    // One name for the new file: under the lock only one update writes it, and one left
    // by a writer that died is removed first. A reader that does not share deletion (the
    // service while it loads) holds the old file only for a moment.
    const DWORD error = basPendingRebootFiles::WriteThenRename(folder, name, name + L".new", bytes, true,
                                                                kReplaceRetryMs, PauseBeforeReplaceForTesting);
    if (error) throw FileFailure(L"cannot replace", lock.FullPath(), error);
}

}  // namespace quorvane_tool
