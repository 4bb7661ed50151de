#include <vector>

#include "activitylog/activity_log.h"
#include "eventlog/format_msg.h"
#include "fileops/delete_file_now.h"
#include "activitylog/pass_lines.h"
#include "pendinglist/pending_reboot_files.h"
#include "platform/win32.h"

namespace basPendingRebootFiles {
namespace {

// The code page's default character, which stands in the log for a control character of
// a listed path: a path must not be able to break its line and forge entries.
wchar_t LogDefaultCharacter() {
    static const wchar_t character = [] {
        CPINFO info = {};
        const bool ascii = ::GetCPInfo(CP_ACP, &info) && info.DefaultChar[0] > 0 &&
                           info.DefaultChar[0] < 0x80 && info.DefaultChar[1] == 0;
        return ascii ? static_cast<wchar_t>(info.DefaultChar[0]) : L'?';
    }();
    return character;
}

void LogStep(const wchar_t* label, const std::wstring& path) {
    std::wstring message;
    message.reserve(64 + path.size());
    message += kPassSignature;
    message += label;
    message += path;
    basQuorvaneService::ReplaceControlCharacters(message, LogDefaultCharacter());
    basQuorvaneService::WriteLog(message, true);
}

// The refused line's header names the reason: its number and the system's text for it.
void LogRefused(const std::wstring& path, uint32_t error) {
    basQuorvaneService::RecordError(static_cast<int32_t>(error),
                                    modFormatMsg::TrimmedErrorText(static_cast<int32_t>(error)));
    LogStep(kLabelRefused, path);
    basQuorvaneService::ClearError();
}

// The refused line replaces the gone or scheduled line of an entry the file operations
// left alone although something may stand at its path.
void Refuse(const std::wstring& path, uint32_t error, JobRecord& record) {
    LogRefused(path, error);
    ++record.refused;
    if (record.refusals.size() < kRefusalsKept) record.refusals.push_back({path, error});
}

}  // namespace

void CleanupPass() {
    cFileFuncs& files = Files();
    JobRecord& record = RunRecord();
    // What earlier runs staged and could not delete then: each staged file deleted now
    // gets its line right after its delete, at its entry or after the last one.
    files.BeginPass();
    PendingRebootList& list = List();
    record.entries = static_cast<uint32_t>(list.Count());

    // Slots keep their numbers while entries are removed, so the walk takes up exactly
    // the entries the list held at the start, each once, in order. A removal only ever
    // takes an entry at or before the one in hand, so every slot ahead is still valid;
    // once the last entry is gone the storage is released and the walk ends.
    std::wstring path;
    const size_t slots = list.Count() == 0 ? 0 : list.SlotCount();
    for (size_t slot = 0; slot < slots && slot < list.SlotCount(); ++slot) {
        if (!list.IsLiveSlot(slot)) continue;
        const PendingRebootEntry& entry = list.AtSlot(slot);
        if (entry.Flag != 0) {
            ++record.leftAlone;
            continue;
        }

        // A copy: the lines name this path also after the entry has left the list.
        path.assign(entry.Path.data(), entry.Path.size());
        LogStep(kLabelStart, path);

        if (!files.DoesFileExist(path)) {
            if (files.LastRefusal() != 0) {
                Refuse(path, files.LastRefusal(), record);
                continue;
            }
            list.RemoveEntry(path);
            if (files.ClearStaged(path)) {
                LogStep(kLabelDeleted, path);
                ++record.deleted;
            } else {
                LogStep(kLabelGone, path);
                ++record.gone;
            }
            continue;
        }
        if (basQuorvaneService::DeleteFileNow(path, files)) {
            list.RemoveEntry(path);
            LogStep(kLabelDeleted, path);
            ++record.deleted;
            continue;
        }
        // Seen redirected just before the delete: nothing is left for the restart either.
        if (files.LastRefusal() != 0) {
            Refuse(path, files.LastRefusal(), record);
            continue;
        }
        // Staged, requested by its path, or carried to the next start, which follows the
        // restart: the line is true in each case.
        files.DeleteFileUntilReboot(path);
        if (files.LastRefusal() != 0) {
            Refuse(path, files.LastRefusal(), record);
            continue;
        }
        LogStep(kLabelScheduled, path);
        ++record.scheduled;
    }
    for (const std::wstring& staged : files.StagedLeft()) {
        if (!files.ClearStaged(staged)) continue;
        LogStep(kLabelStart, staged);
        LogStep(kLabelDeleted, staged);
        ++record.deleted;
    }
    files.EndPass();
}

}  // namespace basPendingRebootFiles
