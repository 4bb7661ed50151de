#pragma once
// The one header through which the subsystems see the Windows API.
// WIN32_LEAN_AND_MEAN, NOMINMAX and _WIN32_WINNT come from the build.
#include <windows.h>

#include "platform/win32_result.h"

// The system's own operation names (cFileFuncs::DeleteFile, cFileFuncs::MoveFile,
// cRegisterEventSource::RegisterEventSource) collide with these generic-text macros.
// Every call below names its A or W form explicitly, so the macros serve no one.
#undef DeleteFile
#undef MoveFile
#undef RegisterEventSource
