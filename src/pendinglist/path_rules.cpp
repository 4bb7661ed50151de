#include "pendinglist/path_rules.h"

namespace basPendingRebootFiles {

bool IsFullyQualifiedPath(std::wstring_view path) {
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') {
        const wchar_t drive = path[0];
        return (drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z');
    }
    return path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\';
}

}  // namespace basPendingRebootFiles
