#pragma once
// Runs QuorvaneService.exe as a real service under Wine's service control manager:
// a folder of its own with a copy of the executable, registered with "sc create" and
// started with "net start", as the product's installer and an administrator would.
#include <string>
#include <vector>

#include "platform/handles.h"
#include "support/process.h"
#include "support/test_files.h"

namespace testing_support {

class ServiceSandbox {
public:
    // exeName lets a test run the service under another file name (its log is named
    // after the executable); folder, a path relative to the sandbox, puts the executable
    // into nested folders of that name.
    explicit ServiceSandbox(const std::wstring& exeName = L"QuorvaneService.exe",
                            const std::wstring& folder = {});
    ~ServiceSandbox();
    ServiceSandbox(const ServiceSandbox&) = delete;
    ServiceSandbox& operator=(const ServiceSandbox&) = delete;

    const std::wstring& Dir() const { return folder_; }
    std::wstring ExePath() const { return folder_ + exeName_; }
    std::wstring LogPath() const;
    std::wstring ListPath() const { return folder_ + L"QuorvanePendingRebootList.dat"; }
    std::string ReadLog() const { return ReadBytes(LogPath()); }
    // The files the service staged for deletion at the next restart, full paths, in order.
    std::vector<std::wstring> StagedFiles() const;

    // "sc create QuorvaneShield binPath= <exe> <arguments>"; replaces an older registration.
    void Register(const std::wstring& arguments = L"");
    void Unregister();

    // "net start QuorvaneShield".
    ProcessResult Start();

    // Current state of the service, 0 when it cannot be queried.
    DWORD QueryState() const;

    // Sends a control and returns the state the service reported in answer.
    DWORD SendControl(DWORD control) const;

    // Waits until the service reports stopped and its process has ended.
    bool WaitUntilFinished(unsigned timeoutMs) const;

    // Registers, starts and waits for the end of one full run.
    void RunOnce(const std::wstring& arguments = L"", unsigned timeoutMs = 120000);

private:
    TempDir dir_;
    std::wstring folder_;  // with a trailing backslash
    std::wstring exeName_;
    bool registered_ = false;
};

// True while a process holds the single-instance lock of the service in `folder` (with its
// backslash).
bool IsInstanceRunning(const std::wstring& folder);

struct ScHandleTraits {
    using Type = SC_HANDLE;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseServiceHandle(h); }
};
using UniqueScHandle = platform::UniqueResource<ScHandleTraits>;

// The QuorvaneShield service with the access asked for; empty (and the last error set)
// when it is not registered.
UniqueScHandle OpenShieldService(DWORD access);

// The QuorvaneShield service's start type; 0 when it cannot be read.
DWORD ShieldStartType();

}  // namespace testing_support
