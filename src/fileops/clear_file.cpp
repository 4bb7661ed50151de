#include "fileops/clear_file.h"

#include "fileops/checked_file.h"
#include "fileops/file_api.h"
#include "fileops/pending_deletes.h"
#include "platform/win32.h"

namespace fileops {
namespace {

ClearOutcome Refused(uint32_t error) { return {ClearResult::Refused, error}; }

// A request by path is the one step that cannot go through the handle: it is made only
// while the checked handle still shows the path naming the file, and only once.
ClearOutcome Schedule(const ListedPath& path, HANDLE checked, PendingDeletes& pending,
                      const FileApi& api) {
    if (!NamesJudgedPath(checked, path.path)) return Refused(kErrorReparsePointEncountered);
    if (pending.Has(path.path)) return {ClearResult::Scheduled};
    const unsigned long error = RequestDeleteAtRestart(path, api);
    if (error != ERROR_SUCCESS) return Refused(error);
    pending.Add(path.path);
    return {ClearResult::Scheduled};
}

}  // namespace

ClearOutcome ClearListedFile(const std::wstring& listed, PendingDeletes& pending) {
    return ClearListedFile(listed, pending, RealFileApi());
}

ClearOutcome ClearListedFile(const std::wstring& listed, PendingDeletes& pending, const FileApi& api) {
    const ListedPath path = JudgePathForFileCalls(listed);
    if (path.kind == PathKind::NamesNoFile) return {ClearResult::Gone};
    if (path.kind == PathKind::Refused) return Refused(path.refusal);

    CheckedFile file;
    for (int attempt = 0;; ++attempt) {
        file = OpenChecked(path, DELETE | FILE_READ_ATTRIBUTES);
        if (file.outcome == OpenOutcome::NotFound || file.outcome == OpenOutcome::Directory) {
            return {ClearResult::Gone};
        }
        if (file.outcome == OpenOutcome::Redirected) return Refused(file.error);
        if (file.outcome == OpenOutcome::Failed) break;

        const unsigned long error = MarkForDeletion(file, path.path, api);
        if (error == kErrorReparsePointEncountered) return Refused(error);
        // Read-only, or otherwise not deletable now: left for the restart.
        if (error != ERROR_SUCCESS) return Schedule(path, file.handle.get(), pending, api);
        file.handle.reset();  // the delete happens as the handle closes
        // Only a file seen gone is reported deleted. Where the platform deletes by path as
        // the handle closes, a swap at that moment makes it delete nothing; try again.
        if (HasLeft(path, file.identity)) return {ClearResult::Deleted};
        if (attempt == 2) return Refused(kErrorReparsePointEncountered);
    }

    // In use without delete sharing, or no delete access: the path is checked through an
    // open that asks for nothing but the attributes.
    CheckedFile attributes = OpenChecked(path, FILE_READ_ATTRIBUTES);
    switch (attributes.outcome) {
    case OpenOutcome::Opened:
        return Schedule(path, attributes.handle.get(), pending, api);
    case OpenOutcome::NotFound:
    case OpenOutcome::Directory:
        return {ClearResult::Gone};
    default:
        return Refused(attributes.error != 0 ? attributes.error : file.error);
    }
}

}  // namespace fileops
