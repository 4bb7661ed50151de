#pragma once
// The bridge to the service control manager. The dispatcher runs on a thread of its
// own so that the main thread stays with the entry routine, which does the work.
#include <cstdint>

#include "platform/win32.h"

namespace NTService {

// Written by the entry routine before the dispatcher thread exists, only read after.
extern const wchar_t* const ServiceName;
extern HANDLE StartedEvent;
extern HANDLE StopEvent;

// The one status record of the process and the handle it is reported through.
extern SERVICE_STATUS ServiceStatus;
extern SERVICE_STATUS_HANDLE StatusHandle;

// Starts DispatcherThread at once; null when the thread cannot be created.
HANDLE StartDispatcherThread();
DWORD WINAPI DispatcherThread(LPVOID unused);
void WINAPI ServiceMain(DWORD argc, LPWSTR* argv);
void WINAPI ServiceControlHandler(DWORD control);

// Stores the state (0 keeps the current one) and reports the record. Changes and
// reports from the three threads are serialised.
void SetServiceState(DWORD state);

// Waits for any one of the handles while dispatching the calling thread's window
// messages. Returns the index of the signalled handle, WAIT_TIMEOUT (258) or whatever
// else the platform reported; timeoutMs -1 waits forever.
DWORD WaitWithMessagePump(int32_t timeoutMs, const HANDLE* handles, DWORD count);

// The two platform calls whose behaviour the wait depends on, replaceable so that a
// wrapped tick counter and a passed deadline can be produced in a test.
struct PumpApi {
    DWORD(WINAPI* TickCount)();
    DWORD(WINAPI* MsgWait)(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD ms,
                           DWORD wakeMask);
};
PumpApi RealPumpApi();
DWORD WaitWithMessagePump(const PumpApi& api, int32_t timeoutMs, const HANDLE* handles,
                          DWORD count);

}  // namespace NTService
