// A second instance of the program while a run is under way, started every way it can
// be: by hand, by the service control manager again, and under a second registration of
// the same program. None may run, show anything or write anything; the first run goes on
// untouched to its end. And the other way round: a start by hand that waits on its box
// leaves the service free to run.
#include <gtest/gtest.h>

#include "fault_support.h"
#include "platform/handles.h"
#include "platform/win32.h"
#include "support/list_writer.h"
#include "support/log_reader.h"
#include "support/message_box.h"
#include "support/process.h"
#include "support/service_sandbox.h"
#include "support/unix_side.h"
#include "driver/instance_lock.h"

namespace {

using namespace testing_support;
using namespace fault_support;

const wchar_t kTwin[] = L"QuorvaneShieldTwin";

// A second registration of the same executable, removed again at the end.
class TwinRegistration {
public:
    explicit TwinRegistration(const std::wstring& exe) {
        const ProcessResult created = RunProcess(
            std::wstring(L"sc.exe create ") + kTwin + L" binPath= \"" + exe + L"\"", 60000);
        registered_ = created.finished && created.exitCode == 0;
    }
    ~TwinRegistration() { RunProcess(std::wstring(L"sc.exe delete ") + kTwin, 60000); }
    bool Registered() const { return registered_; }

private:
    bool registered_ = false;
};

bool RunIsUnderWay(const ServiceSandbox& sandbox) {
    return sandbox.QueryState() == SERVICE_RUNNING && IsInstanceRunning(sandbox.Dir());
}

TEST(SecondInstance, StartedDuringARunItNeitherRunsNorDisturbsTheRun) {
    ServiceSandbox sandbox;
    TempDir files;
    const int kEntries = 20000;  // a pass long enough to start the others while it runs
    std::vector<ListedFile> entries;
    for (int i = 0; i < kEntries; ++i) entries.push_back({files / (L"f" + std::to_wstring(i))});
    WriteBytes(sandbox.ListPath(), ListFileBytes(entries));
    sandbox.Register();
    sandbox.Start();
    ASSERT_TRUE(RunIsUnderWay(sandbox));

    platform::UniqueHandle byHand = LaunchProcess(L"\"" + sandbox.ExePath() + L"\" /debugmode");
    DWORD exitCode = 99;
    const bool handEnded = WaitForExit(byHand.get(), 60000, &exitCode);
    EXPECT_FALSE(IsMessageBoxShown(texts::kTitle));
    if (!handEnded) ::TerminateProcess(byHand.get(), 1);
    EXPECT_TRUE(handEnded) << "a second instance started by hand kept running";
    EXPECT_EQ(exitCode, 0u);

    const ProcessResult again = sandbox.Start();
    EXPECT_TRUE(again.finished);
    EXPECT_NE(again.exitCode, 0u) << "a second start of a running service succeeded: " << again.output;
    EXPECT_TRUE(RunIsUnderWay(sandbox));

    {
        TwinRegistration twin(sandbox.ExePath());
        ASSERT_TRUE(twin.Registered());
        const ProcessResult started = RunProcess(std::wstring(L"net.exe start ") + kTwin, 120000);
        EXPECT_TRUE(started.finished);
        EXPECT_NE(started.exitCode, 0u) << "the twin started: " << started.output;
    }
    EXPECT_TRUE(RunIsUnderWay(sandbox)) << "the run ended before the second instances were tried";

    ASSERT_TRUE(sandbox.WaitUntilFinished(600000));
    ExpectEndedStopped(sandbox);
    std::vector<std::string> expected = {Titled(texts::kLoadingList),
                                         Titled(texts::kPreparingList)};
    for (const ListedFile& e : entries) {
        expected.push_back(Start(e.path));
        expected.push_back(Gone(e.path));
    }
    expected.push_back(Titled(texts::kCleanupDone));
    expected.push_back(Titled(texts::kStopped));
    const auto messages = Messages(ParseLog(sandbox.ReadLog()));
    ASSERT_EQ(messages.size(), expected.size()) << "entries were added or lost";
    EXPECT_TRUE(messages == expected) << "the log is not the one run's, in order";
}

// What any program can create first has no effect: the mutex name earlier versions held,
// a lock left by a run that was ended, a link at the lock's name.
TEST(SecondInstance, NoObjectAnotherProgramCreatesKeepsTheRunFromItsJob) {
    platform::UniqueHandle squatter(::CreateMutexW(nullptr, FALSE, L"Global\\QuorvaneService.SingleInstance"));
    ASSERT_TRUE(squatter);
    TempDir files;
    const std::wstring victim = files / L"victim.tmp", bystander = files / L"bystander.tmp";
    for (int way = 0; way < 2; ++way) {
        SCOPED_TRACE(way == 0 ? "a lock left behind" : "a link at the lock's name");
        ServiceSandbox sandbox;
        const std::wstring lock = sandbox.Dir() + basQuorvaneService::kInstanceLockName;
        WriteBytes(bystander, "not the service's");
        if (way == 0) {
            WriteBytes(lock, "");
        } else {
            ASSERT_TRUE(MakeUnixLink(bystander, lock));
        }
        WriteBytes(victim, "x");
        WriteBytes(sandbox.ListPath(), ListFileBytes({ListedFile(victim)}));
        sandbox.RunOnce();
        ExpectEndedStopped(sandbox);
        EXPECT_FALSE(FileExists(victim)) << "the run did not do its job";
        EXPECT_EQ(ReadBytes(bystander), "not the service's");
        if (way == 0) {
            EXPECT_FALSE(FileExists(lock)) << "the lock outlived the run";
        }
    }
}

// A start by hand whose box B waits for a click must not keep the service from running.
TEST(SecondInstance, AHandStartWaitingOnItsBoxDoesNotBlockTheService) {
    ServiceSandbox sandbox;
    TempDir files;
    const std::wstring victim = files / L"victim.tmp";
    WriteBytes(victim, "x");
    WriteBytes(sandbox.ListPath(), ListFileBytes({ListedFile(victim)}));
    sandbox.Register();

    struct HandStart {  // a failed check must not leave it waiting on its box
        platform::UniqueHandle process;
        ~HandStart() {
            if (process && !WaitForExit(process.get(), 0)) ::TerminateProcess(process.get(), 1);
        }
    } hand{LaunchProcess(L"\"" + sandbox.ExePath() + L"\"")};
    ASSERT_TRUE(hand.process);
    // In a prefix whose service manager has not run a service yet, the box comes only
    // after about ten seconds.
    ASSERT_TRUE(WaitForMessageBox(texts::kTitle, 60000)) << "no box B: is there an X display?";

    const ProcessResult started = sandbox.Start();
    EXPECT_TRUE(started.finished);
    EXPECT_EQ(started.exitCode, 0u) << started.output;
    ASSERT_TRUE(sandbox.WaitUntilFinished(120000));
    ExpectEndedStopped(sandbox);
    EXPECT_FALSE(FileExists(victim));
    EXPECT_EQ(Messages(ParseLog(sandbox.ReadLog())),
              (std::vector<std::string>{Titled(texts::kLoadingList),
                                        Titled(texts::kPreparingList),
                                        Start(victim), Deleted(victim),
                                        Titled(texts::kCleanupDone),
                                        Titled(texts::kStopped)}));

    // Only now is the box answered; its program then ends.
    EXPECT_FALSE(WaitForExit(hand.process.get(), 0)) << "the hand start ended before its box was answered";
    const SeenMessageBox box = DismissMessageBox(texts::kTitle, 5000);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.text, std::wstring(texts::kTitle) + texts::kNeedsServiceStart);
    DWORD exitCode = 99;
    EXPECT_TRUE(WaitForExit(hand.process.get(), 10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
