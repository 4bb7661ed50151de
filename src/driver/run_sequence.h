#pragma once
// The entry routine: one run of the service from start to stop, on the main thread.

namespace basQuorvaneService {

// Held for the life of a run. In the global namespace, so that a start by hand in a user
// session sees the instance that the service control manager started in session 0.
inline constexpr wchar_t SingleInstanceMutexName[] = L"Global\\QuorvaneService.SingleInstance";

// True exactly when GetVersionExA reports the NT platform.
bool IsWindowsNT();

// Refuses a second instance and platforms outside the NT family, brings up the bridge,
// waits until the service control manager has really started the service, runs the
// job and reports stopped. Returns when the process is to end.
void Main();

}  // namespace basQuorvaneService
