#include "pendinglist/cleanup_pass.h"

#include <vector>

#include "activitylog/activity_log.h"
#include "activitylog/pass_lines.h"
#include "eventlog/format_msg.h"
#include "fileops/delete_file_now.h"
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

// The service's observer: a line for each step in the activity log, the run's counts.
class LoggedPass final : public PassObserver {
public:
    explicit LoggedPass(JobRecord& record) : record_(record) {}

    void Started(const std::wstring& path) override { LogStep(kLabelStart, path); }

    void Ended(const std::wstring& path, const EntryStep& step) override {
        switch (step.end) {
        case EntryEnd::Deleted:
            LogStep(kLabelDeleted, path);
            ++record_.deleted;
            break;
        case EntryEnd::Gone:
            LogStep(kLabelGone, path);
            ++record_.gone;
            break;
        case EntryEnd::Scheduled:
            // Staged, requested by its path, or carried to the next start, which follows
            // the restart: the line is true in each case.
            LogStep(kLabelScheduled, path);
            ++record_.scheduled;
            break;
        case EntryEnd::Refused:
            // The refused line replaces the gone or scheduled line of an entry the route
            // left alone although something may stand at its path.
            LogRefused(path, step.error);
            ++record_.refused;
            if (record_.refusals.size() < kRefusalsKept) record_.refusals.push_back({path, step.error});
            break;
        case EntryEnd::LeftAlone:
            ++record_.leftAlone;
            break;
        }
    }

private:
    JobRecord& record_;
};

}  // namespace

void RunPass(PendingRebootList& list, cFileFuncs& files, PassObserver& observer) {
    // What earlier runs staged and could not delete then: each staged file deleted now
    // gets its line right after its delete, at its entry or after the last one.
    files.BeginPass();

    // Slots keep their numbers while entries are removed, so the walk takes up exactly
    // the entries the list held at the start, each once, in order. A removal only ever
    // takes an entry at or before the one in hand, so every slot ahead is still valid, and
    // the live slots met so far count the entry's position as the pass began; once the
    // last entry is gone the storage is released and the walk ends.
    std::wstring path;
    size_t position = 0;
    const size_t slots = list.Count() == 0 ? 0 : list.SlotCount();
    for (size_t slot = 0; slot < slots && slot < list.SlotCount(); ++slot) {
        if (!list.IsLiveSlot(slot)) continue;
        const PendingRebootEntry& entry = list.AtSlot(slot);
        EntryStep step;
        step.index = position++;
        step.flag = entry.Flag;
        // A copy: the lines name this path also after the entry has left the list.
        path.assign(entry.Path.data(), entry.Path.size());
        const auto end = [&](EntryEnd how, uint32_t error = 0) {
            step.end = how;
            step.error = error;
            observer.Ended(path, step);
        };
        if (entry.Flag != 0) {
            end(EntryEnd::LeftAlone);
            continue;
        }
        observer.Started(path);

        if (!files.DoesFileExist(path)) {
            if (files.LastRefusal() != 0) {
                end(EntryEnd::Refused, files.LastRefusal());
                continue;
            }
            list.RemoveEntry(path);
            step.clearedStaged = files.ClearStaged(path);
            end(step.clearedStaged ? EntryEnd::Deleted : EntryEnd::Gone);
            continue;
        }
        if (basQuorvaneService::DeleteFileNow(path, files)) {
            list.RemoveEntry(path);
            end(EntryEnd::Deleted);
            continue;
        }
        // Seen redirected just before the delete: nothing is left for the restart either.
        if (files.LastRefusal() != 0) {
            end(EntryEnd::Refused, files.LastRefusal());
            continue;
        }
        files.DeleteFileUntilReboot(path);
        if (files.LastRefusal() != 0) {
            end(EntryEnd::Refused, files.LastRefusal());
            continue;
        }
        end(EntryEnd::Scheduled);
    }
    for (const std::wstring& staged : files.StagedLeft()) {
        if (!files.ClearStaged(staged)) continue;
        observer.Started(staged);
        EntryStep step;
        step.end = EntryEnd::Deleted;
        step.clearedStaged = true;
        observer.Ended(staged, step);
    }
    files.EndPass();
}

void CleanupPass() {
    JobRecord& record = RunRecord();
    PendingRebootList& list = List();
    record.entries = static_cast<uint32_t>(list.Count());
    LoggedPass logged(record);
    RunPass(list, Files(), logged);
}

}  // namespace basPendingRebootFiles
