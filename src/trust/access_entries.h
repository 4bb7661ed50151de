#pragma once
// A descriptor's owner and DACL as plain entries, and the one walk over them that every
// judgement of trust makes: which account outside the trusted ones holds which rights.
// Free of the Windows API: the platform side reads the entries from the binary descriptor.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace trust {

// Other: the object and callback kinds. They may grant under conditions this judgement
// does not weigh, so they count as allowing and never as denying.
enum class EntryKind { Allow, Deny, Other };

// The entry's inheritance flags, as the platform's entry header holds them.
inline constexpr uint32_t kObjectInherit = 0x1;
inline constexpr uint32_t kContainerInherit = 0x2;
inline constexpr uint32_t kInheritOnly = 0x8;

struct AccessEntry {
    EntryKind kind = EntryKind::Other;
    uint32_t flags = 0;
    uint32_t mask = 0;
    std::wstring sid;  // "S-1-..."; empty where the entry's account could not be read
};

struct SecurityFacts {
    std::wstring owner;        // empty: the descriptor names no owner
    bool daclPresent = false;  // false: no DACL or a null one, which lets everyone in
    std::vector<AccessEntry> dacl;
};

// File access rights that let an account change an object, what it holds or who may.
inline constexpr uint32_t kRightWriteData = 0x2;         // a folder's: add a file
inline constexpr uint32_t kRightAppendData = 0x4;        // a folder's: add a subfolder
inline constexpr uint32_t kRightDeleteChild = 0x40;      // a folder's only
inline constexpr uint32_t kRightWriteAttributes = 0x100;
inline constexpr uint32_t kRightDelete = 0x10000;
inline constexpr uint32_t kRightWriteDac = 0x40000;
inline constexpr uint32_t kRightWriteOwner = 0x80000;

inline constexpr wchar_t kSidEveryone[] = L"S-1-1-0";
inline constexpr wchar_t kSidSystem[] = L"S-1-5-18";

// GENERIC_ALL, _WRITE, _READ and _EXECUTE replaced by the file rights they stand for.
uint32_t MapGenericFileRights(uint32_t mask);

// SYSTEM, Administrators, TrustedInstaller and the service's own account (empty: none).
bool IsTrustedAccount(std::wstring_view sid, std::wstring_view serviceSid);

// Which entries are walked: those that apply to the object itself (not inherit-only), or
// those that a folder hands down to the files (object-inherit) or the folders
// (container-inherit) made in it, inherit-only ones included.
enum class EntryScope { Itself, HandedToFiles, HandedToFolders };

struct Outsider {
    std::wstring sid;
    uint32_t rights = 0;  // 0: no account outside the trusted ones holds any judged right
};

// The first account outside the trusted ones to which the entries of `scope` grant any of
// `judged`, and those of `judged` it holds. The platform's order: a deny takes rights away
// only from the allow entries after it, and only for its own account (Everyone's: for all).
// Creator Owner entries grant no one (they stand for whoever creates an object, and only
// trusted accounts create where this is asked); Owner Rights ones go to the owner, judged
// on its own.
Outsider FindOutsider(const SecurityFacts& facts, EntryScope scope, uint32_t judged,
                      std::wstring_view serviceSid);

enum class TrustFinding {
    Trusted,
    OwnerOutside,  // the owner can always rewrite the DACL
    WriteRight,    // an account outside the trusted ones holds a judged right
    NoDacl,        // no DACL or a null one: everyone may do everything
    Unreadable,    // the descriptor names no owner
};

struct TrustVerdict {
    TrustFinding finding = TrustFinding::Unreadable;
    // The owner (OwnerOutside), the first account found with a judged right (WriteRight),
    // Everyone (NoDacl); empty when Trusted or Unreadable.
    std::wstring sid;
    uint32_t rights = 0;  // the judged rights that account holds

    bool Trusted() const { return finding == TrustFinding::Trusted; }
};

struct ScopeRights {
    EntryScope scope;
    uint32_t judged;
};

// The owner (when `judgeOwner`) must be a trusted account, a DACL must be present, and no
// account outside the trusted ones may hold a judged right through the entries of any of
// `scopes`, looked at in their order.
TrustVerdict JudgeFacts(const SecurityFacts& facts, bool judgeOwner, std::initializer_list<ScopeRights> scopes,
                        std::wstring_view serviceSid);

}  // namespace trust
