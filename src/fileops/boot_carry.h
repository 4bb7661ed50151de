#pragma once
// Carrying a listed file to the service's next start, for a file that can be neither
// deleted nor staged now and whose path someone other than an administrator could
// redirect before a restart: no request names that path. The service sets itself to start
// with the system, so that the next start follows the restart and takes the entry up
// through the checked route again, and it puts its start type back once nothing is
// carried.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32_result.h"

namespace fileops {

class StagingFolder;

class BootCarry {
public:
    // `serviceName`: the service whose start type is changed.
    BootCarry(StagingFolder& staging, std::wstring serviceName);

    // Notes the entries earlier runs carried; the ones this run carries are new.
    void BeginPass();

    // Records the start type found (once, before anything else changes), sets the service
    // to start automatically, then records the entry. 0 or the failing step's error.
    [[nodiscard]] DWORD Carry(const std::wstring& listedPath, uint32_t reason);

    // At the end of a pass: the earlier runs' entries are done with; when this run carried
    // nothing, the start type found is put back, but only where the service still starts
    // automatically (an installer, an administrator or a policy that changed it since
    // wins), and its record goes.
    void EndPass();

private:
    StagingFolder& staging_;
    std::wstring serviceName_;
    std::vector<std::wstring> earlier_;
    bool carried_ = false;
};

}  // namespace fileops
