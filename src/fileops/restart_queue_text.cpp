#include "fileops/restart_queue_text.h"

#include <algorithm>

namespace fileops {
namespace {

// The string starting at `at`, and where the next one starts (past its NUL).
std::wstring_view StringAt(std::wstring_view data, size_t at, size_t& next) {
    const size_t nul = data.find(L'\0', at);
    const size_t stop = nul == std::wstring_view::npos ? data.size() : nul;
    next = nul == std::wstring_view::npos ? data.size() : nul + 1;
    return data.substr(at, stop - at);
}

}  // namespace

std::vector<QueuedOperation> ParseRestartQueue(std::wstring_view data) {
    std::vector<QueuedOperation> operations;
    size_t at = 0;
    while (at < data.size()) {
        QueuedOperation operation;
        operation.begin = at;
        size_t next = 0;
        const std::wstring_view source = StringAt(data, at, next);
        if (source.empty()) break;  // the list's end
        operation.source.assign(source);
        at = next;
        if (at < data.size()) operation.destination.assign(StringAt(data, at, next));
        at = std::max(at, next);
        operation.end = at;
        operations.push_back(std::move(operation));
    }
    return operations;
}

std::wstring WithoutOperations(std::wstring_view data, const std::vector<QueuedOperation>& removed) {
    std::wstring kept;
    kept.reserve(data.size());
    size_t at = 0;
    std::vector<QueuedOperation> ordered = removed;
    std::sort(ordered.begin(), ordered.end(),
              [](const QueuedOperation& a, const QueuedOperation& b) { return a.begin < b.begin; });
    for (const QueuedOperation& operation : ordered) {
        if (operation.begin < at || operation.end > data.size()) continue;
        kept.append(data.substr(at, operation.begin - at));
        at = operation.end;
    }
    kept.append(data.substr(at));
    return kept;
}

std::wstring WithoutNtPrefix(std::wstring_view path) {
    if (path.substr(0, 4) == L"\\??\\" || path.substr(0, 4) == L"\\\\?\\") path.remove_prefix(4);
    return std::wstring(path);
}

}  // namespace fileops
