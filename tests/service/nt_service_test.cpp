#include "service/nt_service.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/handles.h"

namespace NTService {
namespace {

using platform::UniqueHandle;

UniqueHandle ManualEvent() { return UniqueHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)); }

// Runs `body` on a thread of its own (the product's threads are the platform's, and its
// toolchain has no std::thread); the destructor waits for it.
template <typename Body>
class TestThread {
public:
    explicit TestThread(Body body)
        : body_(std::move(body)), handle_(::CreateThread(nullptr, 0, &Run, this, 0, nullptr)) {}
    ~TestThread() { Join(); }
    TestThread(const TestThread&) = delete;
    TestThread& operator=(const TestThread&) = delete;

    bool Started() const { return static_cast<bool>(handle_); }
    bool Finished() const { return !handle_ || ::WaitForSingleObject(handle_.get(), 0) == WAIT_OBJECT_0; }
    void Join() {
        if (handle_) ::WaitForSingleObject(handle_.get(), INFINITE);
        handle_.reset();
    }

private:
    static DWORD WINAPI Run(LPVOID self) {
        static_cast<TestThread*>(self)->body_();
        return 0;
    }
    Body body_;
    UniqueHandle handle_;
};

// --- A scripted clock and wait, for the deadline paths the real clock cannot produce ---

std::vector<DWORD> scriptedTicks;
size_t nextTick = 0;
std::vector<DWORD> scriptedResults;
size_t nextResult = 0;
std::vector<DWORD> waitTimes;

DWORD WINAPI ScriptedTickCount() { return scriptedTicks.at(nextTick++); }
DWORD WINAPI ScriptedMsgWait(DWORD, const HANDLE*, BOOL, DWORD ms, DWORD) {
    waitTimes.push_back(ms);
    return scriptedResults.at(nextResult++);
}

void Script(std::vector<DWORD> ticks, std::vector<DWORD> results) {
    scriptedTicks = std::move(ticks);
    scriptedResults = std::move(results);
    nextTick = nextResult = 0;
    waitTimes.clear();
}

const PumpApi kScripted{ScriptedTickCount, ScriptedMsgWait};

