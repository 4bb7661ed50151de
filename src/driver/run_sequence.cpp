#include "driver/run_sequence.h"

#include <new>
#include <string>

#include "driver/activity_log.h"
#include "driver/app_texts.h"
#include "driver/command_line.h"
#include "pendinglist/pending_reboot_files.h"
#include "platform/handles.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "service/nt_service.h"
#include "service/wait_deadline.h"

namespace basQuorvaneService {
namespace {

// Null when another instance holds the mutex. When the mutex cannot be had for any other
// reason the run goes ahead: a missed cleanup is worse than an unlikely double run.
bool ClaimSingleInstance(platform::UniqueHandle& mutex) {
    mutex.reset(::CreateMutexW(nullptr, FALSE, SingleInstanceMutexName));
    const DWORD error = ::GetLastError();
    if (mutex && error == ERROR_ALREADY_EXISTS) return false;
    // Created by another account (the service runs as LocalSystem): not ours to open.
    if (!mutex && error == ERROR_ACCESS_DENIED) return false;
    return true;
}

void ShowRefusal(const wchar_t* text) {
    const std::string caption = platform::ToAnsi(ApplicationTitle);
    const std::string message = platform::ToAnsi(std::wstring(ApplicationTitle) + text);
    ::MessageBoxA(nullptr, message.c_str(), caption.c_str(), MB_ICONINFORMATION | MB_SETFOREGROUND);
}

void LogTitled(const wchar_t* text, bool always) {
    WriteLog(std::wstring(ApplicationTitle) + text, always);
}

// Load, pass and their entries. Nothing may leave here: the run must still report
// stopped. An unexpected failure ends the job early and is named in the log.
void RunJob() {
    try {
        LogTitled(kTextLoadingList, true);
        basPendingRebootFiles::Load();
        LogTitled(kTextPreparingList, true);
        basPendingRebootFiles::CleanupPass();
        LogTitled(kTextCleanupDone, true);
    } catch (const std::bad_alloc&) {
        RecordError(7, L"Out of memory");
        WriteLog(L"(QuorvaneService.Run)", true);
        ClearError();
    } catch (...) {
        RecordError(51, L"Internal error");
        WriteLog(L"(QuorvaneService.Run)", true);
        ClearError();
    }
}

}  // namespace

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
    platform::UniqueHandle instance;
    if (!ClaimSingleInstance(instance)) return;

    const bool isNT = IsWindowsNT();
    platform::UniqueHandle stopEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    platform::UniqueHandle startedEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    NTService::StopEvent = stopEvent.get();
    NTService::StartedEvent = startedEvent.get();
    DebugMode = HasDebugSwitch(::GetCommandLineW());

    if (!isNT) {
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
            ShowRefusal(kTextNeedsServiceStart);
        } else {
            NTService::SetServiceState(SERVICE_RUNNING);
            LogTitled(kTextStarted, DebugMode);
            RunJob();
            WriteLog(std::wstring(60, L'-') + L"\r\n", false);
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
