#pragma once
// The registry calls behind cRegisterEventSource. A default-constructed table is the
// real API; a test replaces single entries to produce a failure the registry will not
// give on demand (a value write that fails half-way through a registration).
#include "platform/win32.h"

namespace eventlog {

struct RegistryCalls {
    decltype(&::RegCreateKeyExA) RegCreateKeyExA = &::RegCreateKeyExA;
    decltype(&::RegOpenKeyExA) RegOpenKeyExA = &::RegOpenKeyExA;
    decltype(&::RegSetValueExA) RegSetValueExA = &::RegSetValueExA;
    decltype(&::RegFlushKey) RegFlushKey = &::RegFlushKey;
    decltype(&::RegCloseKey) RegCloseKey = &::RegCloseKey;
    decltype(&::RegDeleteKeyA) RegDeleteKeyA = &::RegDeleteKeyA;
    decltype(&::RegEnumKeyA) RegEnumKeyA = &::RegEnumKeyA;
};

}  // namespace eventlog