TEST(WaitWithMessagePump, PassedDeadlineReturnsTimeoutWithoutAnotherWait) {
    HANDLE handles[1] = {nullptr};
    Script({1000, 1000 + 501}, {});
    EXPECT_EQ(WaitWithMessagePump(kScripted, 500, handles, 1), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(waitTimes.empty());
}

TEST(WaitWithMessagePump, DeadlineHoldsAcrossAWrapOfTheTickCounter) {
    HANDLE handles[2] = {nullptr, nullptr};
    // Start 16 ms before the wrap with a 64 ms timeout; input arrives twice, the second
    // time after the counter wrapped, and then the deadline has passed.
    Script({0xFFFFFFF0u, 0xFFFFFFF8u, 0x10u, 0x31u}, {WAIT_OBJECT_0 + 2, WAIT_OBJECT_0 + 2});
    EXPECT_EQ(WaitWithMessagePump(kScripted, 0x40, handles, 2), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_EQ(waitTimes.size(), 2u);
    EXPECT_EQ(waitTimes[0], 0x38u);
    EXPECT_EQ(waitTimes[1], 0x20u);
}

TEST(WaitWithMessagePump, InputArrivedNeverReachesTheCaller) {
    HANDLE handles[2] = {nullptr, nullptr};
    Script({}, {WAIT_OBJECT_0 + 2, WAIT_OBJECT_0 + 2, WAIT_OBJECT_0 + 1});
    EXPECT_EQ(WaitWithMessagePump(kScripted, -1, handles, 2), 1u);
    EXPECT_EQ(nextTick, 0u) << "an infinite wait never reads the tick count";
    EXPECT_EQ(waitTimes, (std::vector<DWORD>{INFINITE, INFINITE, INFINITE}));
}

TEST(WaitWithMessagePump, OtherPlatformResultsPassThrough) {
    HANDLE handles[1] = {nullptr};
    Script({}, {WAIT_ABANDONED_0});
    EXPECT_EQ(WaitWithMessagePump(kScripted, -1, handles, 1), static_cast<DWORD>(WAIT_ABANDONED_0));
}

// --- The real platform ---

int realWaits = 0;
DWORD WINAPI CountingMsgWait(DWORD count, const HANDLE* handles, BOOL all, DWORD ms, DWORD mask) {
    ++realWaits;
    return ::MsgWaitForMultipleObjects(count, handles, all, ms, mask);
}

TEST(WaitWithMessagePump, ZeroTimeoutOnUnsignalledHandlesTimesOutAfterOneZeroWait) {
    UniqueHandle a = ManualEvent(), b = ManualEvent();
    HANDLE handles[2] = {a.get(), b.get()};
    realWaits = 0;
    const PumpApi counting{::GetTickCount, CountingMsgWait};
    EXPECT_EQ(WaitWithMessagePump(counting, 0, handles, 2), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_LE(realWaits, 1);
}

TEST(WaitWithMessagePump, ShortFiniteWaitTimesOut) {
    UniqueHandle a = ManualEvent();
    HANDLE handles[1] = {a.get()};
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(WaitWithMessagePump(50, handles, 1), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_GE(::GetTickCount() - start, 40u);
}

TEST(WaitWithMessagePump, ReturnsTheLowestSignalledIndex) {
    UniqueHandle a = ManualEvent(), b = ManualEvent();
    ::SetEvent(a.get());
    ::SetEvent(b.get());
    HANDLE handles[2] = {a.get(), b.get()};
    EXPECT_EQ(WaitWithMessagePump(-1, handles, 2), 0u);
}

TEST(WaitWithMessagePump, FailedWaitPassesThrough) {
    HANDLE handles[1] = {nullptr};
    EXPECT_EQ(WaitWithMessagePump(-1, handles, 1), static_cast<DWORD>(WAIT_FAILED));
}

int dispatchedToWindow = 0;
LRESULT CALLBACK CountingWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP + 1) {
        ++dispatchedToWindow;
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

TEST(WaitWithMessagePump, InfiniteWaitDispatchesPostedMessagesUntilAHandleIsSignalled) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = CountingWindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuorvanePumpTest";
    ::RegisterClassW(&wc);
    HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);

    UniqueHandle unused = ManualEvent(), done = ManualEvent();
    dispatchedToWindow = 0;
    TestThread poster([&] {
        for (int i = 0; i < 50; ++i) {
            ::PostMessageW(window, WM_APP + 1, 0, 0);
            if (i % 10 == 0) ::Sleep(5);
        }
        ::SetEvent(done.get());
    });
    ASSERT_TRUE(poster.Started());
    HANDLE handles[2] = {unused.get(), done.get()};
    const DWORD result = WaitWithMessagePump(-1, handles, 2);
    poster.Join();
    EXPECT_EQ(result, 1u);
    EXPECT_EQ(dispatchedToWindow, 50) << "every message posted before the signal is dispatched";
    ::DestroyWindow(window);
}

// --- Status reports and the service main routine, outside the service control manager.
// SetServiceStatus fails on the null handle; the record is what is checked. ---

class StatusRecord : public ::testing::Test {
protected:
    void SetUp() override {
        StatusHandle = nullptr;
        ServiceStatus = SERVICE_STATUS{};
        ServiceStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        ServiceStatus.dwControlsAccepted = 5;
        ServiceStatus.dwCurrentState = SERVICE_RUNNING;
    }
};

TEST_F(StatusRecord, StopAndShutdownReportStopPendingAndChangeNothingElse) {
    const SERVICE_STATUS before = ServiceStatus;
    ServiceControlHandler(SERVICE_CONTROL_STOP);
    EXPECT_EQ(ServiceStatus.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
    ServiceStatus.dwCurrentState = SERVICE_RUNNING;
    ServiceControlHandler(SERVICE_CONTROL_SHUTDOWN);
    EXPECT_EQ(ServiceStatus.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_EQ(ServiceStatus.dwServiceType, before.dwServiceType);
    EXPECT_EQ(ServiceStatus.dwControlsAccepted, before.dwControlsAccepted);
    EXPECT_EQ(ServiceStatus.dwWin32ExitCode, 0u);
    EXPECT_EQ(ServiceStatus.dwCheckPoint, 0u);
    EXPECT_EQ(ServiceStatus.dwWaitHint, 0u);
}

TEST_F(StatusRecord, InterrogateAndUnknownControlsKeepTheState) {
    ServiceControlHandler(SERVICE_CONTROL_INTERROGATE);
    EXPECT_EQ(ServiceStatus.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    ServiceControlHandler(SERVICE_CONTROL_PAUSE);
    EXPECT_EQ(ServiceStatus.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    SetServiceState(0);
    EXPECT_EQ(ServiceStatus.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(StatusRecord, ALateStopControlDoesNotReopenAStoppedService) {
    SetServiceState(SERVICE_STOPPED);
    ServiceControlHandler(SERVICE_CONTROL_STOP);
    EXPECT_EQ(ServiceStatus.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(StatusRecord, ConcurrentReportsLeaveOneOfTheReportedStates) {
    TestThread a([] { for (int i = 0; i < 2000; ++i) SetServiceState(SERVICE_STOP_PENDING); });
    TestThread b([] { for (int i = 0; i < 2000; ++i) SetServiceState(SERVICE_RUNNING); });
    ASSERT_TRUE(a.Started() && b.Started());
    a.Join();
    b.Join();
    const DWORD state = ServiceStatus.dwCurrentState;
    EXPECT_TRUE(state == SERVICE_STOP_PENDING || state == SERVICE_RUNNING) << state;
}

TEST(ServiceMainRoutine, FillsTheRecordReportsStartPendingSignalsAndWaitsForStop) {
    UniqueHandle started = ManualEvent(), stop = ManualEvent();
    StartedEvent = started.get();
    StopEvent = stop.get();
    ServiceStatus = SERVICE_STATUS{};
    ServiceStatus.dwWin32ExitCode = 99;
    ServiceStatus.dwCheckPoint = 7;

    TestThread serviceThread([] { ServiceMain(0, nullptr); });
    ASSERT_TRUE(serviceThread.Started());
    // Not an ASSERT: the thread must still be released by the stop event below.
    EXPECT_EQ(::WaitForSingleObject(started.get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(ServiceStatus.dwServiceType, 0x10u);
    EXPECT_EQ(ServiceStatus.dwControlsAccepted, 5u);
    EXPECT_EQ(ServiceStatus.dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
    EXPECT_EQ(ServiceStatus.dwWin32ExitCode, 0u);
    EXPECT_EQ(ServiceStatus.dwServiceSpecificExitCode, 0u);
    EXPECT_EQ(ServiceStatus.dwCheckPoint, 0u);
    EXPECT_EQ(ServiceStatus.dwWaitHint, 0u);

    ::Sleep(50);
    EXPECT_FALSE(serviceThread.Finished()) << "the routine waits for the stop event";
    ::SetEvent(stop.get());
    serviceThread.Join();  // released by the stop event
    StartedEvent = StopEvent = nullptr;
}

TEST(DispatcherThread, EndsAtOnceOutsideTheServiceControlManager) {
    UniqueHandle started = ManualEvent(), stop = ManualEvent();
    StartedEvent = started.get();
    StopEvent = stop.get();
    UniqueHandle thread(StartDispatcherThread());
    ASSERT_TRUE(thread);
    HANDLE handles[2] = {thread.get(), started.get()};
    EXPECT_EQ(WaitWithMessagePump(60000, handles, 2), 0u);
    StartedEvent = StopEvent = nullptr;
}

}  // namespace
}  // namespace NTService
