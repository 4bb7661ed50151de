#include "bench_platform.h"

#include "platform/handles.h"
#include "platform/win32.h"

#include <psapi.h>  // after windows.h

namespace qbench {

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency;
}

double ProcessorTime() {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto ticks = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 1e7;
}

std::wstring TempDir() {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    std::wstring dir(temp, length);
    if (dir.empty() || dir.back() != L'\\') dir += L'\\';
    return dir;
}

std::wstring MakeScratchDir() {
    const std::wstring temp = TempDir();
    DWORD seed = ::GetCurrentProcessId() * 2654435761u ^ ::GetTickCount();
    for (int attempt = 0; attempt < 1000; ++attempt, seed = seed * 1103515245u + 12345u) {
        wchar_t name[32];
        wsprintfW(name, L"qbench-%04x", static_cast<unsigned>((seed >> 8) & 0xFFFF));
        const std::wstring dir = temp + name + L"\\";
        if (::CreateDirectoryW(dir.c_str(), nullptr)) return dir;
    }
    return {};
}

void RemoveTree(const std::wstring& dirWithSlash) {
    WIN32_FIND_DATAW found;
    platform::UniqueFind search(::FindFirstFileW((dirWithSlash + L"*").c_str(), &found));
    if (search) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = dirWithSlash + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + L"\\");
            } else {
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(path.c_str());
            }
        } while (::FindNextFileW(search.get(), &found));
    }
    search.reset();
    ::RemoveDirectoryW(dirWithSlash.c_str());
}

long RunChild(const std::wstring& commandLine, void* stdOut, void* stdErr) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = stdOut;
    startup.hStdError = stdErr;
    for (HANDLE h : {static_cast<HANDLE>(stdOut), static_cast<HANDLE>(stdErr)}) {
        if (h && h != INVALID_HANDLE_VALUE) ::SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    std::wstring line = commandLine;
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &info)) {
        return -1;
    }
    platform::UniqueHandle process(info.hProcess), thread(info.hThread);
    ::WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    return static_cast<long>(code);
}

MemoryCounters ProcessMemory() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    MemoryCounters result;
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters))) {
        result.workingSet = counters.WorkingSetSize;
        result.peakWorkingSet = counters.PeakWorkingSetSize;
    }
    return result;
}

std::string ReadTextFile(const std::wstring& path) {
    platform::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    return text;
}

bool WriteTextFile(const std::wstring& path, const std::string& text) {
    platform::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return text.empty() ||
           (::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
            written == text.size());
}

}  // namespace qbench
