#pragma once
#include <string_view>

namespace basPendingRebootFiles {

// A drive letter, a colon and a backslash, or a UNC path beginning with two
// backslashes. Anything else would be resolved against the service's working
// directory, which is the system directory.
bool IsFullyQualifiedPath(std::wstring_view path);

}  // namespace basPendingRebootFiles
