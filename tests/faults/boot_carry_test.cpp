// A file held open without delete sharing in a folder others can write is carried to the
// next start, which the service makes follow the restart. boot_carry_test.sh runs the two
// phases around a real boot of the prefix: before it, two such files are held and listed,
// and the owner of one swaps its folder for a link to a victim's folder; at the boot the
// service starts with the system and takes both up through the checked route again.
#include <gtest/gtest.h>

#include <algorithm>

#include "driver/instance_lock.h"
#include "fault_support.h"
#include "platform/handles.h"
#include "platform/win32.h"
#include "support/list_writer.h"
#include "support/log_reader.h"
#include "support/pending_renames.h"
#include "support/process.h"
#include "support/service_sandbox.h"
#include "support/unix_side.h"

namespace {

using namespace testing_support;
using namespace fault_support;

const std::wstring kRoot = L"C:\\quorvane-boot\\";
const std::wstring kService = kRoot + L"service\\";
const std::wstring kSwapped = kRoot + L"swapped", kKept = kRoot + L"kept", kVictims = kRoot + L"victims";
const std::wstring kSwappedFile = kSwapped + L"\\held.dll", kKeptFile = kKept + L"\\held.dll";

// The runs of the log, each the messages from its loading entry on.
std::vector<std::vector<std::string>> Runs() {
    std::vector<std::vector<std::string>> runs;
    for (const std::string& message : Messages(ParseLog(ReadBytes(kService + L"QuorvaneServiceLog.txt")))) {
        if (message == Titled(texts::kLoadingList)) runs.emplace_back();
        if (!runs.empty()) runs.back().push_back(message);
    }
    return runs;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool WaitForRuns(size_t count, unsigned timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        UniqueScHandle service = OpenShieldService(SERVICE_QUERY_STATUS);
        SERVICE_STATUS status = {};
        const bool stopped = service && ::QueryServiceStatus(service.get(), &status) &&
                             status.dwCurrentState == SERVICE_STOPPED;
        const auto runs = Runs();
        if (stopped && !IsInstanceRunning(kService) && runs.size() >= count &&
            runs.back().back() == Titled(texts::kStopped)) {
            return true;
        }
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(100);
    }
}

TEST(BootCarry, BeforeTheBoot) {
    RunUnixScript("rm -rf '" + UnixPathOf(kRoot) + "'");
    for (const std::wstring& folder : {kRoot, kService, kSwapped, kKept, kVictims}) {
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr)) << Ansi(folder);
    }
    ASSERT_TRUE(::CopyFileW((BinDir() + L"QuorvaneService.exe").c_str(), (kService + L"QuorvaneService.exe").c_str(),
                            FALSE));
    WriteBytes(kSwappedFile, "the user's own");
    WriteBytes(kKeptFile, "the user's own");
    WriteBytes(kVictims + L"\\held.dll", "the victim's own");
    ASSERT_TRUE(RunUnixScript("chmod 0777 '" + UnixPathOf(kSwapped) + "' '" + UnixPathOf(kKept) + "'"));
    // Held by a program of their owner's, which the boot ends.
    const std::wstring ready = kRoot + L"held";
    platform::UniqueHandle holder = LaunchProcess(L"\"" + BinDir() + L"file_holder.exe\" \"" + ready + L"\" \"" +
                                                  kSwappedFile + L"\" \"" + kKeptFile + L"\"");
    ASSERT_TRUE(holder);
    for (const DWORD start = ::GetTickCount(); !FileExists(ready); ::Sleep(50)) {
        DWORD exitCode = 0;
        ASSERT_FALSE(WaitForExit(holder.get(), 0, &exitCode)) << "the holder ended: " << exitCode;
        ASSERT_LT(::GetTickCount() - start, 30000u) << "the holder did not take the files";
    }
    WriteBytes(kService + L"QuorvanePendingRebootList.dat", ListFileBytes({{kSwappedFile}, {kKeptFile}}));
    RunProcess(L"sc.exe delete QuorvaneShield", 60000);
    ASSERT_EQ(RunProcess(L"sc.exe create QuorvaneShield binPath= \"" + kService + L"QuorvaneService.exe\"", 60000)
                  .exitCode,
              0u);
    RunProcess(L"net.exe start QuorvaneShield", 120000);
    ASSERT_TRUE(WaitForRuns(1, 120000));

    const auto runs = Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(Has(runs[0], Scheduled(kSwappedFile)));
    EXPECT_TRUE(Has(runs[0], Scheduled(kKeptFile)));
    EXPECT_FALSE(HasPendingDelete(kSwappedFile));
    EXPECT_FALSE(HasPendingDelete(kKeptFile));
    EXPECT_EQ(ShieldStartType(), static_cast<DWORD>(SERVICE_AUTO_START)) << "the next start does not follow the restart";

    // The owner swaps one folder for a link to the victim's before the restart.
    ASSERT_TRUE(RunUnixScript("mv '" + UnixPathOf(kSwapped) + "' '" + UnixPathOf(kSwapped) + ".real' && ln -s '" +
                              UnixPathOf(kVictims) + "' '" + UnixPathOf(kSwapped) + "'"));
}

TEST(BootCarry, AfterTheBoot) {
    ASSERT_TRUE(WaitForRuns(2, 180000)) << "the service did not run at the boot";
    const auto runs = Runs();
    ASSERT_EQ(runs.size(), 2u);
    const std::vector<std::string>& boot = runs[1];
    EXPECT_TRUE(Has(boot, Refused(kSwappedFile))) << "the swapped folder's entry";
    EXPECT_TRUE(Has(boot, Deleted(kKeptFile)));
    EXPECT_EQ(ReadBytes(kVictims + L"\\held.dll"), "the victim's own");
    EXPECT_FALSE(FileExists(kKeptFile));
    EXPECT_EQ(ReadBytes(kSwapped + L".real\\held.dll"), "the user's own");
    EXPECT_EQ(ShieldStartType(), static_cast<DWORD>(SERVICE_DEMAND_START)) << "the start type was not put back";
    for (const wchar_t* left : {L"*.carried", L"start-type.record"}) {
        WIN32_FIND_DATAW found;
        platform::UniqueFind search(::FindFirstFileW((kService + L"QuorvaneStaging\\" + left).c_str(), &found));
        EXPECT_FALSE(search) << Ansi(left);
    }

    RunProcess(L"sc.exe delete QuorvaneShield", 60000);
    RunUnixScript("rm -rf '" + UnixPathOf(kRoot) + "'");
}

}  // namespace
