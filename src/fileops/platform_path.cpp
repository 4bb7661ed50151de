#include "fileops/platform_path.h"

#include "platform/text.h"

namespace fileops_detail {

std::optional<std::string> AnsiPatternPath(const std::wstring& path) {
    if (path.find(L'\0') != std::wstring::npos) return std::nullopt;
    return platform::ToAnsiExact(path);
}

std::optional<std::string> AnsiTargetPath(const std::wstring& path) {
    if (path.find_first_of(L"*?") != std::wstring::npos) return std::nullopt;
    return AnsiPatternPath(path);
}

}  // namespace fileops_detail
