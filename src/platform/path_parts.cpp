#include "platform/path_parts.h"

namespace platform {

std::wstring FolderOf(const std::wstring& full) {
    const size_t slash = full.find_last_of(L'\\');
    if (slash == std::wstring::npos) return std::wstring();
    return full.substr(0, slash < 3 ? 3 : slash);
}

std::wstring LeafOf(const std::wstring& full) { return full.substr(full.find_last_of(L'\\') + 1); }

}  // namespace platform
