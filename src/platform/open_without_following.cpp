#include "platform/open_without_following.h"

#include "platform/nt_file.h"

namespace platform {

OpenedObject OpenWithoutFollowing(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) {
    OpenedObject opened;
    opened.handle.reset(NativeCalls().CreateFileW(
        path.c_str(), access | FILE_READ_ATTRIBUTES, share, nullptr, disposition,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!opened.handle) {
        opened.error = ::GetLastError();
        return opened;
    }
    // Each costs the platform nothing beyond the open: no look at the volume.
    if (const DWORD error = QueryObjectFacts(opened.handle.get(), opened.attributes, opened.links, opened.number)) {
        opened.handle.reset();
        opened.error = error;
    }
    return opened;
}

}  // namespace platform
