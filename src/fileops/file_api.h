#pragma once
// The two platform calls of the file operations whose failure modes cannot all be
// produced on a real file system on demand (a rename reported done that left its source,
// a file that vanishes between the open and the attribute reset, the flags of a request
// for the next restart). Tests hand in their own; the default is the real API.
#include "platform/win32.h"

struct FileApi {
    BOOL(WINAPI* SetFileInformationByHandle)(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind,
                                             LPVOID info, DWORD size);
    BOOL(WINAPI* MoveFileExW)(LPCWSTR source, LPCWSTR destination, DWORD flags);
};

const FileApi& RealFileApi();
