#pragma once
// Whether the service may act on what its folder and its list hold. The service deletes,
// as LocalSystem, whatever the list names, so whoever can write the folder or the list
// chooses what goes. Trusted: owned by, and writable by no one but, SYSTEM,
// Administrators, TrustedInstaller or the service's own account.
// Free of the Windows API: the descriptor comes in the platform's SDDL text.
#include <cstdint>
#include <string>
#include <string_view>

namespace basPendingRebootFiles {

// Access mask bits that let an account change what an object holds or who may.
inline constexpr uint32_t kRightWriteData = 0x2;       // also: add a file to a folder
inline constexpr uint32_t kRightAppendData = 0x4;      // also: add a subfolder
inline constexpr uint32_t kRightDeleteChild = 0x40;    // a folder's only
inline constexpr uint32_t kRightDelete = 0x10000;
inline constexpr uint32_t kRightWriteDac = 0x40000;
inline constexpr uint32_t kRightWriteOwner = 0x80000;
inline constexpr uint32_t kRightGenericAll = 0x10000000;
inline constexpr uint32_t kRightGenericWrite = 0x40000000;

inline constexpr wchar_t kSidEveryone[] = L"S-1-1-0";

enum class TrustFinding {
    Trusted,
    OwnerOutside,  // the owner can always rewrite the DACL
    WriteRight,    // an account outside the trusted ones holds a write right
    NoDacl,        // no DACL or a null one: everyone may do everything
    Unreadable,    // the text is no descriptor this judgement can read
};

struct TrustVerdict {
    TrustFinding finding = TrustFinding::Unreadable;
    // The owner (OwnerOutside), the first account found with a write right (WriteRight),
    // Everyone (NoDacl); empty when Trusted or Unreadable.
    std::wstring sid;
    uint32_t rights = 0;  // the write rights that account holds

    bool Trusted() const { return finding == TrustFinding::Trusted; }
};

// `sddl` holds at least the owner and the DACL, as the platform writes a descriptor out;
// `serviceSid` is the SID string of the account the service runs as (empty: none).
// Deny entries count in the platform's order: only against the allow entries after them.
TrustVerdict JudgeDescriptor(std::wstring_view sddl, bool isFolder, std::wstring_view serviceSid);

// An SDDL account as a SID string: "SY" gives "S-1-5-18", a SID string comes back in
// upper case. A domain-relative alias ("DA", "LA"...) stays as written, since its SID
// depends on the domain; empty for text that names no account.
std::wstring SidOfSddlAccount(std::wstring_view account);

// The write rights within `rights`; delete child counts for a folder only.
uint32_t WriteRightsOf(uint32_t rights, bool isFolder);

}  // namespace basPendingRebootFiles
