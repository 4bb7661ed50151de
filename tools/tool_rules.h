#pragma once
// Decisions of QuorvaneTool that need no Windows API: which texts it takes, how it shows
// the ones it cannot show whole, and the code page of its redirected output.
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane_tool {

// U+0000 to U+001F: the characters the service refuses in listed paths.
bool HasControlCharacter(std::wstring_view text);

// The text with every control character (U+0000 to U+001F) shown as '?', so that a
// line of TAB-separated fields stays one line with its fields.
std::wstring ShownText(std::wstring_view text);

// A name that is exactly one registry key below its parent: not empty, not white space
// alone, and without a backslash. Anything else would make an event source's key path
// name the log's own key, or another key of the event log service.
bool IsSingleKeyName(std::wstring_view name);

// An error number or attribute word as the tool shows it: 0x and eight upper-case digits.
std::wstring HexCode(uint32_t code);

inline constexpr unsigned kUtf8CodePage = 65001;

// The code page of output that goes to a file or a pipe rather than to a console: UTF-8
// when asked for, else the console's output code page, else (no console: 0) the ANSI one.
unsigned RedirectedCodePage(bool utf8Asked, unsigned consoleOutputCodePage, unsigned ansiCodePage);

}  // namespace quorvane_tool
