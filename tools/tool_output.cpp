#include "tools/tool_output.h"

#include "platform/text.h"
#include "platform/win32.h"

namespace quorvane_tool {
namespace {

void Write(DWORD which, const std::wstring& text) {
    const HANDLE handle = ::GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (::GetConsoleMode(handle, &mode)) {
        // A console shows every character itself; no code page stands in between.
        ::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = platform::ToUtf8(text);
    ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void Out(const std::wstring& text) { Write(STD_OUTPUT_HANDLE, text); }

void Err(const std::wstring& text) { Write(STD_ERROR_HANDLE, text); }

}  // namespace quorvane_tool
