#include "tools/tool_output.h"

#include "tools/json_writer.h"

#include "platform/text.h"
#include "platform/win32.h"
#include "tools/tool_rules.h"

namespace quorvane_tool {
namespace {

bool g_utf8 = false;

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
    // GetConsoleOutputCP gives 0 to a process without a console.
    const unsigned codePage = RedirectedCodePage(g_utf8, ::GetConsoleOutputCP(), ::GetACP());
    const std::string bytes = platform::ToAnsi(text, codePage);
    ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void UseUtf8() { g_utf8 = true; }

void Out(const std::wstring& text) { Write(STD_OUTPUT_HANDLE, text); }

void Err(const std::wstring& text) { Write(STD_ERROR_HANDLE, text); }

void OutAscii(const std::string& text) { Out(std::wstring(text.begin(), text.end())); }

void OutJson(const JsonWriter& json) { OutAscii(json.Text() + "\r\n"); }

}  // namespace quorvane_tool
