#include "pass_profile.h"

#include <cstdio>
#include <vector>

#include "bench_platform.h"
#include "activitylog/activity_log.h"
#include "activitylog/log_entry.h"
#include "fileops/checked_file.h"
#include "fileops/delete_file_now.h"
#include "fileops/file_funcs.h"
#include "pass_bench.h"
#include "activitylog/pass_lines.h"
#include "pendinglist/pending_reboot_files.h"
#include "platform/text.h"
#include "platform/nt_file.h"
#include "platform/open_without_following.h"
#include "platform/long_path.h"
#include "platform/final_path.h"
#include "platform/handles.h"
#include "platform/win32.h"

namespace qbench {
namespace {

using basPendingRebootFiles::List;

const std::wstring kStartMessage =
    std::wstring(basPendingRebootFiles::kPassSignature) + basPendingRebootFiles::kLabelStart;

std::wstring DateTimeText() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    wchar_t date[128] = {}, time[128] = {};
    ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 128);
    ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 128);
    return basQuorvaneService::JoinDateTime(date, time, false);
}

template <typename Step>
void Row(const char* what, int entries, Step&& step) {
    const double processor = ProcessorTime();
    const double start = Now();
    for (int i = 0; i < entries; ++i) step(i);
    const double seconds = Now() - start;
    const double cpu = ProcessorTime() - processor;
    std::printf("  %-58s %9.2f %9.2f\n", what, seconds * 1e6 / entries, cpu * 1e6 / entries);
    std::fflush(stdout);
}

}  // namespace

void ProfilePass(const std::wstring& dir, int entries) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < entries; ++i) paths.push_back(EntryPath(dir, i));
    MakeFolders(dir, entries);
    const std::wstring log = dir + L"ProfileLog.txt";
    const std::string fixedEntry = platform::ToAnsi(
        basQuorvaneService::FormatLogEntry(DateTimeText(), {}, kStartMessage + paths[0]));

    std::printf("\nWhere a pass's time goes, per entry (%d entries; the pass does each step the\n"
                "number of times shown for every entry whose file exists and deletes)\n", entries);
    std::printf("  %-58s %9s %9s\n", "step", "wall us", "cpu us");

    std::wstring message;
    Row("judgement of the path (JudgePathForFileCalls)", entries,
        [&](int i) { fileops::JudgePathForFileCalls(paths[i]); });
    Row("message text: signature + label + path x2", entries, [&](int i) {
        for (int k = 0; k < 2; ++k) {
            message.clear();
            message += kStartMessage;
            message += paths[i];
        }
    });
    Row("date-time text formatted afresh x2 (WriteLog: once a second)", entries, [&](int) {
        DateTimeText();
        DateTimeText();
    });
    const std::wstring dateTime = DateTimeText();
    Row("entry layout and its ANSI form (FormatLogEntry, ToAnsi) x2", entries, [&](int i) {
        for (int k = 0; k < 2; ++k) {
            platform::ToAnsi(basQuorvaneService::FormatLogEntry(
                dateTime, basQuorvaneService::CurrentError, kStartMessage + paths[i]));
        }
    });
    ::DeleteFileW(log.c_str());
    Row("log entry open, append, close with ready bytes x2", entries, [&](int) {
        for (int k = 0; k < 2; ++k) {
            HANDLE file = ::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            DWORD written = 0;
            ::WriteFile(file, fixedEntry.data(), static_cast<DWORD>(fixedEntry.size()), &written, nullptr);
            ::CloseHandle(file);
        }
    });
    ::DeleteFileW(basQuorvaneService::LogFilePath().c_str());
    Row("WriteLog x2 (all of the above for the log)", entries, [&](int i) {
        basQuorvaneService::WriteLog(kStartMessage + paths[i], true);
        basQuorvaneService::WriteLog(kStartMessage + paths[i], true);
    });
    cFileFuncs files;
    Row("checked route, file missing (DoesFileExist)", entries, [&](int i) { files.DoesFileExist(paths[i]); });
    for (const std::wstring& path : paths) WriteTextFile(path, "x");
    Row("checked route, file deleted (DoesFileExist, DeleteFileNow)", entries, [&](int i) {
        files.DoesFileExist(paths[i]);
        basQuorvaneService::DeleteFileNow(paths[i], files);
    });
    for (const std::wstring& path : paths) WriteTextFile(path, "x");
    Row("  of it: DoesFileExist (open, final path, close)", entries, [&](int i) { files.DoesFileExist(paths[i]); });
    {
        platform::UniqueFile file(::CreateFileW(platform::LiteralForm(paths[0]).c_str(), FILE_READ_ATTRIBUTES,
                                                platform::kShareAll, nullptr, OPEN_EXISTING,
                                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        std::wstring final;
        platform::BestEffort(platform::FinalPathOf(file.get(), final));
        std::printf("  (final path %s the listed path)\n", platform::SamePathText(final, paths[0]) ? "equals" : "differs from");
    }
    Row("  of it: a bare open and close with the floor's access", entries, [&](int i) {
        platform::UniqueFile file(::CreateFileW(platform::LiteralForm(paths[i]).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                                platform::kShareAll, nullptr, OPEN_EXISTING,
                                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    });
    Row("  of it: a bare open and close with the route's access", entries, [&](int i) {
        platform::UniqueFile file(::CreateFileW(platform::LiteralForm(paths[i]).c_str(), fileops::kRouteAccess,
                                                platform::kShareAll, nullptr, OPEN_EXISTING,
                                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    });
    Row("  of it: the open that follows no link alone (open, attributes, links, number)", entries, [&](int i) {
        const platform::OpenedObject opened =
            platform::OpenWithoutFollowing(platform::LiteralForm(paths[i]), fileops::kRouteAccess, platform::kShareAll);
        (void)opened;
    });
    Row("  of it: the final path alone (open, final path, close)", entries, [&](int i) {
        platform::UniqueFile file(::CreateFileW(platform::LiteralForm(paths[i]).c_str(), FILE_READ_ATTRIBUTES,
                                                platform::kShareAll, nullptr, OPEN_EXISTING,
                                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        std::wstring final;
        platform::BestEffort(platform::FinalPathOf(file.get(), final));
    });
    for (const std::wstring& path : paths) ::DeleteFileW(path.c_str());
    List().Clear();
    for (const std::wstring& path : paths) List().Append(path, L"", 0);
    Row("a pass's own start and end (BeginPass, EndPass), once a pass", 20, [&](int) {
        basPendingRebootFiles::Files().BeginPass();
        basPendingRebootFiles::Files().EndPass();
    });
    Row("RemoveEntry in slot order (the first builds the index)", entries,
        [&](int i) { List().RemoveEntry(paths[i]); });

    ::DeleteFileW(log.c_str());
    ::DeleteFileW(basQuorvaneService::LogFilePath().c_str());
}

}  // namespace qbench
