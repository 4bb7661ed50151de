#include "pendinglist/list_trust.h"

#include "activitylog/activity_log.h"
#include "pendinglist/pending_reboot_files.h"
#include "platform/handles.h"
#include "platform/long_path.h"
#include "platform/win32.h"

#include <aclapi.h>
#include <sddl.h>

namespace basPendingRebootFiles {
namespace {

constexpr SECURITY_INFORMATION kOwnerAndDacl =
    OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// "C:\dir\" opens as "C:\dir"; a drive's root keeps its backslash.
std::wstring OpenForm(const std::wstring& path) {
    std::wstring form = path;
    if (form.size() > 3 && form.back() == L'\\') form.pop_back();
    return platform::ExtendedPath(form);
}

ListTrust Judge(const std::wstring& path, bool isFolder, const std::wstring& serviceSid) {
    ListTrust result;
    const DescriptorText text = ReadDescriptor(path);
    if (!text.read) {
        // Only the list may be missing: Load then writes a fresh one into the folder.
        if (!isFolder && (text.error == ERROR_FILE_NOT_FOUND || text.error == ERROR_PATH_NOT_FOUND)) {
            return result;
        }
        result.trusted = false;
        result.object = path;
        result.error = text.error;
        return result;
    }
    result.verdict = JudgeDescriptor(text.sddl, isFolder, serviceSid);
    if (result.verdict.Trusted()) return result;
    result.trusted = false;
    result.object = path;
    result.error = ERROR_ACCESS_DENIED;
    if (!result.verdict.sid.empty()) result.account = AccountName(result.verdict.sid);
    return result;
}

}  // namespace

DescriptorText (*ReadDescriptor)(const std::wstring& path) = &ReadObjectDescriptor;

DescriptorText ReadObjectDescriptor(const std::wstring& path) {
    DescriptorText result;
    // A link in the object's place is judged as itself, never as what it points to.
    const platform::UniqueFile object(::CreateFileW(
        OpenForm(path).c_str(), READ_CONTROL, platform::kShareAll,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!object) {
        result.error = ::GetLastError();
        return result;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD status = ::GetSecurityInfo(object.get(), SE_FILE_OBJECT, kOwnerAndDacl, nullptr,
                                           nullptr, nullptr, nullptr, &descriptor);
    if (status != ERROR_SUCCESS) {
        result.error = status;
        return result;
    }
    const platform::UniqueLocal releaseDescriptor(descriptor);
    LPWSTR text = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                                kOwnerAndDacl, &text, nullptr)) {
        result.error = ::GetLastError();
        return result;
    }
    const platform::UniqueLocal releaseText(text);
    result.sddl = text;
    result.read = true;
    return result;
}

ListTrust CheckListTrust() {
    const std::wstring serviceSid = ProcessAccountSid();
    ListTrust folder = Judge(basQuorvaneService::AppDir(), true, serviceSid);
    if (!folder.trusted) return folder;
    return Judge(ListFilePath(), false, serviceSid);
}

}  // namespace basPendingRebootFiles
