// The crash campaign's hands inside the prefix (crash_campaign.sh is its driver outside,
// since a boot ends every program in the prefix). Each cut-off starts from the same
// scene, built from a seed: a small mixed list (a deletable file, a read-only one, one held
// open without delete sharing in a folder others can write, a missing one, a flagged one),
// unlisted files beside them, another program's entry in the restart queue, and, for even
// seeds, a damaged list. The service, a test build that ends itself after its Nth change,
// runs once cut off and once again normally; the check then holds the scene to what a run
// must never leave.
//   crash_campaign setup SEED N        the scene, the service registered to stop after change N
//   crash_campaign trace SEED          the scene, the service registered to record every change
//   crash_campaign normal              the service registered as shipped
//   crash_campaign run                 net start, and the wait for the end of the run
//   crash_campaign runs                the runs the log holds that finished
//   crash_campaign starttype           the service's start type now
//   crash_campaign wait RUNS           the wait for the run the boot started
//   crash_campaign check SEED N BOOTED the invariants; one line of results
//   crash_campaign summary SEEDS...    cut-offs per boundary; fails a boundary without one
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "driver/instance_lock.h"
#include "fault_support.h"
#include "fileops/restart_queue_text.h"
#include "fileops/staging_records.h"
#include "pendinglist/ansi_codec.h"
#include "pendinglist/list_format.h"
#include "platform/handles.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "support/list_writer.h"
#include "support/log_reader.h"
#include "support/process.h"
#include "support/service_sandbox.h"
#include "support/test_files.h"
#include "support/unix_side.h"

namespace {

using namespace testing_support;

const std::wstring kRoot = L"C:\\qcrash\\";
const std::wstring kResults = L"C:\\qcrash-results\\";
const std::wstring kService = kRoot + L"service\\";
const std::wstring kUser = kRoot + L"user\\";  // others may write it
const std::wstring kData = kRoot + L"data\\";
const std::wstring kOther = kRoot + L"other\\";
const std::wstring kList = kService + L"QuorvanePendingRebootList.dat";
const std::wstring kLog = kService + L"QuorvaneServiceLog.txt";
const std::wstring kStaging = kService + L"QuorvaneStaging\\";
const std::wstring kPlanted = kOther + L"planted.tmp";

struct Listed {
    std::wstring path;
    std::string bytes;  // empty: no file there
    int32_t flag;
};

std::vector<Listed> Entries(int seed) {
    std::vector<Listed> entries = {{kData + L"deletable.dll", "deletable", 0},
                                   {kData + L"readonly.dll", "readonly", 0},
                                   {kUser + L"held.dll", "held", 0},
                                   {kData + L"held-too.dll", "held too", 0},
                                   {kData + L"missing.dll", "", 0},
                                   {kData + L"flagged.dll", "flagged", 1}};
    // The seed picks the order.
    for (size_t i = entries.size(); i > 1; --i) std::swap(entries[i - 1], entries[(seed * 7 + i * 3) % i]);
    return entries;
}

const std::vector<std::pair<std::wstring, std::string>> kUnlisted = {{kUser + L"unlisted.txt", "the user's other"},
                                                                     {kData + L"unlisted.txt", "bystander"}};

bool Damaged(int seed) { return seed % 2 == 0; }
bool EarlierRun(int seed) { return seed % 3 == 0; }

std::string ListBytes(int seed) {
    std::vector<ListedFile> files;
    for (const Listed& entry : Entries(seed)) files.push_back({entry.path, entry.flag});
    std::string bytes = ListFileBytes(files);
    // A damaged list: its Count cut off.
    if (Damaged(seed)) bytes.resize(bytes.size() - 3);
    return bytes;
}

// The source, its empty destination (a delete) and the list's closing empty string.
std::wstring Planted() { return L"\\??\\" + kPlanted + std::wstring(3, L'\0'); }

std::wstring ReadQueue() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                        &key) != ERROR_SUCCESS) {
        return {};
    }
    platform::UniqueHKey owner(key);
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return {};
    }
    std::wstring data(size / sizeof(wchar_t), L'\0');
    ::RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    data.resize(size / sizeof(wchar_t));
    return data;
}

