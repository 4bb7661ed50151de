#include "support/service_sandbox.h"

#include <vector>

#include <algorithm>
#include <stdexcept>

#include "activitylog/log_entry.h"
#include "driver/instance_lock.h"
#include "platform/win32.h"
#include "service/nt_service.h"

namespace testing_support {
UniqueScHandle OpenShieldService(DWORD access) {
    UniqueScHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return {};
    return UniqueScHandle(::OpenServiceW(manager.get(), NTService::ServiceName, access));
}

bool IsInstanceRunning(const std::wstring& folder) {
    // The running service shares its lock with no one: any open for reading is refused.
    const std::wstring lock = folder + basQuorvaneService::kInstanceLockName;
    platform::UniqueFile probe(
        ::CreateFileW(lock.c_str(), GENERIC_READ, platform::kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    return !probe && ::GetLastError() == ERROR_SHARING_VIOLATION;
}

ServiceSandbox::ServiceSandbox(const std::wstring& exeName, const std::wstring& folder)
    : folder_(dir_.Path()), exeName_(exeName) {
    for (size_t start = 0; start < folder.size();) {
        const size_t end = std::min(folder.find(L'\\', start), folder.size());
        folder_ += folder.substr(start, end - start) + L"\\";
        if (!::CreateDirectoryW(folder_.c_str(), nullptr)) {
            throw std::runtime_error("cannot create the sandbox's folder");
        }
        start = end + 1;
    }
    const std::wstring built = BinDir() + L"QuorvaneService.exe";
    if (!::CopyFileW(built.c_str(), ExePath().c_str(), FALSE)) {
        throw std::runtime_error("cannot copy QuorvaneService.exe into the sandbox");
    }
}

ServiceSandbox::~ServiceSandbox() {
    if (registered_) {
        WaitUntilFinished(60000);
        Unregister();
    }
}

std::wstring ServiceSandbox::LogPath() const {
    return folder_ + basQuorvaneService::BaseNameOf(exeName_) + L"Log.txt";
}

void ServiceSandbox::Register(const std::wstring& arguments) {
    Unregister();
    std::wstring binPath = ExePath();
    if (!arguments.empty()) binPath += L" " + arguments;
    const ProcessResult created = RunProcess(
        L"sc.exe create QuorvaneShield binPath= \"" + binPath + L"\"", 60000);
    if (!created.finished || created.exitCode != 0) {
        throw std::runtime_error("sc create failed: " + created.output);
    }
    registered_ = true;
}

void ServiceSandbox::Unregister() {
    UniqueScHandle service = OpenShieldService(DELETE);
    if (service) ::DeleteService(service.get());
    registered_ = false;
}

ProcessResult ServiceSandbox::Start() {
    return RunProcess(L"net.exe start QuorvaneShield", 120000);
}

DWORD ServiceSandbox::QueryState() const {
    UniqueScHandle service = OpenShieldService(SERVICE_QUERY_STATUS);
    SERVICE_STATUS status = {};
    if (!service || !::QueryServiceStatus(service.get(), &status)) return 0;
    return status.dwCurrentState;
}

DWORD ServiceSandbox::SendControl(DWORD control) const {
    UniqueScHandle service =
        OpenShieldService(SERVICE_STOP | SERVICE_INTERROGATE | SERVICE_QUERY_STATUS);
    SERVICE_STATUS status = {};
    if (!service) return 0;
    ::ControlService(service.get(), control, &status);
    return status.dwCurrentState;
}

bool ServiceSandbox::WaitUntilFinished(unsigned timeoutMs) const {
    const DWORD start = ::GetTickCount();
    // The service writes its last entry after reporting stopped; the process has ended
    // when its single-instance lock is let go.
    while (QueryState() != SERVICE_STOPPED || IsInstanceRunning(folder_)) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(50);
    }
    return true;
}

void ServiceSandbox::RunOnce(const std::wstring& arguments, unsigned timeoutMs) {
    if (!registered_) Register(arguments);
    Start();
    if (!WaitUntilFinished(timeoutMs)) throw std::runtime_error("the service run did not end");
}

std::vector<std::wstring> ServiceSandbox::StagedFiles() const {
    std::vector<std::wstring> staged;
    const std::wstring folder = folder_ + L"QuorvaneStaging\\";
    WIN32_FIND_DATAW found;
    platform::UniqueFind search(::FindFirstFileW((folder + L"*.staged").c_str(), &found));
    if (!search) return staged;
    do {
        staged.push_back(folder + found.cFileName);
    } while (::FindNextFileW(search.get(), &found));
    std::sort(staged.begin(), staged.end());
    return staged;
}

DWORD ShieldStartType() {
    UniqueScHandle service = OpenShieldService(SERVICE_QUERY_CONFIG);
    std::vector<unsigned char> buffer(8192);
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    return service && ::QueryServiceConfigW(service.get(), config, 8192, &needed) ? config->dwStartType : 0;
}

}  // namespace testing_support
