// Prints what cVersion finds, one result a line (verdict, version text, refusal message),
// for tests that run it under a name to which Wine reports another Windows version.
#include <string>

#include "osversion/os_version.h"
#include "platform/text.h"
#include "platform/win32.h"

int main() {
    const cVersion version;
    const std::string lines = std::to_string(version.TypeValidOS()) + "\n" +
                              platform::ToUtf8(version.OS_VersionText()) + "\n" +
                              platform::ToUtf8(version.OS_TypeError()) + "\n";
    // Raw bytes: text-mode stdout would turn each line end into CR LF.
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), lines.data(), static_cast<DWORD>(lines.size()),
                &written, nullptr);
    return 0;
}