void WriteQueue(const std::wstring& data) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_WRITE,
                        &key) != ERROR_SUCCESS) {
        return;
    }
    platform::UniqueHKey owner(key);
    if (data.empty()) {
        ::RegDeleteValueW(key, L"PendingFileRenameOperations");
        return;
    }
    ::RegSetValueExW(key, L"PendingFileRenameOperations", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

DWORD ServiceState() {
    UniqueScHandle service = OpenShieldService(SERVICE_QUERY_STATUS);
    SERVICE_STATUS status = {};
    return service && ::QueryServiceStatus(service.get(), &status) ? status.dwCurrentState : 0;
}


bool WaitStopped(unsigned timeoutMs) {
    for (const DWORD start = ::GetTickCount(); ::GetTickCount() - start < timeoutMs; ::Sleep(50)) {
        if (ServiceState() == SERVICE_STOPPED && !IsInstanceRunning(kService)) return true;
    }
    return false;
}

void EndHolder() {
    const std::string pid = ReadBytes(kResults + L"holder.pid");
    if (pid.empty()) return;
    platform::UniqueHandle holder(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, std::strtoul(pid.c_str(), nullptr, 10)));
    if (holder) {
        ::TerminateProcess(holder.get(), 0);
        ::WaitForSingleObject(holder.get(), 10000);
    }
    ::DeleteFileW((kResults + L"holder.pid").c_str());
}

int Run();

int Setup(int seed, const std::wstring& serviceArguments) {
    EndHolder();
    RunProcess(L"sc.exe delete QuorvaneShield", 60000);
    if (!RunUnixScript("rm -rf '" + UnixPathOf(kRoot) + "'")) return 1;
    ::CreateDirectoryW(kResults.c_str(), nullptr);
    for (const std::wstring& folder : {kRoot, kService, kUser, kData, kOther}) ::CreateDirectoryW(folder.c_str(), nullptr);
    if (!RunUnixScript("chmod 0777 '" + UnixPathOf(kUser) + "'")) return 1;
    if (!::CopyFileW((BinDir() + L"QuorvaneServiceCut.exe").c_str(), (kService + L"QuorvaneService.exe").c_str(), FALSE)) {
        return 1;
    }
    for (const Listed& entry : Entries(seed)) {
        if (!entry.bytes.empty()) WriteBytes(entry.path, entry.bytes);
    }
    ::SetFileAttributesW((kData + L"readonly.dll").c_str(), FILE_ATTRIBUTE_READONLY);
    for (const auto& [path, bytes] : kUnlisted) WriteBytes(path, bytes);
    WriteBytes(kPlanted, "another program's");
    WriteBytes(kList, ListBytes(seed));
    // Another program's request, alone in the queue at the start of every cut-off.
    WriteQueue(Planted());

    const std::wstring ready = kResults + L"held";
    ::DeleteFileW(ready.c_str());
    platform::UniqueHandle holder = LaunchProcess(L"\"" + BinDir() + L"file_holder.exe\" \"" + ready + L"\" \"" +
                                                  kUser + L"held.dll\" \"" + kData + L"held-too.dll\"");
    for (const DWORD start = ::GetTickCount(); !FileExists(ready); ::Sleep(20)) {
        if (::GetTickCount() - start > 30000) return 1;
    }
    WriteBytes(kResults + L"holder.pid", std::to_string(::GetProcessId(holder.get())));
    const ProcessResult created =
        RunProcess(L"sc.exe create QuorvaneShield binPath= \"" + kService + L"QuorvaneService.exe\"", 60000);
    if (created.exitCode != 0) return 1;
    // Every third seed finds what an earlier run left: a staged file, a carried entry, a
    // request by a path, which its sweep and its pass take up.
    if (EarlierRun(seed) && Run() != 0) return 1;
    UniqueScHandle service = OpenShieldService(SERVICE_CHANGE_CONFIG);
    const std::wstring binary = kService + L"QuorvaneService.exe " + serviceArguments;
    return service && ::ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                             binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)
               ? 0
               : 1;
}

int Normal() {
    UniqueScHandle service = OpenShieldService(SERVICE_CHANGE_CONFIG);
    const std::wstring binary = kService + L"QuorvaneService.exe";
    return service && ::ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                             binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)
               ? 0
               : 1;
}

