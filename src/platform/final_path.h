#pragma once
// The path of the object behind an open handle, which names the object itself rather than
// the spelling it was opened by.
#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace platform {

// The final path of the object, "C:\dir\name" or "\\server\share\dir\name", without the
// "\\?\" prefix. The platform's own answer where it has one (Vista on); otherwise (before
// Vista, and under Wine beyond about 264 characters) the object's path within its volume
// under the first drive (or share) through which that path reaches the same object.
// 0, or the error.
[[nodiscard]] DWORD FinalPathOf(HANDLE handle, std::wstring& path);

}  // namespace platform
