#pragma once
// The parts of a full path ("X:\\dir\\name"), as text. Free of the Windows API.
#include <cstdint>
#include <string>

namespace platform {

// Win32 error numbers the program names itself; the same values as in winerror.h.
inline constexpr uint32_t kErrorNotSupported = 50;               // ERROR_NOT_SUPPORTED
inline constexpr uint32_t kErrorInvalidName = 123;               // ERROR_INVALID_NAME
inline constexpr uint32_t kErrorReparsePointEncountered = 4395;  // ERROR_REPARSE_POINT_ENCOUNTERED

// The folder of a full path ("X:\\dir" for "X:\\dir\\name"; "X:\\" keeps its backslash for a
// file in a drive's root), and its last component.
std::wstring FolderOf(const std::wstring& full);
std::wstring LeafOf(const std::wstring& full);

}  // namespace platform
