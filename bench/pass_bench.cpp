#include "pass_bench.h"

#include <algorithm>
#include <vector>

#include "bench_platform.h"
#include "activitylog/activity_log.h"
#include "activitylog/pass_lines.h"
#include "pendinglist/pending_reboot_files.h"
#include "platform/text.h"
#include "platform/win32.h"

namespace qbench {
namespace {

using basPendingRebootFiles::List;

// The pass's own message texts, so that the floor writes the same bytes.
using basPendingRebootFiles::kLabelDeleted;
using basPendingRebootFiles::kLabelGone;
using basPendingRebootFiles::kLabelStart;
using basPendingRebootFiles::kPassSignature;

constexpr char kFileContent[] = "quorvane bench\r\n";
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The floor calls the platform itself, with none of the product's code between: the final
// path and the delete mark through the handle, where the platform has them.
struct FloorCalls {
    using FinalPath = DWORD(WINAPI*)(HANDLE, wchar_t*, DWORD, DWORD);
    using SetInformation = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);
    FinalPath finalPath = nullptr;
    SetInformation setInformation = nullptr;
};

const FloorCalls& Floor() {
    static const FloorCalls calls = [] {
        FloorCalls found;
        const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        found.finalPath = reinterpret_cast<FloorCalls::FinalPath>(
            reinterpret_cast<void*>(::GetProcAddress(kernel, "GetFinalPathNameByHandleW")));
        found.setInformation = reinterpret_cast<FloorCalls::SetInformation>(
            reinterpret_cast<void*>(::GetProcAddress(kernel, "SetFileInformationByHandle")));
        return found;
    }();
    return calls;
}

void ReadFinalPath(HANDLE handle) {
    wchar_t path[MAX_PATH + 8];
    if (Floor().finalPath) Floor().finalPath(handle, path, MAX_PATH + 8, 0);
}

void MarkForDeletion(HANDLE handle) {
    constexpr int kFileDispositionInfo = 4;
    BOOLEAN remove = TRUE;  // FILE_DISPOSITION_INFO
    if (Floor().setInformation) Floor().setInformation(handle, kFileDispositionInfo, &remove, sizeof(remove));
}

// The floor's log: each entry opened (created when missing), appended to and closed, laid
// out as the activity log lays it out; the date and time the floor's own, which the
// comparison of the two logs leaves out.
class FloorLog {
public:
    explicit FloorLog(std::wstring path) : path_(std::move(path)) {
        start_ = platform::ToAnsi(std::wstring(kPassSignature) + kLabelStart);
        deleted_ = platform::ToAnsi(std::wstring(kPassSignature) + kLabelDeleted);
        gone_ = platform::ToAnsi(std::wstring(kPassSignature) + kLabelGone);
    }

    const std::wstring& Path() const { return path_; }
    void Start(const std::string& file) { Write(start_, file); }
    void Deleted(const std::string& file) { Write(deleted_, file); }
    void Gone(const std::string& file) { Write(gone_, file); }

private:
    void Write(const std::string& message, const std::string& file) {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        char dateTime[32];
        wsprintfA(dateTime, "%u/%u/%u %u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                  now.wSecond);
        entry_.assign(dateTime);
        entry_ += "\t0:0:\r\n";
        entry_ += message;
        entry_ += file;
        entry_ += "\r\n";
        const HANDLE log = ::CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (log == INVALID_HANDLE_VALUE) return;
        DWORD written = 0;
        ::WriteFile(log, entry_.data(), static_cast<DWORD>(entry_.size()), &written, nullptr);
        ::CloseHandle(log);
    }

    std::wstring path_;
    std::string start_, deleted_, gone_;
    std::string entry_;
};

bool MakeFiles(const std::vector<std::wstring>& paths) {
    for (const std::wstring& path : paths) {
        if (!WriteTextFile(path, kFileContent)) return false;
    }
    return true;
}

int CountLeft(const std::vector<std::wstring>& paths) {
    int left = 0;
    for (const std::wstring& path : paths) {
        if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) ++left;
    }
    return left;
}

// The log without its date-time texts, which are the only bytes that may differ.
std::string WithoutDateTimes(const std::string& log) {
    std::string kept;
    kept.reserve(log.size());
    size_t at = 0;
    bool header = true;  // entries alternate: header line, message line
    while (at < log.size()) {
        size_t end = log.find("\r\n", at);
        end = end == std::string::npos ? log.size() : end + 2;
        if (header) {
            const size_t tab = log.find('\t', at);
            kept.append(log, std::min(tab, end), end - std::min(tab, end));
        } else {
            kept.append(log, at, end - at);
        }
        header = !header;
        at = end;
    }
    return kept;
}

std::string Describe(const char* what, int entries, int count) {
    return std::string(what) + ": " + std::to_string(count) + " of " + std::to_string(entries);
}

}  // namespace

