#pragma once
// The path of the object behind an open handle, which names the object itself rather than
// the spelling it was opened by.
#include <string>

#include "platform/win32.h"

namespace platform {

// The platform's final path of the object, "\\?\C:\dir\name" (or "\\?\UNC\..."); false
// where it gives none (Wine gives none beyond about 264 characters).
bool FinalPathByHandle(HANDLE handle, std::wstring& path);

// The object's path within its volume, "\dir\name", which the platform gives also where
// it gives no final path.
bool PathWithinVolume(HANDLE handle, std::wstring& path);

}  // namespace platform
