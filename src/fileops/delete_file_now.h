#pragma once
#include <string>

class cFileFuncs;

namespace basQuorvaneService {

// The plain delete: no attribute reset, no retry. True when the file was deleted. The
// path is judged and the file reached through a checked handle, as every listed file is.
bool DeleteFileNow(const std::wstring& path);

// The same through the route of `files`: the file its last existence test of the same path
// checked is the one deleted, and a refusal shows in files.LastRefusal().
bool DeleteFileNow(const std::wstring& path, cFileFuncs& files);

}  // namespace basQuorvaneService
