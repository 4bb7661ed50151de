#pragma once
// The two platform calls of the file operations whose failure modes cannot all be
// produced on a real file system on demand (a move reported done that left its source,
// a file that vanishes between two calls). Tests hand in their own; the default is the
// real API.
#include "platform/win32.h"

struct FileApi {
    BOOL(WINAPI* MoveFileExA)(LPCSTR source, LPCSTR destination, DWORD flags);
    BOOL(WINAPI* SetFileAttributesA)(LPCSTR path, DWORD attributes);
};

const FileApi& RealFileApi();
