#include "driver/run_sequence.h"

#include <cstdint>
#include <exception>
#include <new>
#include <string>

#include "activitylog/activity_log.h"
#include "activitylog/app_texts.h"
#include "driver/command_line.h"
#include "fileops/staging.h"
#include "driver/instance_lock.h"
#include "trust/list_trust_gate.h"
#include "pendinglist/pending_reboot_files.h"
#include "platform/handles.h"
#include "platform/privileges.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "service/nt_service.h"
#include "service/wait_deadline.h"

namespace basQuorvaneService {
namespace {

void ShowRefusal(const wchar_t* text) {
    const std::string caption = platform::ToAnsi(ApplicationTitle);
    const std::string message = platform::ToAnsi(std::wstring(ApplicationTitle) + text);
    ::MessageBoxA(nullptr, message.c_str(), caption.c_str(), MB_ICONINFORMATION | MB_SETFOREGROUND);
}

// An entry whose text cannot be put together (memory exhausted) is lost like one that
// cannot be written.
void LogTitled(const wchar_t* text, bool always) noexcept {
    try {
        WriteLog(std::wstring(ApplicationTitle) + text, always);
    } catch (const std::exception&) {
    }
}

constexpr wchar_t kRunFailureEntry[] = L"(QuorvaneService.Run)";
constexpr wchar_t kSeparator[] =
    L"------------------------------------------------------------\r\n";
static_assert(sizeof(kSeparator) / sizeof(wchar_t) == 60 + 2 + 1, "60 dashes and CR LF");

// Names what ended the job early. When memory has run out the description, or the whole
// entry, may be lost; nothing may leave here.
int32_t jobFailure = 0;

void LogJobFailure(int32_t number, const wchar_t* description) noexcept {
    jobFailure = number;
    try {
        RecordError(number, description);
    } catch (const std::exception&) {
        ClearError();
        CurrentError.Number = number;
    }
    WriteLog(kRunFailureEntry, true);
    ClearError();
}

}  // namespace

void (*JobCleanupPass)() = &basPendingRebootFiles::CleanupPass;

int32_t JobFailure() { return jobFailure; }

void RunJob() noexcept {
    try {
        LogTitled(kTextLoadingList, true);
        // A list that others can write is not acted on, nor even loaded.
        const std::wstring folder = AppDir();
        if (!ListIsTrusted({folder, basPendingRebootFiles::ListFilePath(), folder + fileops::kStagingFolderName,
                            LogFilePath(), {}})) {
            return;
        }
        basPendingRebootFiles::Load();
        LogTitled(kTextPreparingList, true);
        // So that a file's permissions deny the route's open nothing they would not deny the
        // platform's own delete at restart. Where they cannot be enabled, an entry refused to
        // the route is refused (5), never taken for gone.
        platform::BestEffort(platform::EnableBackupAndRestorePrivileges());
        JobCleanupPass();
        LogTitled(kTextCleanupDone, true);
    } catch (const std::bad_alloc&) {
        LogJobFailure(7, L"Out of memory");
    } catch (...) {
        LogJobFailure(51, L"Internal error");
    }
}

bool IsWindowsNT() {
    OSVERSIONINFOA info = {};
    static_assert(sizeof(info) == 148, "the narrow version record");
    info.dwOSVersionInfoSize = sizeof(info);
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // GetVersionExA is deprecated but is what is asked here
#endif
    ::GetVersionExA(&info);
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

void Main() {
    // When the lock cannot be had for a reason other than another run holding it, the run
    // goes ahead: a missed cleanup is worse than an unlikely double run.
    platform::UniqueFile instance;
    if (ClaimInstanceLock(AppDir(), instance) == InstanceClaim::AnotherInstance) return;

    const bool isNT = IsWindowsNT();
    platform::UniqueHandle stopEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    platform::UniqueHandle startedEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    NTService::StopEvent = stopEvent.get();
    NTService::StartedEvent = startedEvent.get();
    DebugMode = HasDebugSwitch(::GetCommandLineW());

    // A box waits for a click, perhaps for hours; the service must be able to start
    // meanwhile, so the claim goes before the box comes.
    if (!isNT) {
        instance.reset();
        ShowRefusal(kTextNeedsNtFamily);
    } else {
        platform::UniqueHandle thread(NTService::StartDispatcherThread());
        HANDLE waitHandles[2] = {thread.get(), startedEvent.get()};
        const DWORD started =
            NTService::WaitWithMessagePump(NTService::kInfiniteTimeout, waitHandles, 2);
        if (started != 1) {
            // 0: the dispatcher ended, the program was not started by the service
            // control manager; WAIT_FAILED: among others, no dispatcher thread at all.
            thread.reset();
            instance.reset();
            ShowRefusal(kTextNeedsServiceStart);
        } else {
            NTService::SetServiceState(SERVICE_RUNNING);
            LogTitled(kTextStarted, DebugMode);
            RunJob();
            modRunReport::ReportRun(RunSummaryOfJob());
            WriteLog(kSeparator, false);
            NTService::SetServiceState(SERVICE_STOPPED);
            LogTitled(kTextStopped, true);

            ::SetEvent(stopEvent.get());
            HANDLE dispatcher[1] = {thread.get()};
            NTService::WaitWithMessagePump(NTService::kInfiniteTimeout, dispatcher, 1);
            thread.reset();
        }
    }

    NTService::StopEvent = nullptr;
    NTService::StartedEvent = nullptr;
    stopEvent.reset();
    startedEvent.reset();
}

}  // namespace basQuorvaneService
