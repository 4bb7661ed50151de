#include "load_bench.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "bench_platform.h"
#include "pass_bench.h"
#include "pendinglist/pending_reboot_files.h"
#include "platform/handles.h"
#include "platform/win32.h"

namespace qbench {
namespace {

using basPendingRebootFiles::List;

struct ChildFigures {
    long count = -1;
    double seconds = 0;
    unsigned long long workingSetBefore = 0;
    unsigned long long peakAfter = 0;
};

uint32_t Read16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | (p[1] << 8)); }
uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The floor: one read of the whole file, then one conversion per text into memory
// set aside beforehand. It trusts the file's layout; the list under test is whole.
long ReadAndConvert(const std::wstring& path) {
    platform::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart < 6) return -1;
    const size_t bytes = static_cast<size_t>(size.QuadPart);
    auto* data = static_cast<uint8_t*>(
        ::VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    // A byte never gives more than one UTF-16 unit.
    auto* wide = static_cast<wchar_t*>(
        ::VirtualAlloc(nullptr, bytes * sizeof(wchar_t), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD got = 0;
    long count = -1;
    if (data && wide && ::ReadFile(file.get(), data, static_cast<DWORD>(bytes), &got, nullptr) &&
        got == bytes) {
        size_t at = 0, units = 0;
        auto text = [&] {
            const uint32_t length = Read16(data + at);
            at += 2;
            if (length > 0) {
                units += static_cast<size_t>(::MultiByteToWideChar(
                    CP_ACP, 0, reinterpret_cast<const char*>(data + at), static_cast<int>(length),
                    wide + units, static_cast<int>(length)));
            }
            at += length;
        };
        for (int i = 0; i < 3; ++i) text();
        uint32_t elements = 0;
        if (Read16(data + at) == 1) {
            elements = Read32(data + at + 2);
            at += 10;
            for (uint32_t i = 0; i < elements; ++i) {
                text();
                text();
                at += 4;
            }
        } else {
            at += 2;
        }
        count = static_cast<long>(Read32(data + at));
    }
    if (wide) ::VirtualFree(wide, 0, MEM_RELEASE);
    if (data) ::VirtualFree(data, 0, MEM_RELEASE);
    return count;
}

bool RunChildOnce(const std::wstring& exe, const std::wstring& dir, const wchar_t* mode,
                  ChildFigures& figures) {
    const std::wstring resultPath = dir + L"load-result.txt";
    ::DeleteFileW(resultPath.c_str());
    const long code = RunChild(L"\"" + exe + L"\" --load-child " + mode + L" \"" + resultPath + L"\"",
                               ::GetStdHandle(STD_OUTPUT_HANDLE), ::GetStdHandle(STD_ERROR_HANDLE));
    const std::string result = ReadTextFile(resultPath);
    ::DeleteFileW(resultPath.c_str());
    return code == 0 && std::sscanf(result.c_str(), "%ld %lf %llu %llu", &figures.count,
                                    &figures.seconds, &figures.workingSetBefore,
                                    &figures.peakAfter) == 4;
}

double Fastest(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

}  // namespace

LoadFigures MeasureLoad(const std::wstring& exe, const std::wstring& dir, int entries,
                        int repetitions) {
    LoadFigures figures;
    figures.entries = entries;

    List().Clear();
    for (int i = 0; i < entries; ++i) List().Append(EntryPath(dir, i), L"", 0);
    basPendingRebootFiles::Save();
    List().Clear();
    const std::wstring listPath = basPendingRebootFiles::ListFilePath();
    WIN32_FILE_ATTRIBUTE_DATA attributes = {};
    if (!::GetFileAttributesExW(listPath.c_str(), GetFileExInfoStandard, &attributes)) {
        figures.fault = "the list file was not written";
        return figures;
    }
    const uint64_t fileBytes = (static_cast<uint64_t>(attributes.nFileSizeHigh) << 32) |
                               attributes.nFileSizeLow;
    figures.fileBytes = static_cast<size_t>(fileBytes);  // lists this benchmark writes fit

    std::vector<double> load, floor;
    for (int rep = 0; rep < repetitions && figures.fault.empty(); ++rep) {
        for (const wchar_t* mode : {L"service", L"floor"}) {
            ChildFigures child;
            if (!RunChildOnce(exe, dir, mode, child)) {
                figures.fault = "a measuring child failed";
                break;
            }
            if (child.count != entries) {
                figures.fault = "a child read " + std::to_string(child.count) + " entries";
                break;
            }
            const double ratio = child.peakAfter > child.workingSetBefore
                                     ? static_cast<double>(child.peakAfter - child.workingSetBefore) /
                                           static_cast<double>(figures.fileBytes)
                                     : 0;
            if (mode[0] == L's') {
                load.push_back(child.seconds);
                figures.loadPeakRatio = std::max(figures.loadPeakRatio, ratio);
                figures.baselineBytes = static_cast<size_t>(child.workingSetBefore);
            } else {
                floor.push_back(child.seconds);
                figures.floorPeakRatio = std::max(figures.floorPeakRatio, ratio);
            }
        }
    }
    figures.loadSeconds = Fastest(load);
    figures.floorSeconds = Fastest(floor);
    ::DeleteFileW(listPath.c_str());
    return figures;
}

int RunLoadChild(const std::wstring& mode, const std::wstring& resultPath) {
    const std::wstring listPath = basPendingRebootFiles::ListFilePath();
    const bool service = mode == L"service";
    // Everything Load touches once per process is touched before the baseline is taken.
    List();

    const MemoryCounters before = ProcessMemory();
    const double start = Now();
    long count = -1;
    if (service) {
        basPendingRebootFiles::Load();
        count = List().Count();
    } else {
        count = ReadAndConvert(listPath);
    }
    const double seconds = Now() - start;
    const MemoryCounters after = ProcessMemory();

    char line[160];
    std::snprintf(line, sizeof(line), "%ld %.6f %llu %llu\n", count, seconds,
                  static_cast<unsigned long long>(before.workingSet),
                  static_cast<unsigned long long>(after.peakWorkingSet));
    return WriteTextFile(resultPath, line) ? 0 : 1;
}

}  // namespace qbench
