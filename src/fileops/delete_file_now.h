#pragma once
#include <string>

namespace basQuorvaneService {

// The plain delete: no attribute reset, no retry. True when the file was deleted. The
// path is judged and the file reached through a checked handle, as every listed file is.
bool DeleteFileNow(const std::wstring& path);

}  // namespace basQuorvaneService
