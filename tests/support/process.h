#pragma once
// Child processes for tests: the programs under test, and Wine's own sc.exe and net.exe.
#include <string>

#include "platform/handles.h"

namespace testing_support {

struct ProcessResult {
    bool finished = false;  // false: still running at the timeout, and then terminated
    DWORD exitCode = 0;
    std::string output;     // stdout and stderr together, as the process wrote them
    std::string errors;     // stderr alone, when it was kept apart (RunProcessApart)
};

// Runs a command line to its end (or the timeout) and collects what it printed.
ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs = 60000,
                         const std::string& input = {});

// The same with standard error written to a file of its own: `output` holds stdout alone.
ProcessResult RunProcessApart(const std::wstring& commandLine, DWORD timeoutMs = 60000);

// Starts a process and hands back its handle; its input and output are the null device.
platform::UniqueHandle LaunchProcess(const std::wstring& commandLine);

// Waits for a process to end; false at the timeout.
bool WaitForExit(HANDLE process, DWORD timeoutMs, DWORD* exitCode = nullptr);

}  // namespace testing_support
