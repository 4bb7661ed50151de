#include "fileops/boot_carry.h"

#include <vector>

#include "fileops/staging.h"
#include "platform/handles.h"
#include "platform/nt_file.h"
#include "platform/win32_result.h"
#include "platform/win32.h"

namespace fileops {
namespace {

struct ServiceHandleTraits {
    using Type = SC_HANDLE;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseServiceHandle(h); }
};
using UniqueService = platform::UniqueResource<ServiceHandleTraits>;

// SERVICE_CONFIG_DELAYED_AUTO_START_INFO: Vista and later; earlier systems refuse the level.
constexpr DWORD kDelayedAutoStartLevel = 3;
struct DelayedAutoStart {
    BOOL delayed;
};

DWORD OpenService(const std::wstring& name, UniqueService& manager, UniqueService& service) {
    manager.reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return ::GetLastError();
    service.reset(::OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG));
    return service ? ERROR_SUCCESS : ::GetLastError();
}

DWORD QueryStartType(SC_HANDLE service, StartTypeRecord& found) {
    DWORD needed = 0;
    ::QueryServiceConfigW(service, nullptr, 0, &needed);
    if (needed == 0) return ::GetLastError();
    std::vector<unsigned char> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!::QueryServiceConfigW(service, config, needed, &needed)) return ::GetLastError();
    found.startType = config->dwStartType;
    DelayedAutoStart delayed = {};
    found.delayed = ::QueryServiceConfig2W(service, kDelayedAutoStartLevel, reinterpret_cast<BYTE*>(&delayed),
                                           sizeof(delayed), &needed) &&
                    delayed.delayed;
    return ERROR_SUCCESS;
}

DWORD SetStartType(SC_HANDLE service, DWORD startType, bool delayed) {
    if (!platform::NativeCalls().ChangeServiceConfigW(service, SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr)) {
        return ::GetLastError();
    }
    // A delayed start would let other programs start first and hold the file again.
    DelayedAutoStart flag = {delayed ? TRUE : FALSE};
    platform::NativeCalls().ChangeServiceConfig2W(service, kDelayedAutoStartLevel, &flag);
    return ERROR_SUCCESS;
}

}  // namespace

BootCarry::BootCarry(StagingFolder& staging, std::wstring serviceName)
    : staging_(staging), serviceName_(std::move(serviceName)) {}

void BootCarry::BeginPass() {
    earlier_.clear();
    for (const CarriedEntry& entry : staging_.Carried()) earlier_.push_back(entry.name);
    carried_ = false;
}

DWORD BootCarry::Carry(const std::wstring& listedPath, uint32_t reason) {
    UniqueService manager, service;
    if (const DWORD error = OpenService(serviceName_, manager, service)) return error;
    StartTypeRecord recorded;
    DWORD error = staging_.ReadStartType(recorded);
    if (error == ERROR_FILE_NOT_FOUND) {
        StartTypeRecord found;
        if ((error = QueryStartType(service.get(), found)) != ERROR_SUCCESS) return error;
        error = staging_.WriteStartType(found);
    }
    if (error != ERROR_SUCCESS) return error;
    if ((error = SetStartType(service.get(), SERVICE_AUTO_START, false)) != ERROR_SUCCESS) return error;
    if ((error = staging_.RecordCarried({listedPath, reason})) != ERROR_SUCCESS) return error;
    carried_ = true;
    return ERROR_SUCCESS;
}

void BootCarry::EndPass() {
    for (const std::wstring& name : earlier_) platform::BestEffort(staging_.RemoveRecord(name, kCarriedSuffix));
    earlier_.clear();
    if (carried_) return;
    StartTypeRecord recorded;
    if (staging_.ReadStartType(recorded) != ERROR_SUCCESS) return;
    UniqueService manager, service;
    if (OpenService(serviceName_, manager, service) != ERROR_SUCCESS) return;
    StartTypeRecord now;
    if (QueryStartType(service.get(), now) != ERROR_SUCCESS) return;
    if (now.startType == SERVICE_AUTO_START && !now.delayed &&
        SetStartType(service.get(), recorded.startType, recorded.delayed) != ERROR_SUCCESS) {
        return;  // tried again at the next start that carries nothing
    }
    platform::BestEffort(staging_.RemoveRecord(kStartTypeRecordName, L""));
}

}  // namespace fileops
