#pragma once
// The judgement of an OS version record: the version text, the refusal message and the
// verdict. Free of the Windows API, so that any record can be judged without the platform.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace osversion {

constexpr std::size_t kServicePackChars = 128;

constexpr uint32_t kPlatformWin32s = 0;   // VER_PLATFORM_WIN32s
constexpr uint32_t kPlatformWindows = 1;  // VER_PLATFORM_WIN32_WINDOWS
constexpr uint32_t kPlatformNT = 2;       // VER_PLATFORM_WIN32_NT

// The fields of the narrow version record that the judgement reads, as the query left them.
struct VersionRecord {
    uint32_t MajorVersion = 0;
    uint32_t MinorVersion = 0;
    uint32_t BuildNumber = 0;
    uint32_t PlatformId = 0;
    std::array<char, kServicePackChars> CSDVersion{};  // ANSI; zero-terminated when well formed
};

struct VersionFindings {
    std::wstring VersionText;
    std::wstring TypeError;  // empty when the system is accepted
    int32_t TypeValid = 0;   // 0 refused, 1 Windows 9x, 2 NT 4 with SP 4+, 3 NT 5+ past build 2030
};

// Turns the service-pack bytes into text. The Windows side hands in the ANSI code page.
using AnsiDecoder = std::function<std::wstring(std::string_view)>;

// The low 16 bits as a signed number: a low half of 0x8000 or more comes out negative.
int16_t LoWord(uint32_t value);

VersionFindings JudgeVersion(const VersionRecord& record, const AnsiDecoder& decode);

}  // namespace osversion
