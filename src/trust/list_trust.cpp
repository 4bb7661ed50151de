#include "trust/list_trust.h"

#include "platform/win32.h"
#include "trust/object_security.h"
#include "trust/path_chain.h"
#include "trust/trust_judgement.h"

namespace trust {
namespace {

ListTrust Untrusted(std::wstring object, std::wstring sid, uint32_t rights, uint32_t error) {
    ListTrust result;
    result.trusted = false;
    result.object = std::move(object);
    result.sid = std::move(sid);
    if (!result.sid.empty()) result.account = AccountName(result.sid);
    result.rights = rights;
    result.error = error != 0 ? error : ERROR_ACCESS_DENIED;
    return result;
}

// `mayBeMissing`: Load writes a missing list fresh into the folder, the staging sweep and
// the log make theirs when first needed.
ListTrust Judge(const std::wstring& path, bool isFolder, bool mayBeMissing, const std::wstring& serviceSid) {
    const ObjectFacts facts = ReadObject(path);
    if (mayBeMissing && facts.Missing()) return {};
    if (!facts.read) return Untrusted(path, {}, 0, facts.error);
    const TrustVerdict verdict = JudgeDescriptor(facts.security, isFolder, serviceSid);
    if (verdict.Trusted()) return {};
    return Untrusted(path, verdict.sid, verdict.rights, 0);
}

}  // namespace

ListTrust CheckListTrust(const ServicePlaces& places) {
    const std::wstring serviceSid = places.serviceSid.empty() ? ProcessAccountSid() : places.serviceSid;
    std::wstring folder = places.folder;
    if (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    const ChainFinding above = CheckFoldersAbove(folder, serviceSid);
    if (!above.passes) return Untrusted(above.object, above.sid, above.rights, above.error);

    const struct {
        const std::wstring& path;
        bool isFolder;
        bool mayBeMissing;
    } objects[] = {
        {places.folder, true, false},
        {places.list, false, true},
        {places.staging, true, true},
        {places.log, false, true},
    };
    for (const auto& object : objects) {
        ListTrust trust = Judge(object.path, object.isFolder, object.mayBeMissing, serviceSid);
        if (!trust.trusted) return trust;
    }
    return {};
}

}  // namespace trust
