#pragma once
// The one judgement of a path from the pending reboot list, made before any file call.
// The service runs as LocalSystem and the paths name files in folders that ordinary users
// own, so the text is read once, here, into the one full path the service may act on.
// Free of the Windows API: the rules are the platform's path rules written out.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/path_parts.h"

namespace fileops {

// Win32 error numbers of a refusal.
using platform::kErrorInvalidName;
using platform::kErrorNotSupported;
using platform::kErrorReparsePointEncountered;

enum class PathKind {
    File,        // a fully qualified path on a drive: open OpenForm()
    NamesNoFile, // relative, drive-relative or rooted, a folder, or a NUL inside
    Refused,     // a pattern, a device, another host or namespace, a control character
};

struct ListedPath {
    PathKind kind = PathKind::NamesNoFile;
    // For a File: the full path, "X:\dir\name", in the platform's full-path form outside
    // the "\\?\" form and literally after it.
    std::wstring path;
    uint32_t refusal = 0;  // for Refused: why, as a Win32 error number
    bool pattern = false;  // Refused as a pattern: a wildcard in its text (or in its ANSI form)

    // The form that reaches the platform: with "\\?\" the platform takes the text as it
    // stands, so a long path works and nothing is resolved a second time.
    std::wstring OpenForm() const { return L"\\\\?\\" + path; }
};

ListedPath JudgeListedPath(std::wstring_view text);

using platform::FolderOf;
using platform::LeafOf;

// CON, PRN, AUX, NUL, COM1-9, LPT1-9 (and the superscript-digit forms), CONIN$, CONOUT$,
// with or without an extension and trailing blanks, in any letter case.
bool IsReservedDeviceName(std::wstring_view component);

}  // namespace fileops
