#include "trust/object_security.h"

#include <cstring>
#include <vector>

#include "platform/final_path.h"
#include "platform/handles.h"
#include "platform/long_path.h"
#include "platform/open_without_following.h"
#include "platform/nt_file.h"
#include "platform/win32.h"

#include <aclapi.h>
#include <sddl.h>

namespace trust {
namespace {

std::wstring SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!sid || !::ConvertSidToStringSidW(sid, &text)) return {};
    const platform::UniqueLocal release(text);
    return text;
}

// "C:\dir\" is "C:\dir"; a drive's root keeps its backslash.
std::wstring WithoutTrailingBackslash(const std::wstring& path) {
    std::wstring form = path;
    if (form.size() > 3 && form.back() == L'\\') form.pop_back();
    return form;
}

// Every entry kind starts with its header and mask; the plain and callback kinds put the
// SID right after them, the object kinds after a flags word and the GUIDs it announces.
AccessEntry EntryOf(const ACE_HEADER* header) {
    const auto* bytes = reinterpret_cast<const BYTE*>(header);
    AccessEntry entry;
    entry.flags = header->AceFlags;
    size_t sidAt = sizeof(ACE_HEADER) + sizeof(DWORD);
    // Too short for a mask: an Other that grants nothing.
    if (header->AceSize < sidAt) return entry;
    std::memcpy(&entry.mask, bytes + sizeof(ACE_HEADER), sizeof(entry.mask));
    switch (header->AceType) {
        case ACCESS_ALLOWED_ACE_TYPE: entry.kind = EntryKind::Allow; break;
        case ACCESS_DENIED_ACE_TYPE: entry.kind = EntryKind::Deny; break;
        case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
        case ACCESS_DENIED_OBJECT_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
        case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE: {
            DWORD objectFlags = 0;
            if (header->AceSize >= sidAt + sizeof(objectFlags)) {
                std::memcpy(&objectFlags, bytes + sidAt, sizeof(objectFlags));
            }
            sidAt += sizeof(DWORD);
            if (objectFlags & ACE_OBJECT_TYPE_PRESENT) sidAt += sizeof(GUID);
            if (objectFlags & ACE_INHERITED_OBJECT_TYPE_PRESENT) sidAt += sizeof(GUID);
            break;
        }
        default: break;
    }
    // A SID is 8 bytes of header, whose second byte counts the 4-byte parts after it; one
    // that does not fit in the entry is left unnamed.
    const size_t room = header->AceSize > sidAt ? header->AceSize - sidAt : 0;
    if (room >= 8 && 8u + 4u * bytes[sidAt + 1] <= room) {
        const PSID sid = const_cast<BYTE*>(bytes + sidAt);
        if (::IsValidSid(sid)) entry.sid = SidText(sid);
    }
    return entry;
}

}  // namespace

ObjectFacts (*ReadObject)(const std::wstring& path) = &ReadObjectFacts;

uint32_t FactsOf(const void* owner, const void* dacl, SecurityFacts& facts) {
    const auto* acl = static_cast<const ACL*>(dacl);
    facts.owner = SidText(const_cast<void*>(owner));
    facts.daclPresent = acl != nullptr;
    facts.dacl.clear();
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(const_cast<ACL*>(acl), i, &ace)) return ::GetLastError();
        facts.dacl.push_back(EntryOf(static_cast<const ACE_HEADER*>(ace)));
    }
    return 0;
}

ObjectFacts ReadObjectFacts(const std::wstring& path) {
    // A link in the object's place is judged as itself, never as what it points to.
    const platform::OpenedObject object = platform::OpenWithoutFollowing(
        platform::LiteralForm(WithoutTrailingBackslash(path)), READ_CONTROL, platform::kShareAll);
    if (!object.handle) {
        ObjectFacts result;
        result.error = object.error;
        return result;
    }
    return ReadObjectFactsThrough(object.handle.get(), path);
}

ObjectFacts ReadObjectFactsThrough(void* object, const std::wstring& path) {
    ObjectFacts result;
    const std::wstring full = WithoutTrailingBackslash(path);
    DWORD attributes = 0;
    if (const DWORD error = platform::QueryAttributes(object, attributes)) {
        result.error = error;
        return result;
    }
    std::wstring final;
    result.redirected = platform::FinalPathOf(object, final) != ERROR_SUCCESS ||
                        !platform::SamePathText(final, full);
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD status = ::GetSecurityInfo(object, SE_FILE_OBJECT,
                                           OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                           &owner, nullptr, &dacl, nullptr, &descriptor);
    if (status != ERROR_SUCCESS) {
        result.error = status;
        return result;
    }
    const platform::UniqueLocal release(descriptor);
    if (const uint32_t error = FactsOf(owner, dacl, result.security)) {
        result.error = error;
        return result;
    }
    result.attributes = attributes;
    result.read = true;
    return result;
}

std::wstring ProcessAccountSid() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
    const platform::UniqueHandle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    // Pointer-sized elements: the record begins with a pointer to the SID.
    std::vector<void*> buffer(size / sizeof(void*) + 1);
    if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    return SidText(static_cast<const TOKEN_USER*>(static_cast<void*>(buffer.data()))->User.Sid);
}

std::wstring AccountName(const std::wstring& sid) {
    PSID binary = nullptr;
    if (!::ConvertStringSidToSidW(sid.c_str(), &binary)) return sid;
    const platform::UniqueLocal release(binary);
    DWORD nameSize = 0;
    DWORD domainSize = 0;
    SID_NAME_USE use = SidTypeUnknown;
    ::LookupAccountSidW(nullptr, binary, nullptr, &nameSize, nullptr, &domainSize, &use);
    if (nameSize == 0) return sid;
    std::wstring name(nameSize, L'\0');
    std::wstring domain(domainSize + 1, L'\0');
    if (!::LookupAccountSidW(nullptr, binary, name.data(), &nameSize, domain.data(), &domainSize,
                             &use)) {
        return sid;
    }
    name.resize(nameSize);
    domain.resize(domainSize);
    return domain.empty() ? name : domain + L"\\" + name;
}

}  // namespace trust
