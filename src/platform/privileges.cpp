#include "platform/privileges.h"

#include "platform/handles.h"

namespace platform {

DWORD EnableBackupAndRestorePrivileges() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) {
        return ::GetLastError();
    }
    const UniqueHandle token(raw);
    struct {
        DWORD count;
        LUID_AND_ATTRIBUTES privileges[2];
    } wanted = {};
    wanted.count = 2;
    const wchar_t* names[2] = {L"SeBackupPrivilege", L"SeRestorePrivilege"};
    for (int i = 0; i < 2; ++i) {
        if (!::LookupPrivilegeValueW(nullptr, names[i], &wanted.privileges[i].Luid)) return ::GetLastError();
        wanted.privileges[i].Attributes = SE_PRIVILEGE_ENABLED;
    }
    // The call succeeds when it could enable only some: the last error tells.
    if (!::AdjustTokenPrivileges(token.get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(&wanted), 0, nullptr,
                                 nullptr)) {
        return ::GetLastError();
    }
    return ::GetLastError();
}

}  // namespace platform