std::wstring EntryPath(const std::wstring& dir, int index) {
    wchar_t name[48];
    wsprintfW(name, L"d%04d\\file_%06d.tmp", index / kFilesPerFolder, index);
    return dir + name;
}

bool MakeFolders(const std::wstring& dir, int entries) {
    for (int folder = 0; folder * kFilesPerFolder < entries; ++folder) {
        const std::wstring path = EntryPath(dir, folder * kFilesPerFolder);
        const std::wstring parent = path.substr(0, path.find_last_of(L'\\'));
        if (!::CreateDirectoryW(parent.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    return true;
}

PassFigures MeasurePass(const std::wstring& dir, int entries, bool filesExist, int repetitions) {
    PassFigures figures;
    figures.entries = entries;

    std::vector<std::wstring> paths;
    std::vector<std::string> ansiPaths;
    paths.reserve(static_cast<size_t>(entries));
    ansiPaths.reserve(static_cast<size_t>(entries));
    for (int i = 0; i < entries; ++i) {
        paths.push_back(EntryPath(dir, i));
        ansiPaths.push_back(platform::ToAnsi(paths.back()));
    }

    if (!MakeFolders(dir, entries)) {
        figures.fault = "cannot make the folders";
        return figures;
    }

    // The pass starts, as in the service, from a list that Load read from the list file.
    List().Clear();
    for (const std::wstring& path : paths) List().Append(path, L"", 0);
    basPendingRebootFiles::Save();
    List().Clear();

    const std::wstring passLog = basQuorvaneService::LogFilePath();
    FloorLog floorLog(dir + L"FloorLog.txt");
    basQuorvaneService::DebugMode = false;

    struct Run {
        double seconds = 0;
        double processor = 0;
    };
    auto timed = [](auto&& loop) {
        Run run;
        const double processor = ProcessorTime();
        const double start = Now();
        loop();
        run.seconds = Now() - start;
        run.processor = ProcessorTime() - processor;
        return run;
    };

    auto runPass = [&]() -> Run {
        ::DeleteFileW(passLog.c_str());
        if (filesExist && !MakeFiles(paths)) {
            figures.fault = "cannot make the files";
            return {};
        }
        basPendingRebootFiles::Load();
        if (List().Count() != entries) {
            figures.fault = Describe("Load read", entries, List().Count());
            return {};
        }
        const Run run = timed([] { basPendingRebootFiles::CleanupPass(); });
        if (List().Count() != 0) figures.fault = Describe("the pass left entries", entries, List().Count());
        if (const int left = CountLeft(paths)) figures.fault = Describe("the pass left files", entries, left);
        return run;
    };

    auto runFloor = [&]() -> Run {
        ::DeleteFileW(floorLog.Path().c_str());
        if (filesExist && !MakeFiles(paths)) {
            figures.fault = "cannot make the files";
            return {};
        }
        // The bare handle route: one open without following the last reparse point, one
        // final path read, one delete mark, one close; nothing else.
        const Run run = timed([&] {
            for (size_t i = 0; i < paths.size(); ++i) {
                floorLog.Start(ansiPaths[i]);
                const HANDLE file = ::CreateFileW((L"\\\\?\\" + paths[i]).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                                  kShareAll, nullptr, OPEN_EXISTING,
                                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
                if (file == INVALID_HANDLE_VALUE) {
                    floorLog.Gone(ansiPaths[i]);
                    continue;
                }
                ReadFinalPath(file);
                MarkForDeletion(file);
                ::CloseHandle(file);
                floorLog.Deleted(ansiPaths[i]);
            }
        });
        if (const int left = CountLeft(paths)) figures.fault = Describe("the floor left files", entries, left);
        return run;
    };

    auto runPathRoute = [&]() -> Run {
        ::DeleteFileW(floorLog.Path().c_str());
        if (filesExist && !MakeFiles(paths)) {
            figures.fault = "cannot make the files";
            return {};
        }
        const Run run = timed([&] {
            for (const std::string& path : ansiPaths) {
                floorLog.Start(path);
                WIN32_FIND_DATAA found;
                const HANDLE search = ::FindFirstFileA(path.c_str(), &found);
                bool isFile = false;
                if (search != INVALID_HANDLE_VALUE) {
                    isFile = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
                    ::FindClose(search);
                }
                if (!isFile) {
                    floorLog.Gone(path);
                } else if (::DeleteFileA(path.c_str())) {
                    floorLog.Deleted(path);
                }
            }
        });
        if (const int left = CountLeft(paths)) figures.fault = Describe("the path route left files", entries, left);
        return run;
    };

    // Alternating the order spreads slow spells of a shared machine over both loops, and
    // the fastest run of each is the one least disturbed by them.
    std::vector<Run> pass, floor, pathRoute;
    for (int rep = 0; rep < repetitions && figures.fault.empty(); ++rep) {
        if (rep % 2 == 0) {
            pass.push_back(runPass());
            floor.push_back(runFloor());
        } else {
            floor.push_back(runFloor());
            pass.push_back(runPass());
        }
    }
    // The path route's log is checked too, after the floor's: its own run last.
    const std::string floorLogText = WithoutDateTimes(ReadTextFile(floorLog.Path()));
    for (int rep = 0; rep < (repetitions + 1) / 2 && figures.fault.empty(); ++rep) {
        pathRoute.push_back(runPathRoute());
    }
    auto fastest = [](const std::vector<Run>& runs, double Run::*field) {
        double best = 0;
        for (const Run& run : runs) {
            if (best == 0 || run.*field < best) best = run.*field;
        }
        return best;
    };
    figures.passSeconds = fastest(pass, &Run::seconds);
    figures.floorSeconds = fastest(floor, &Run::seconds);
    figures.passProcessor = fastest(pass, &Run::processor);
    figures.floorProcessor = fastest(floor, &Run::processor);
    figures.pathRouteSeconds = fastest(pathRoute, &Run::seconds);
    std::vector<double> ratios;
    for (size_t rep = 0; rep < pass.size() && rep < floor.size(); ++rep) {
        if (floor[rep].seconds > 0) ratios.push_back(pass[rep].seconds / floor[rep].seconds);
    }
    if (!ratios.empty()) {
        std::sort(ratios.begin(), ratios.end());
        const size_t middle = ratios.size() / 2;
        figures.medianRatio = ratios.size() % 2 ? ratios[middle] : (ratios[middle - 1] + ratios[middle]) / 2;
    }

    // A fair floor writes what the pass writes.
    const std::string passLogText = WithoutDateTimes(ReadTextFile(passLog));
    if (figures.fault.empty() && passLogText != floorLogText) {
        figures.fault = "the floor's log differs from the pass's log";
    }
    if (figures.fault.empty() && passLogText != WithoutDateTimes(ReadTextFile(floorLog.Path()))) {
        figures.fault = "the path route's log differs from the pass's log";
    }
    ::DeleteFileW(passLog.c_str());
    ::DeleteFileW(floorLog.Path().c_str());
    ::DeleteFileW(basPendingRebootFiles::ListFilePath().c_str());
    return figures;
}

}  // namespace qbench
