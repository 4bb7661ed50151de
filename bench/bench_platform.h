#pragma once
// What the benchmark needs from the platform beyond the service's own code: a clock,
// a scratch folder, child processes of its own, and the process's memory counters.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qbench {

// Seconds on the performance counter.
double Now();

// Seconds of processor time, user and kernel, of this process's own threads. Under Wine
// it leaves out the time the Wine server spends on the process's requests, which is the
// same for two loops that make the same platform calls.
double ProcessorTime();

// The system's temp folder, with a trailing backslash.
std::wstring TempDir();

// A fresh folder "qbench-XXXX" under the temp folder, with a trailing backslash.
std::wstring MakeScratchDir();

// Removes the folder and everything in it.
void RemoveTree(const std::wstring& dirWithSlash);

// Runs a command line to its end, with the given standard output and error (0: none).
// Returns the exit code, or -1 when the process could not be started.
long RunChild(const std::wstring& commandLine, void* stdOut, void* stdErr);

struct MemoryCounters {
    size_t workingSet = 0;
    size_t peakWorkingSet = 0;
};
MemoryCounters ProcessMemory();

std::string ReadTextFile(const std::wstring& path);
bool WriteTextFile(const std::wstring& path, const std::string& text);

}  // namespace qbench
