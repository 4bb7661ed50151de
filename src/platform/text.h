#pragma once
// Conversion between the in-memory UTF-16 text and the system's ANSI code page.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

constexpr unsigned kAnsiCodePage = 0;  // CP_ACP

// Characters the code page cannot hold become the platform's default character, never a
// best-fit look-alike. Used for text that is only shown or logged.
std::string ToAnsi(std::wstring_view text, unsigned codePage = kAnsiCodePage);

// The exact ANSI form, or nothing when the text does not survive the conversion
// unchanged. A path must come through this one: a lossy form could name another file
// (an unmappable character turns into '?', which the file calls read as a wildcard, and
// best-fit mapping turns letters into look-alikes).
std::optional<std::string> ToAnsiExact(std::wstring_view text, unsigned codePage = kAnsiCodePage);

std::wstring FromAnsi(std::string_view bytes, unsigned codePage = kAnsiCodePage);

// UTF-8 forms for console output and for tests.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view bytes);

}  // namespace platform
