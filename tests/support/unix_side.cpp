#include "support/unix_side.h"

#include <stdexcept>

#include "platform/handles.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "support/test_files.h"

namespace testing_support {
namespace {

// Wine's own export, cdecl as Wine declares it; present in every Wine kernel32.
using UnixNameFn = char*(CDECL*)(LPCWSTR);

std::wstring ScratchDir() {
    static TempDir scratch;
    return scratch.Path();
}

std::wstring FreshName(const wchar_t* stem) {
    static unsigned serial = 0;
    return ScratchDir() + stem + std::to_wstring(++serial);
}

// Starts "/bin/sh FILE" with the script in FILE; Wine runs a Unix program directly.
void StartScript(const std::string& script, const std::wstring& file) {
    WriteBytes(file, script);
    const std::string unixFile = UnixPathOf(file);
    std::wstring commandLine = L"/bin/sh \"" + platform::FromUtf8(unixFile) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(L"Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &info)) {
        throw std::runtime_error("cannot start /bin/sh");
    }
    platform::UniqueHandle process(info.hProcess), thread(info.hThread);
}

bool WaitForFile(const std::wstring& path, unsigned timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(10);
    }
    return true;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::string UnixPathOf(const std::wstring& windowsPath) {
    // Through void*: GCC warns of a cast between function types of different conventions.
    static const auto unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) throw std::runtime_error("not running under Wine");
    char* name = unixName(windowsPath.c_str());
    if (!name) return {};
    std::string path(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return path;
}

bool RunUnixScript(const std::string& script, unsigned timeoutMs) {
    const std::wstring done = FreshName(L"done-");
    StartScript(script + "\ntouch " + Quoted(UnixPathOf(done)) + "\n", FreshName(L"script-"));
    return WaitForFile(done, timeoutMs);
}

bool MakeUnixLink(const std::wstring& target, const std::wstring& link) {
    std::wstring linkPath = link;
    while (!linkPath.empty() && linkPath.back() == L'\\') linkPath.pop_back();
    return RunUnixScript("ln -s " + Quoted(UnixPathOf(target)) + " " + Quoted(UnixPathOf(linkPath)));
}

bool MakeUnixHardLink(const std::wstring& target, const std::wstring& link) {
    return RunUnixScript("ln " + Quoted(UnixPathOf(target)) + " " + Quoted(UnixPathOf(link)));
}

UnixBackground::UnixBackground(const std::string& script)
    : stop_(FreshName(L"stop-")), ready_(FreshName(L"ready-")), done_(FreshName(L"done-")) {
    // Files that do not exist yet have no Unix name of their own: their folder's and theirs.
    const std::string folder = UnixPathOf(ScratchDir());
    const auto unixOf = [&folder](const std::wstring& path) {
        return Quoted(folder + "/" + platform::ToUtf8(path.substr(path.find_last_of(L'\\') + 1)));
    };
    StartScript("STOP=" + unixOf(stop_) + "\nREADY=" + unixOf(ready_) + "\n" + script +
                    "\ntouch " + unixOf(done_) + "\n",
                FreshName(L"script-"));
}

UnixBackground::~UnixBackground() { Stop(); }

bool UnixBackground::Started(unsigned timeoutMs) const { return WaitForFile(ready_, timeoutMs); }

void UnixBackground::Stop() {
    if (stopped_) return;
    stopped_ = true;
    WriteBytes(stop_, "");
    WaitForFile(done_, 30000);
}

}  // namespace testing_support
