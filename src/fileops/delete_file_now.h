#pragma once
#include <string>

namespace basQuorvaneService {

// The plain delete: no attribute reset, no retry. True when the file was deleted. The
// path is judged and the file reached through a checked handle, as every listed file is;
// a path seen redirected leaves fileops::LastRefusal() set.
bool DeleteFileNow(const std::wstring& path);

}  // namespace basQuorvaneService
