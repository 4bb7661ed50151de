#pragma once
// The form in which a full path reaches the wide file calls. Free of the Windows API.
#include <string>
#include <string_view>

namespace platform {

// The longest path the file calls take in its classic form (MAX_PATH less the NUL).
constexpr size_t kClassicPathLimit = 259;

// A full, normalized path longer than the classic limit in its "\\?\" form ("\\?\C:\..."
// or "\\?\UNC\server\share\..."), so that a file beside a deep folder can still be
// opened; any other path unchanged. A path already in a device or "\\?\" form, or one
// that is not fully qualified, is left as it is: the prefix would change what it names.
std::wstring ExtendedPath(std::wstring_view path);

// Any full path in its "\\?\" form, whatever its length: "C:\x" gives "\\?\C:\x" and
// "\\server\share\x" gives "\\?\UNC\server\share\x"; a path already in a device or
// "\\?\" form is left as it is.
std::wstring LiteralForm(std::wstring_view path);

// The other way: "\\?\C:\x" gives "C:\x" and "\\?\UNC\server\share\x" gives
// "\\server\share\x"; a path without the prefix is left as it is.
std::wstring WithoutLiteralPrefix(std::wstring path);

}  // namespace platform
