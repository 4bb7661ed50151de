#include "trust/access_entries.h"

#include <map>

namespace trust {
namespace {

constexpr wchar_t kSidAdministrators[] = L"S-1-5-32-544";
constexpr wchar_t kSidTrustedInstaller[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
constexpr wchar_t kSidCreatorOwner[] = L"S-1-3-0";
constexpr wchar_t kSidOwnerRights[] = L"S-1-3-4";

constexpr uint32_t kGenericAll = 0x10000000;
constexpr uint32_t kGenericExecute = 0x20000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kGenericRead = 0x80000000;

bool InScope(const AccessEntry& entry, EntryScope scope) {
    switch (scope) {
        case EntryScope::Itself: return (entry.flags & kInheritOnly) == 0;
        case EntryScope::HandedToFiles: return (entry.flags & kObjectInherit) != 0;
        case EntryScope::HandedToFolders: return (entry.flags & kContainerInherit) != 0;
    }
    return false;
}

}  // namespace

uint32_t MapGenericFileRights(uint32_t mask) {
    uint32_t mapped = mask & ~(kGenericAll | kGenericExecute | kGenericWrite | kGenericRead);
    if (mask & kGenericAll) mapped |= 0x1F01FF;
    if (mask & kGenericWrite) mapped |= 0x120116;
    if (mask & kGenericRead) mapped |= 0x120089;
    if (mask & kGenericExecute) mapped |= 0x1200A0;
    return mapped;
}

bool IsTrustedAccount(std::wstring_view sid, std::wstring_view serviceSid) {
    return sid == kSidSystem || sid == kSidAdministrators || sid == kSidTrustedInstaller ||
           (!serviceSid.empty() && sid == serviceSid);
}

Outsider FindOutsider(const SecurityFacts& facts, EntryScope scope, uint32_t judged,
                      std::wstring_view serviceSid) {
    std::map<std::wstring, uint32_t> deniedTo;
    uint32_t deniedToAll = 0;
    for (const AccessEntry& entry : facts.dacl) {
        if (!InScope(entry, scope)) continue;
        const uint32_t rights = MapGenericFileRights(entry.mask);
        if (entry.kind == EntryKind::Deny) {
            (entry.sid == kSidEveryone ? deniedToAll : deniedTo[entry.sid]) |= rights;
            continue;
        }
        if (entry.sid == kSidCreatorOwner || entry.sid == kSidOwnerRights) continue;
        if (IsTrustedAccount(entry.sid, serviceSid)) continue;
        const auto denied = deniedTo.find(entry.sid);
        const uint32_t removed = deniedToAll | (denied == deniedTo.end() ? 0 : denied->second);
        const uint32_t held = rights & ~removed & judged;
        if (held != 0) return {entry.sid, held};
    }
    return {};
}

TrustVerdict JudgeFacts(const SecurityFacts& facts, bool judgeOwner, std::initializer_list<ScopeRights> scopes,
                        std::wstring_view serviceSid) {
    if (judgeOwner) {
        if (facts.owner.empty()) return {};
        if (!IsTrustedAccount(facts.owner, serviceSid)) return {TrustFinding::OwnerOutside, facts.owner, 0};
    }
    if (!facts.daclPresent) {
        uint32_t all = 0;
        for (const ScopeRights& s : scopes) all |= s.judged;
        return {TrustFinding::NoDacl, kSidEveryone, all};
    }
    for (const ScopeRights& s : scopes) {
        Outsider outsider = FindOutsider(facts, s.scope, s.judged, serviceSid);
        if (outsider.rights != 0) return {TrustFinding::WriteRight, std::move(outsider.sid), outsider.rights};
    }
    return {TrustFinding::Trusted, {}, 0};
}

}  // namespace trust
