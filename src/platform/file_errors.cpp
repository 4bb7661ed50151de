#include "platform/file_errors.h"

#include "platform/win32.h"

namespace platform {
namespace {

const wchar_t* DescriptionOf(int32_t number) {
    switch (number) {
    case kErrOverflow: return L"Overflow";
    case kErrFileNotFound: return L"File not found";
    case kErrFileExists: return L"File already exists";
    case kErrDiskFull: return L"Disk full";
    case kErrInputPastEnd: return L"Input past end of file";
    case kErrPermissionDenied: return L"Permission denied";
    case kErrBadFileFormat: return L"Invalid file format";
    default: return L"Path/File access error";
    }
}

}  // namespace

RaisedError NumberedError(int32_t number, std::wstring source) {
    return RaisedError(number, std::move(source), DescriptionOf(number));
}

RaisedError FileError(DWORD lastError, std::wstring source) {
    switch (lastError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return NumberedError(kErrFileNotFound, std::move(source));
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return NumberedError(kErrPermissionDenied, std::move(source));
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        return NumberedError(kErrFileExists, std::move(source));
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return NumberedError(kErrDiskFull, std::move(source));
    case ERROR_HANDLE_EOF:
        return NumberedError(kErrInputPastEnd, std::move(source));
    default:
        return NumberedError(kErrPathFileAccess, std::move(source));
    }
}

}  // namespace platform
