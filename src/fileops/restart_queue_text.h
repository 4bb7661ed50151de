#pragma once
// The layout of the session manager's PendingFileRenameOperations value: pairs of a source
// and a destination (empty for a delete), each string ended by a NUL, the list ended by an
// empty source. Free of the Windows API, so that the reading and the taking out of
// requests are tested on the host.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace fileops {

struct QueuedOperation {
    size_t begin = 0;  // the first code unit of the source
    size_t end = 0;    // just past the NUL that ends the destination (or the data's end)
    std::wstring source;       // as stored: "\??\C:\dir\name", or another program's spelling
    std::wstring destination;  // empty: a delete
    bool IsDelete() const { return destination.empty(); }
};

// The operations in the order the platform carries them out. A source without a
// destination at the end of the data counts as a delete; anything after the list's end
// belongs to no operation.
std::vector<QueuedOperation> ParseRestartQueue(std::wstring_view data);

// The data with the code units of `removed` (operations ParseRestartQueue gave for the
// same data) cut out and every other code unit kept as it was.
std::wstring WithoutOperations(std::wstring_view data, const std::vector<QueuedOperation>& removed);

// "\??\C:\x" and "\\?\C:\x" give "C:\x"; any other text is left as it is.
std::wstring WithoutNtPrefix(std::wstring_view path);

}  // namespace fileops
