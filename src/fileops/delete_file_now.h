#pragma once
#include <string>

namespace basQuorvaneService {

// The plain delete: no existence test, no attribute reset, no retry. True when the file
// was deleted.
bool DeleteFileNow(const std::wstring& path);

}  // namespace basQuorvaneService
