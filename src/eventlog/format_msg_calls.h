#pragma once
// The platform calls behind SystemErrorText. A default-constructed table is the real
// API; a test replaces single entries to see or shape what the platform does.
#include "platform/win32.h"

namespace modFormatMsg {

struct MessageCalls {
    decltype(&::LoadLibraryExA) LoadLibraryExA = &::LoadLibraryExA;
    decltype(&::FormatMessageA) FormatMessageA = &::FormatMessageA;
    decltype(&::FreeLibrary) FreeLibrary = &::FreeLibrary;
};

}  // namespace modFormatMsg