int Run() {
    RunProcess(L"net.exe start QuorvaneShield", 120000);
    return WaitStopped(120000) ? 0 : 1;
}

// The runs of the log, each the messages from its loading entry on.
std::vector<std::vector<std::string>> Runs(const std::vector<LogEntryBytes>& entries) {
    std::vector<std::vector<std::string>> runs;
    const std::string loading = Titled(texts::kLoadingList);
    for (const std::string& message : Messages(entries)) {
        if (message == loading) runs.emplace_back();
        if (!runs.empty()) runs.back().push_back(message);
    }
    return runs;
}

// The files of the staging folder by name.
std::set<std::wstring> StagingNames() {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    platform::UniqueFind search(::FindFirstFileW((kStaging + L"*").c_str(), &found));
    if (!search) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(found.cFileName);
    } while (::FindNextFileW(search.get(), &found));
    return names;
}

int Check(int seed, unsigned long cut, bool booted) {
    std::vector<std::string> faults;
    const auto fault = [&faults](const std::string& text) { faults.push_back(text); };
    EndHolder();
    const std::string label = [&] {
        std::string record = ReadBytes(kResults + L"cut.txt");
        const size_t tab = record.find('\t'), end = record.find("\r\n");
        return tab == std::string::npos ? std::string("(no cut)") : record.substr(tab + 1, end - tab - 1);
    }();

    // The staging folder: no file without its record, no record without its file.
    const std::set<std::wstring> names = StagingNames();
    std::map<std::wstring, fileops::StagedRecord> staged;  // by listed path
    for (const std::wstring& name : names) {
        const auto stem = [&name](const wchar_t* suffix) {
            const size_t length = std::wcslen(suffix);
            return name.size() > length && name.compare(name.size() - length, length, suffix) == 0
                       ? name.substr(0, name.size() - length)
                       : std::wstring();
        };
        if (!stem(L".staged").empty() && !names.count(stem(L".staged") + L".path")) fault("a staged file without its record");
        if (!stem(L".new").empty()) fault("a record never put in place: " + Ansi(name));
        if (stem(L".path").empty()) continue;
        fileops::StagedRecord record;
        const std::string bytes = ReadBytes(kStaging + name);
        if (!fileops::ParseStagedRecord(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2), record)) {
            fault("a record that does not read: " + Ansi(name));
            continue;
        }
        if (!names.count(stem(L".path") + L".staged")) fault("a record without its file: " + Ansi(name));
        else staged[record.listedPath] = record;
    }

    // Every listed file deleted, or staged with its record, or in its place; flagged and
    // unlisted files, and another program's file, keep their bytes.
    for (const Listed& entry : Entries(seed)) {
        if (entry.bytes.empty()) continue;
        const std::string now = ReadBytes(entry.path);
        const bool inPlace = FileExists(entry.path);
        if (entry.flag != 0 || Damaged(seed)) {
            if (now != entry.bytes) fault("a file the run must leave changed: " + Ansi(entry.path));
            continue;
        }
        const auto at = staged.find(entry.path);
        if (inPlace && now != entry.bytes) fault("a listed file changed in its place: " + Ansi(entry.path));
        if (inPlace && at != staged.end()) fault("a listed file both in its place and staged: " + Ansi(entry.path));
        if (at != staged.end() && ReadBytes(kStaging + at->second.stagedName) != entry.bytes) {
            fault("a staged file changed: " + Ansi(entry.path));
        }
    }
    for (const auto& [path, bytes] : kUnlisted) {
        if (ReadBytes(path) != bytes) fault("an unlisted file changed: " + Ansi(path));
    }

    // The restart queue: another program's entry kept byte for byte (a boot carries it
    // out); the service's own requests name only files that exist.
    const std::wstring queue = ReadQueue();
    const std::wstring planted = Planted();
    if (!booted && queue.find(planted.substr(0, planted.size() - 1)) != 0) fault("another program's request changed");
    if (booted && FileExists(kPlanted)) fault("the boot did not carry out another program's request");
    for (const fileops::QueuedOperation& operation : fileops::ParseRestartQueue(queue)) {
        const std::wstring source = fileops::WithoutNtPrefix(operation.source);
        if (source == kPlanted) continue;
        if (!FileExists(source)) fault("a request of the service's for a file that is not there: " + Ansi(source));
    }

    // The list: its own bytes, or a whole list, never an empty or partly written one.
    const std::string list = ReadBytes(kList);
    basPendingRebootFiles::PendingRebootList read(basPendingRebootFiles::PlatformLowerCase);
    if (list != ListBytes(seed) &&
        !basPendingRebootFiles::ReadListBytes(reinterpret_cast<const uint8_t*>(list.data()), list.size(),
                                               basPendingRebootFiles::SystemCodec(), read)
             .ok()) {
        fault("the list at its name is neither the list nor a whole one (" + std::to_string(list.size()) + " bytes)");
    }
    for (const wchar_t* copy : {L".bad", L".bad.1"}) {
        const std::string kept = ReadBytes(kList + copy);
        if (FileExists(kList + copy) && kept != ListBytes(seed)) fault("a damaged list's copy is not its bytes");
    }

    // The log: whole entries only.
    const std::string log = ReadBytes(kLog);
    const std::vector<LogEntryBytes> entries = ParseLog(log);
    if (!log.empty() && log.compare(log.size() - 2, 2, "\r\n") != 0) fault("the log ends inside an entry");
    for (const LogEntryBytes& entry : entries) {
        if (entry.dateTime.empty() || entry.errorPart.find(':') == std::string::npos) fault("a log entry cut short");
    }

    // Nothing carried any more: the start type found is back.
    const bool carried = std::any_of(names.begin(), names.end(), [](const std::wstring& name) {
        return name.size() > 8 && name.compare(name.size() - 8, 8, L".carried") == 0;
    });
    if (!carried && ShieldStartType() != SERVICE_DEMAND_START) fault("nothing is carried, yet the start type stays changed");
    if (!carried && names.count(L"start-type.record")) fault("nothing is carried, yet the start type record stays");

    // A delete whose line the cut-off kept from the log: the next start says "already
    // gone", which is true; it may happen only at that boundary.
    int exceptions = 0;
    const auto runs = Runs(entries);
    for (const Listed& entry : Entries(seed)) {
        if (entry.bytes.empty() || entry.flag != 0 || Damaged(seed) || runs.empty()) continue;
        const auto& last = runs.back();
        const bool goneNow = std::find(last.begin(), last.end(), Gone(entry.path)) != last.end();
        bool deletedLogged = false;
        for (const auto& run : runs) {
            deletedLogged = deletedLogged ||
                            std::find(run.begin(), run.end(), Deleted(entry.path)) != run.end();
        }
        if (!goneNow || deletedLogged) continue;
        // A boot carries out the restart queue: a staged file goes there, as requested.
        if (booted) continue;
        const std::string leaf = Ansi(entry.path.substr(entry.path.find_last_of(L'\\') + 1));
        // Between a staged file's delete and its line stand its request taken back and its
        // record removed.
        if (label == "delete mark listed " + leaf || label == "delete mark staged file" ||
            label == "write restart queue" || label == "delete restart queue" || label == "delete mark staging record") {
            ++exceptions;
        } else {
            fault("\"already gone\" for a file no run said it deleted: " + Ansi(entry.path));
        }
    }

    const std::wstring results = kResults + L"results.txt";
    std::string line = std::to_string(seed) + "\t" + std::to_string(cut) + "\t" + (booted ? "boot" : "-") + "\t" +
                       label + "\t" + std::to_string(exceptions) + "\t" + (faults.empty() ? "ok" : "FAILED") + "\n";
    WriteBytes(results, ReadBytes(results) + line);
    std::printf("seed %d cut %lu%s after \"%s\": %s\n", seed, cut, booted ? " (boot)" : "", label.c_str(),
                faults.empty() ? "ok" : "FAILED");
    for (const std::string& text : faults) std::printf("  %s\n", text.c_str());
    return faults.empty() ? 0 : 1;
}

