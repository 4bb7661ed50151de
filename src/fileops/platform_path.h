#pragma once
// The ANSI form in which a path reaches the narrow file calls.
#include <optional>
#include <string>

namespace fileops_detail {

// The exact ANSI form, or nothing when the code page cannot hold the path unchanged or
// the path holds a NUL: a narrow call would see only the part before it, another file.
std::optional<std::string> AnsiPatternPath(const std::wstring& path);

// As AnsiPatternPath, and also nothing for a path with wildcard characters: no file name
// holds them, so a call that changes a file must never see one.
std::optional<std::string> AnsiTargetPath(const std::wstring& path);

}  // namespace fileops_detail
