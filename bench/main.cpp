// QuorvaneBench: the service's cleanup pass and list loading against the platform floor.
//
//   QuorvaneBench.exe              the full run (about twelve minutes under Wine)
//   QuorvaneBench.exe --smoke      tiny lists, one run each: shows that the benchmark works
//   --pass-only, --load-only       one half of the run
//   --entries=N                    the pass tables at N entries only
//   --profile                      where a pass's time goes, step by step
//
// The service's list file and log lie beside the running executable, so the benchmark
// copies itself into a scratch folder under the temp folder and runs from there; the
// folder also holds the files the pass deletes, and goes when the run ends.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_platform.h"
#include "activitylog/activity_log.h"
#include "load_bench.h"
#include "pass_bench.h"
#include "pass_profile.h"
#include "platform/text.h"
#include "platform/win32.h"

#include <shellapi.h>  // after windows.h

namespace qbench {
namespace {

struct Plan {
    bool smoke = false;
    bool profile = false;
    bool pass = true;
    bool load = true;
    int entries = 0;  // --entries=N: one pass size instead of the standard three
    std::vector<std::pair<int, int>> passRuns;  // entries, repetitions
    std::vector<std::pair<int, int>> loadRuns;
};

constexpr wchar_t kEntriesOption[] = L"--entries=";

// The N of "--entries=N", 1 to 1,000,000; 0 for anything else.
int EntriesIn(const std::wstring& arg) {
    const std::wstring digits = arg.substr(std::char_traits<wchar_t>::length(kEntriesOption));
    if (digits.empty() || digits.size() > 7 ||
        digits.find_first_not_of(L"0123456789") != std::wstring::npos) {
        return 0;
    }
    const int entries = std::stoi(digits);
    return entries <= 1000000 ? entries : 0;
}

bool IsKnownOption(const std::wstring& arg) {
    return arg == L"--smoke" || arg == L"--pass-only" || arg == L"--load-only" ||
           arg == L"--profile" || (arg.rfind(kEntriesOption, 0) == 0 && EntriesIn(arg) > 0);
}

Plan MakePlan(const std::vector<std::wstring>& args) {
    Plan plan;
    for (const std::wstring& arg : args) {
        if (arg == L"--smoke") plan.smoke = true;
        if (arg == L"--pass-only") plan.load = false;
        if (arg == L"--load-only") plan.pass = false;
        if (arg == L"--profile") plan.profile = true;
        if (arg.rfind(kEntriesOption, 0) == 0) plan.entries = EntriesIn(arg);
    }
    if (plan.smoke) {
        plan.passRuns = {{20, 1}};
        plan.loadRuns = {{100, 1}};
    } else {
        plan.passRuns = {{1000, 9}, {10000, 5}, {50000, 3}};
        if (plan.entries > 0) plan.passRuns = {{plan.entries, 3}};
        plan.loadRuns = {{10000, 5}, {1000000, 3}};
    }
    return plan;
}

std::string Platform() {
    std::string text;
    using WineVersion = const char*(CDECL*)();  // a cdecl export of Wine's ntdll
    const auto wine = reinterpret_cast<WineVersion>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    if (wine) {
        text = std::string("Wine ") + wine();
    } else {
        text = "Windows";
    }
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    text += ", code page " + std::to_string(::GetACP()) + ", " +
            std::to_string(info.dwNumberOfProcessors) + " processors";
    return text;
}

double Ratio(double a, double b) { return b > 0 ? a / b : 0; }

const char* Verdict(bool met) { return met ? "met" : "NOT MET"; }

bool PassTable(const std::wstring& dir, bool filesExist, const Plan& plan,
               std::vector<std::string>& targets) {
    const char* title = filesExist ? "Cleanup pass, files exist and delete" : "Cleanup pass, files missing";
    std::printf("\n%s (floor: the design's bare work, platform calls only: each file opened without\n"
                "following a link, its final path, its delete mark, closed; 2 log entries each opened, appended,\n"
                "closed; path route: %s)\n",
                title, filesExist ? "FindFirstFileA+FindClose, DeleteFileA" : "FindFirstFileA");
    std::printf("  %8s  %14s  %15s  %10s  %10s  %13s  %14s  %12s\n", "entries", "pass us/entry",
                "floor us/entry", "pass/floor", "median p/f", "pass cpu us/e", "floor cpu us/e",
                "path us/e");
    std::fflush(stdout);
    std::vector<PassFigures> rows;
    double worst = 0, worstMedian = 0;
    for (const auto& [entries, reps] : plan.passRuns) {
        const PassFigures row = MeasurePass(dir, entries, filesExist, reps);
        if (!row.fault.empty()) {
            std::printf("  %8d  FAILED: %s\n", row.entries, row.fault.c_str());
            return false;
        }
        const double pass = row.passSeconds * 1e6 / row.entries;
        const double floor = row.floorSeconds * 1e6 / row.entries;
        worst = std::max(worst, Ratio(pass, floor));
        worstMedian = std::max(worstMedian, row.medianRatio);
        std::printf("  %8d  %14.1f  %15.1f  %10.2f  %10.2f  %13.1f  %14.1f  %12.1f\n", row.entries, pass,
                    floor, Ratio(pass, floor), row.medianRatio, row.passProcessor * 1e6 / row.entries,
                    row.floorProcessor * 1e6 / row.entries, row.pathRouteSeconds * 1e6 / row.entries);
        std::fflush(stdout);
        rows.push_back(row);
    }
    char line[300];
    std::snprintf(line, sizeof(line),
                  "%s: pass/floor <= 1.5 at every size: %s (median of side-by-side runs: worst "
                  "%.2f; fastest over fastest: worst %.2f)",
                  title, Verdict(worstMedian <= 1.5), worstMedian, worst);
    targets.push_back(line);
    if (rows.size() > 1) {
        const PassFigures& first = rows.front();
        const PassFigures& last = rows.back();
        const double growPass = Ratio(last.passSeconds / last.entries, first.passSeconds / first.entries);
        const double growFloor = Ratio(last.floorSeconds / last.entries, first.floorSeconds / first.entries);
        std::printf("  us/entry at %d over us/entry at %d: pass %.2f, floor %.2f\n", last.entries,
                    first.entries, growPass, growFloor);
        std::snprintf(line, sizeof(line), "%s: us/entry at %d <= 1.25 x at %d: %s (%.2f)", title,
                      last.entries, first.entries, Verdict(growPass <= 1.25), growPass);
        targets.push_back(line);
    }
    return true;
}

bool LoadTable(const std::wstring& exe, const std::wstring& dir, const Plan& plan,
               std::vector<std::string>& targets) {
    std::printf("\nLoad of the list file (floor: one ReadFile, one MultiByteToWideChar per text)\n");
    std::printf("  %8s  %8s  %9s  %9s  %10s  %11s  %12s\n", "entries", "file MB", "Load ms", "floor ms",
                "Load/floor", "Load peak/f", "floor peak/f");
    std::fflush(stdout);
    LoadFigures last;
    for (const auto& [entries, reps] : plan.loadRuns) {
        const LoadFigures row = MeasureLoad(exe, dir, entries, reps);
        if (!row.fault.empty()) {
            std::printf("  %8d  FAILED: %s\n", row.entries, row.fault.c_str());
            return false;
        }
        std::printf("  %8d  %8.2f  %9.1f  %9.1f  %10.2f  %11.2f  %12.2f\n", row.entries,
                    row.fileBytes / 1e6, row.loadSeconds * 1e3, row.floorSeconds * 1e3,
                    Ratio(row.loadSeconds, row.floorSeconds), row.loadPeakRatio, row.floorPeakRatio);
        std::fflush(stdout);
        last = row;
    }
    std::printf("  peak/f: (peak working set after - working set before) / file size, each in a\n"
                "  fresh process; working set before Load: %.1f MB\n",
                last.baselineBytes / 1e6);
    const double ratio = Ratio(last.loadSeconds, last.floorSeconds);
    char line[300];
    std::snprintf(line, sizeof(line), "Load of %d entries: <= 1.5 x floor: %s (%.2f)", last.entries,
                  Verdict(ratio <= 1.5), ratio);
    targets.push_back(line);
    std::snprintf(line, sizeof(line), "Load of %d entries: peak <= 3 x file size: %s (%.2f)", last.entries,
                  Verdict(last.loadPeakRatio <= 3.0), last.loadPeakRatio);
    targets.push_back(line);
    return true;
}

int RunInScratch(const Plan& plan) {
    const std::wstring exe = basQuorvaneService::ModulePath();
    const std::wstring dir = basQuorvaneService::AppDir();
    const std::string sample = platform::ToAnsi(EntryPath(dir, 123));
    std::printf("QuorvaneBench: %s\n", Platform().c_str());
    std::printf("entry paths of %u characters, e.g. %s\n", static_cast<unsigned>(sample.size()),
                sample.c_str());
    std::fflush(stdout);

    if (plan.profile) {
        ProfilePass(dir, plan.smoke ? 100 : 10000);
        return 0;
    }
    bool ok = true;
    std::vector<std::string> targets;
    if (plan.pass) {
        ok = PassTable(dir, true, plan, targets) && ok;
        ok = PassTable(dir, false, plan, targets) && ok;
    }
    if (plan.load) ok = LoadTable(exe, dir, plan, targets) && ok;
    std::printf("\nTimes: wall clock (QueryPerformanceCounter), the fastest of %s runs; median p/f:\n"
                "the median over the runs of pass / floor, the two loops of a run back to back.\n"
                "cpu: this process's processor time (GetProcessTimes) in the same runs, without\n"
                "the Wine server's share. Peaks: the highest seen.\n",
                plan.smoke ? "1" : "3 to 9");
    if (!plan.smoke) {
        std::printf("Targets\n");
        for (const std::string& target : targets) std::printf("  %s\n", target.c_str());
    }
    std::fflush(stdout);
    return ok ? 0 : 1;
}

// Copies the executable into a scratch folder and runs the copy there.
int Launch(const std::vector<std::wstring>& args) {
    const std::wstring dir = MakeScratchDir();
    if (dir.empty()) {
        std::fprintf(stderr, "QuorvaneBench: cannot make a scratch folder\n");
        return 2;
    }
    const std::wstring copy = dir + L"QuorvaneBench.exe";
    long code = 2;
    if (::CopyFileW(basQuorvaneService::ModulePath().c_str(), copy.c_str(), TRUE)) {
        std::wstring line = L"\"" + copy + L"\" --in-scratch";
        for (const std::wstring& arg : args) line += L" " + arg;
        std::fflush(stdout);
        code = RunChild(line, ::GetStdHandle(STD_OUTPUT_HANDLE), ::GetStdHandle(STD_ERROR_HANDLE));
    } else {
        std::fprintf(stderr, "QuorvaneBench: cannot copy itself to the scratch folder\n");
    }
    RemoveTree(dir);
    return code < 0 ? 2 : static_cast<int>(code);
}

}  // namespace
}  // namespace qbench

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 1; argv && i < argc; ++i) args.emplace_back(argv[i]);
    ::LocalFree(argv);

    if (args.size() == 3 && args[0] == L"--load-child") return qbench::RunLoadChild(args[1], args[2]);
    if (!args.empty() && args[0] == L"--in-scratch") {
        return qbench::RunInScratch(qbench::MakePlan({args.begin() + 1, args.end()}));
    }
    for (const std::wstring& arg : args) {
        if (!qbench::IsKnownOption(arg)) {
            std::fprintf(stderr, "usage: QuorvaneBench [--smoke] [--pass-only | --load-only | --profile]"
                                 " [--entries=N]\n");
            return 2;
        }
    }
    return qbench::Launch(args);
}
