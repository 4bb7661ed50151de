#include "driver/activity_log.h"
#include "fileops/delete_file_now.h"
#include "fileops/file_funcs.h"
#include "pendinglist/path_rules.h"
#include "pendinglist/pending_reboot_files.h"

namespace basPendingRebootFiles {
namespace {

// The product signature: full-width hyphen-minus (U+FF0D), ASCII parentheses.
constexpr wchar_t kSignature[] = L"Varnholt－Zintra(Quorvane)";

// Labels end in the full-width colon (U+FF1A).
constexpr wchar_t kLabelStart[] = L"清除文件：";            // clearing file:
constexpr wchar_t kLabelDeleted[] = L"完成清除文件：";      // finished clearing file:
constexpr wchar_t kLabelGone[] = L"文件已经不存在：";       // file no longer exists:
constexpr wchar_t kLabelScheduled[] = L"重新启动后清除文件：";  // file will be cleared after restart:

void LogStep(const wchar_t* label, const std::wstring& path) {
    std::wstring message;
    message.reserve(64 + path.size());
    message += kSignature;
    message += label;
    message += path;
    basQuorvaneService::WriteLog(message, true);
}

}  // namespace

void CleanupPass() {
    const cFileFuncs& files = FileFuncs();
    PendingRebootList& list = List();

    // Slots keep their numbers while entries are removed, so the walk takes up exactly
    // the entries the list held at the start, each once, in order. A removal only ever
    // takes an entry at or before the one in hand, so every slot ahead is still valid;
    // once the last entry is gone the storage is released and the walk ends.
    std::wstring path;
    const size_t slots = list.SlotCount();
    for (size_t slot = 0; slot < slots && slot < list.SlotCount(); ++slot) {
        if (!list.IsLiveSlot(slot)) continue;
        const PendingRebootEntry& entry = list.AtSlot(slot);
        if (entry.Flag != 0) continue;

        // A copy: the lines name this path also after the entry has left the list.
        path.assign(entry.Path.data(), entry.Path.size());
        LogStep(kLabelStart, path);

        // A path that is not fully qualified names no file: it would otherwise be taken
        // relative to the service's working directory, the system directory.
        if (!IsFullyQualifiedPath(path) || !files.DoesFileExist(path)) {
            list.RemoveEntry(path);
            LogStep(kLabelGone, path);
        } else if (basQuorvaneService::DeleteFileNow(path)) {
            list.RemoveEntry(path);
            LogStep(kLabelDeleted, path);
        } else {
            files.DeleteFileUntilReboot(path);
            LogStep(kLabelScheduled, path);
        }
    }
}

}  // namespace basPendingRebootFiles