int Summary(const std::vector<int>& seeds) {
    // Every change the uncut runs made is a boundary; each must have had its cut-off.
    std::map<std::string, int> cuts, expected;
    for (int seed : seeds) {
        std::istringstream trace(ReadBytes(kResults + L"trace-" + std::to_wstring(seed) + L".txt"));
        for (std::string line; std::getline(trace, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            ++expected[line];
        }
    }
    int failed = 0, exceptions = 0, boots = 0, total = 0;
    std::istringstream results(ReadBytes(kResults + L"results.txt"));
    for (std::string line; std::getline(results, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
        if (fields.size() < 6) continue;
        ++total;
        ++cuts[fields[3]];
        boots += fields[2] == "boot" ? 1 : 0;
        exceptions += std::atoi(fields[4].c_str());
        failed += fields[5] == "ok" ? 0 : 1;
    }
    std::printf("crash campaign: %d cut-offs over seeds", total);
    for (int seed : seeds) std::printf(" %d", seed);
    std::printf(", %d followed by a boot, %d failed; \"already gone\" after a cut between a delete and its line: %d\n",
                boots, failed, exceptions);
    int missing = 0;
    for (const auto& [boundary, count] : expected) {
        std::printf("  %4d  after %s\n", cuts[boundary], boundary.c_str());
        if (cuts[boundary] == 0) ++missing;
    }
    if (missing) std::printf("crash campaign: %d boundaries without a cut-off\n", missing);
    return failed == 0 && missing == 0 && total > 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    const int seed = argc > 2 ? std::wcstol(argv[2], nullptr, 10) : 0;
    if (command == L"setup" && argc > 3) {
        const std::wstring record = kResults + L"cut.txt";
        ::DeleteFileW(record.c_str());
        return Setup(seed, std::wstring(L"/cutafter:") + argv[3] + L" /cutrecord:" + record);
    }
    if (command == L"trace") {
        const std::wstring trace = kResults + L"trace-" + std::to_wstring(seed) + L".txt";
        ::DeleteFileW(trace.c_str());
        return Setup(seed, L"/cuttrace:" + trace);
    }
    if (command == L"normal") return Normal();
    if (command == L"run") return Run();
    if (command == L"wait" && argc > 2) {
        // Until the log holds that many finished runs, the last one the boot started.
        const size_t runs = std::wcstoul(argv[2], nullptr, 10);
        const std::string stopped = Titled(texts::kStopped);
        for (const DWORD start = ::GetTickCount(); ::GetTickCount() - start < 180000; ::Sleep(100)) {
            const auto messages = Messages(ParseLog(ReadBytes(kLog)));
            if (static_cast<size_t>(std::count(messages.begin(), messages.end(), stopped)) >= runs && WaitStopped(1000)) return 0;
        }
        return 1;
    }
    if (command == L"runs") {
        const auto messages = Messages(ParseLog(ReadBytes(kLog)));
        std::printf("%d\n", static_cast<int>(std::count(messages.begin(), messages.end(),
                                                          Titled(texts::kStopped))));
        return 0;
    }
    if (command == L"starttype") {
        std::printf("%lu\n", ShieldStartType());
        return 0;
    }
    if (command == L"count") {
        std::istringstream trace(ReadBytes(kResults + L"trace-" + std::to_wstring(seed) + L".txt"));
        int count = 0;
        for (std::string line; std::getline(trace, line);) ++count;
        std::printf("%d\n", count);
        return 0;
    }
    if (command == L"check" && argc > 4) return Check(seed, std::wcstoul(argv[3], nullptr, 10), argv[4] == std::wstring(L"boot"));
    if (command == L"summary") {
        std::vector<int> seeds;
        for (int i = 2; i < argc; ++i) seeds.push_back(std::wcstol(argv[i], nullptr, 10));
        return Summary(seeds);
    }
    if (command == L"clear") {
        EndHolder();
        RunProcess(L"sc.exe delete QuorvaneShield", 60000);
        RunUnixScript("rm -rf '" + UnixPathOf(kRoot) + "' '" + UnixPathOf(kResults) + "'");
        WriteQueue(L"");
        return 0;
    }
    std::fprintf(stderr, "usage: crash_campaign setup|trace|normal|run|wait|check|summary|clear ...\n");
    return 2;
}
