#pragma once
// DWORD, the one spelling of a Win32 result (0 for success), for a header that needs no
// more of windows.h: the platform's own declaration, which may stand twice.
typedef unsigned long DWORD;

namespace platform {

// Marks a result its caller has decided not to act on: a step whose failure changes
// nothing of what follows (a cleanup on a path that already failed, a record the next
// start removes anyway).
inline void BestEffort(DWORD) {}

}  // namespace platform
