#pragma once
// The numbered file errors that the list file's handlers and the attribute reset raise,
// from the thread's last-error code.
#include <cstdint>
#include <string>

#include "platform/raised_error.h"
#include "platform/win32_result.h"

namespace platform {

constexpr int32_t kErrOverflow = 6;             // "Overflow"
constexpr int32_t kErrFileNotFound = 53;        // "File not found"
constexpr int32_t kErrFileExists = 58;          // "File already exists"
constexpr int32_t kErrDiskFull = 61;            // "Disk full"
constexpr int32_t kErrInputPastEnd = 62;        // "Input past end of file"
constexpr int32_t kErrPermissionDenied = 70;    // "Permission denied"
constexpr int32_t kErrPathFileAccess = 75;      // "Path/File access error"
constexpr int32_t kErrBadFileFormat = 321;      // "Invalid file format"

// Number and description for a Win32 error code of a file call.
RaisedError FileError(DWORD lastError, std::wstring source);

RaisedError NumberedError(int32_t number, std::wstring source);

}  // namespace platform
