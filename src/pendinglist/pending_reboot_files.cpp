#include "pendinglist/pending_reboot_files.h"

#include <new>

#include "driver/activity_log.h"
#include "fileops/file_funcs.h"
#include "pendinglist/ansi_codec.h"
#include "pendinglist/list_file_io.h"
#include "pendinglist/list_format.h"
#include "platform/file_errors.h"
#include "platform/text.h"
#include "platform/win32.h"

namespace basPendingRebootFiles {
namespace {

using basQuorvaneService::ClearError;
using basQuorvaneService::RecordError;
using basQuorvaneService::WriteLog;

constexpr wchar_t kSource[] = L"PendingRebootFiles";

const cFileFuncs* testFileFuncs = nullptr;

// The list file is reached through the ANSI world like every other file of the list: a
// path the code page cannot hold is never opened (it would not have been found either).
std::wstring CheckedListPath() {
    std::wstring path = ListFilePath();
    if (!platform::ToAnsiExact(path)) throw platform::FileError(ERROR_INVALID_NAME, kSource);
    return path;
}

platform::RaisedError ReadFault(ListFault fault) {
    return platform::NumberedError(
        fault == ListFault::Truncated ? platform::kErrInputPastEnd : platform::kErrBadFileFormat,
        kSource);
}

void RecordFailure(const std::exception& failure) {
    if (const auto* raised = dynamic_cast<const platform::RaisedError*>(&failure)) {
        RecordError(raised->Number(), raised->Description());
    } else if (dynamic_cast<const std::bad_alloc*>(&failure)) {
        RecordError(7, L"Out of memory");
    } else {
        RecordError(51, L"Internal error");
    }
}

// Keeps the entries of a damaged list recoverable before it is rewritten. Raises the
// move's error when the file is still in place: held open, in a folder that cannot be
// changed, or with its ".bad" name taken by something that cannot be replaced.
void KeepDamagedCopy() {
    const std::wstring path = ListFilePath();
    if (FileFuncs().MoveFile(path, path + kDamagedSuffix) == cFileFuncs::kFailed) {
        throw platform::FileError(::GetLastError(), kSource);
    }
}

}  // namespace

PendingRebootList& List() {
    static PendingRebootList list(PlatformLowerCase);
    return list;
}

const cFileFuncs& FileFuncs() {
    static const cFileFuncs funcs;
    return testFileFuncs ? *testFileFuncs : funcs;
}

void UseFileFuncsForTesting(const cFileFuncs* funcs) { testFileFuncs = funcs; }

std::wstring ListFilePath() { return basQuorvaneService::AppDir() + kListFileName; }

void Load() {
    ClearError();
    bool fileThere = false;
    try {
        fileThere = FileFuncs().DoesFileExist(ListFilePath());
        if (!fileThere) {
            Save();
            return;
        }
        PendingRebootList& list = List();
        list.Clear();
        FileBytes bytes = ReadWholeFile(CheckedListPath());
        const ListCheck check =
            ReadListBytes(bytes.Data(), bytes.Size(), SystemCodec(), list,
                          [&bytes](size_t consumed) { bytes.ReleaseBefore(consumed); });
        if (!check.ok()) throw ReadFault(check.fault);
    } catch (const std::exception& failure) {
        RecordFailure(failure);
        WriteLog(L"(PendingRebootFiles.Load)", false);
        ClearError();
        // A failed read fills nothing in: the rewrite is the fresh empty list.
        List().Clear();
        // Only a list that is out of the way is rewritten: one that could not be moved
        // aside would be truncated by the rewrite, so it stays for the next run, and the
        // rewrite is reported as failed.
        try {
            if (fileThere) KeepDamagedCopy();
        } catch (const std::exception& moveFailure) {
            RecordFailure(moveFailure);
            WriteLog(L"(PendingRebootFiles.Save)", false);
            ClearError();
            return;
        }
        Save();
    }
    ClearError();
}

void Save() {
    ClearError();
    PendingRebootList& list = List();
    list.Header = kListHeader;
    list.Version = kListVersion;
    try {
        // The record is built before the old file goes, so that a list that cannot be
        // written leaves the old file in place.
        std::string bytes;
        if (!WriteListBytes(list, SystemCodec(), bytes)) {
            throw platform::NumberedError(platform::kErrOverflow, kSource);
        }
        FileFuncs().SafeKill(ListFilePath());
        // Truncates a file that could not be deleted: the file holds exactly the record.
        WriteWholeFile(CheckedListPath(), bytes);
    } catch (const std::exception& failure) {
        RecordFailure(failure);
        WriteLog(L"(PendingRebootFiles.Save)", false);
    }
    ClearError();
}

int32_t FindEntry(const std::wstring& path) { return List().FindEntry(path); }

void RemoveEntry(const std::wstring& path) { List().RemoveEntry(path); }

}  // namespace basPendingRebootFiles
