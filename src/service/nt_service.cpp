#include "service/nt_service.h"

#include "service/wait_deadline.h"

namespace NTService {

const wchar_t* const ServiceName = L"QuorvaneShield";
HANDLE StartedEvent = nullptr;
HANDLE StopEvent = nullptr;

SERVICE_STATUS ServiceStatus = {};
SERVICE_STATUS_HANDLE StatusHandle = nullptr;

namespace {

// Serialises the status record's changes and reports. Set up during static
// initialisation, before the entry routine can start a thread, and never deleted: the
// dispatcher thread may still report while the process ends.
class StatusLock {
public:
    StatusLock() {
        // The high bit makes XP and Server 2003 allocate the lock's event now, so that
        // entering it cannot fail later for want of memory; later systems ignore it.
        if (!::InitializeCriticalSectionAndSpinCount(&section_, 0x80000000)) {
            ::InitializeCriticalSection(&section_);
        }
    }
    void Enter() { ::EnterCriticalSection(&section_); }
    void Leave() { ::LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

StatusLock statusLock;

class StatusLockHeld {
public:
    StatusLockHeld() { statusLock.Enter(); }
    ~StatusLockHeld() { statusLock.Leave(); }
    StatusLockHeld(const StatusLockHeld&) = delete;
    StatusLockHeld& operator=(const StatusLockHeld&) = delete;
};

constexpr DWORD kWakeOnAnyInput = 0xFF;  // QS_ALLINPUT without QS_RAWINPUT

void PumpWaitingMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace

HANDLE StartDispatcherThread() {
    DWORD threadId = 0;
    return ::CreateThread(nullptr, 0, DispatcherThread, nullptr, 0, &threadId);
}

DWORD WINAPI DispatcherThread(LPVOID) {
    SERVICE_TABLE_ENTRYW table[2] = {
        {const_cast<LPWSTR>(ServiceName), ServiceMain},
        {nullptr, nullptr},
    };
    // Fails at once when the process was not started by the service control manager;
    // otherwise returns after the service has reported SERVICE_STOPPED.
    ::StartServiceCtrlDispatcherW(table);
    return 0;
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    {
        const StatusLockHeld held;
        ServiceStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        ServiceStatus.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
        ServiceStatus.dwWin32ExitCode = 0;
        ServiceStatus.dwServiceSpecificExitCode = 0;
        ServiceStatus.dwCheckPoint = 0;
        ServiceStatus.dwWaitHint = 0;
    }

    StatusHandle = ::RegisterServiceCtrlHandlerW(ServiceName, ServiceControlHandler);
    SetServiceState(SERVICE_START_PENDING);
    ::SetEvent(StartedEvent);
    ::WaitForSingleObject(StopEvent, INFINITE);
}

void WINAPI ServiceControlHandler(DWORD control) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        // The pass is neither told nor cut short: the run reports stopped when it is done.
        SetServiceState(SERVICE_STOP_PENDING);
        break;
    default:
        SetServiceState(0);
        break;
    }
}

void SetServiceState(DWORD state) {
    const StatusLockHeld held;
    // Once stopped has been reported, a late stop control must not send the service
    // back to stop-pending: the manager would then wait for a stop that never comes.
    if (state != 0 && ServiceStatus.dwCurrentState != SERVICE_STOPPED) {
        ServiceStatus.dwCurrentState = state;
    }
    ::SetServiceStatus(StatusHandle, &ServiceStatus);
}

PumpApi RealPumpApi() {
    return PumpApi{::GetTickCount, ::MsgWaitForMultipleObjects};
}

DWORD WaitWithMessagePump(int32_t timeoutMs, const HANDLE* handles, DWORD count) {
    return WaitWithMessagePump(RealPumpApi(), timeoutMs, handles, count);
}

DWORD WaitWithMessagePump(const PumpApi& api, int32_t timeoutMs, const HANDLE* handles,
                          DWORD count) {
    const bool infinite = timeoutMs == kInfiniteTimeout;
    const uint32_t deadline = infinite ? 0 : WaitDeadline(api.TickCount(), timeoutMs);
    for (;;) {
        DWORD waitMs = INFINITE;
        if (!infinite) {
            const int32_t remaining = RemainingTime(deadline, api.TickCount());
            if (HasTimedOut(remaining, timeoutMs)) return WAIT_TIMEOUT;
            waitMs = static_cast<DWORD>(remaining);
        }
        const DWORD result = api.MsgWait(count, handles, FALSE, waitMs, kWakeOnAnyInput);
        PumpWaitingMessages();
        if (result != WAIT_OBJECT_0 + count) return result;
    }
}

}  // namespace NTService
