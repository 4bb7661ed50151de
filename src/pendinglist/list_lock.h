#pragma once
// The update lock of one list file, shared by the service and QuorvaneTool, and the names
// of the files an update writes beside the list. Both belong to the file rather than to
// the spelling of its path: the long or the 8.3 name, the "\\?\" form and another drive
// letter for the same folder all come to one lock and one set of names. Not the file's
// own index: an update's rename brings in the index of its new file.
#include <string>

#include "platform/handles.h"

namespace basPendingRebootFiles {

// How long an update of QuorvaneTool waits while another one holds the same file.
constexpr DWORD kListLockTimeoutMs = 60000;
// How long the service waits to rewrite a missing or damaged list. Any program can create
// the lock's name, so the service never waits for it longer, and reads without it.
constexpr DWORD kServiceListLockTimeoutMs = 10000;

struct ListFileIdentity {
    std::wstring folder;  // the folder's final path ("\\?\C:\dir"), no trailing backslash
    std::wstring name;    // the file's long name as stored; as given when there is no file

    // The file reached through its folder's final path.
    std::wstring Path() const { return folder + L'\\' + name; }
};

// The identity of `name` in the folder whose final path ("C:\dir"; "C:" or "C:\" for a
// root) has been read already.
ListFileIdentity IdentityInFolder(const std::wstring& folderFinalPath, const std::wstring& name);

// Names the file that `fullPath` (a full path, any spelling) leads to. 0, or the error of
// the folder's open or of reading its final path.
[[nodiscard]] DWORD IdentifyListFile(const std::wstring& fullPath, ListFileIdentity& identity);

// Identifies the file and waits for its lock; holds the lock until destroyed. A thread that
// already holds the lock of the file takes it again at once.
class ListFileLock {
public:
    explicit ListFileLock(const std::wstring& fullPath, DWORD timeoutMs = kListLockTimeoutMs);
    // The lock of a file identified already.
    ListFileLock(ListFileIdentity identity, DWORD timeoutMs);
    ~ListFileLock();
    ListFileLock(const ListFileLock&) = delete;
    ListFileLock& operator=(const ListFileLock&) = delete;

    // 0 while the lock is held; otherwise the identification's error, WAIT_TIMEOUT when
    // another update held the file for the whole wait, or the error of the mutex's creation.
    [[nodiscard]] DWORD Error() const { return error_; }
    const ListFileIdentity& Identity() const { return identity_; }

private:
    void Take(DWORD timeoutMs);

    ListFileIdentity identity_;
    platform::UniqueHandle mutex_;
    DWORD error_ = 0;
};

}  // namespace basPendingRebootFiles
