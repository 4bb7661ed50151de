// The DACL walk: each entry kind's SID found where that kind keeps it. Wine's own files
// carry plain allow entries only, so the other kinds are built in memory.
#include "trust/object_security.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/win32.h"

#include <sddl.h>

namespace trust {
namespace {

struct Sid {
    explicit Sid(const wchar_t* text) { ::ConvertStringSidToSidW(text, &sid); }
    ~Sid() { ::LocalFree(sid); }
    PSID sid = nullptr;
};

// An entry of `type` as the platform lays it out: header, mask, then for the object kinds a
// flags word and the GUIDs it announces, then the SID, then (callback kinds) their data.
std::vector<BYTE> RawEntry(BYTE type, DWORD mask, bool objectKind, DWORD objectFlags, PSID sid) {
    std::vector<BYTE> entry(sizeof(ACE_HEADER) + sizeof(DWORD));
    std::memcpy(entry.data() + sizeof(ACE_HEADER), &mask, sizeof(mask));
    const auto append = [&entry](const void* data, size_t size) {
        const auto* bytes = static_cast<const BYTE*>(data);
        entry.insert(entry.end(), bytes, bytes + size);
    };
    if (objectKind) {
        append(&objectFlags, sizeof(objectFlags));
        const GUID guid = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
        if (objectFlags & ACE_OBJECT_TYPE_PRESENT) append(&guid, sizeof(guid));
        if (objectFlags & ACE_INHERITED_OBJECT_TYPE_PRESENT) append(&guid, sizeof(guid));
    }
    append(sid, ::GetLengthSid(sid));
    append("cond", 4);
    ACE_HEADER header = {type, 0, static_cast<WORD>(entry.size())};
    std::memcpy(entry.data(), &header, sizeof(header));
    return entry;
}

TEST(ObjectSecurity, EveryEntryKindGivesItsFlagsMaskAndAccount) {
    const Sid owner(L"S-1-5-32-544"), users(L"S-1-5-32-545"), everyone(L"S-1-1-0"), authenticated(L"S-1-5-11"),
        interactive(L"S-1-5-4");
    std::vector<DWORD> buffer(256);
    auto* acl = reinterpret_cast<ACL*>(buffer.data());
    ASSERT_TRUE(::InitializeAcl(acl, static_cast<DWORD>(buffer.size() * sizeof(DWORD)), ACL_REVISION_DS));
    ASSERT_TRUE(::AddAccessDeniedAceEx(acl, ACL_REVISION_DS, 0, DELETE, everyone.sid));
    ASSERT_TRUE(::AddAccessAllowedAceEx(acl, ACL_REVISION_DS, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE,
                                        GENERIC_ALL, users.sid));
    for (std::vector<BYTE> raw : {
             RawEntry(ACCESS_ALLOWED_OBJECT_ACE_TYPE, 0x2, true,
                      ACE_OBJECT_TYPE_PRESENT | ACE_INHERITED_OBJECT_TYPE_PRESENT, authenticated.sid),
             RawEntry(ACCESS_DENIED_OBJECT_ACE_TYPE, 0x4, true, ACE_INHERITED_OBJECT_TYPE_PRESENT, interactive.sid),
             RawEntry(ACCESS_ALLOWED_CALLBACK_ACE_TYPE, 0x40, false, 0, users.sid),
         }) {
        ASSERT_TRUE(::AddAce(acl, ACL_REVISION_DS, MAXDWORD, raw.data(), static_cast<DWORD>(raw.size())));
    }

    SecurityFacts facts;
    ASSERT_EQ(FactsOf(owner.sid, acl, facts), 0u);
    EXPECT_EQ(facts.owner, L"S-1-5-32-544");
    EXPECT_TRUE(facts.daclPresent);
    const struct {
        EntryKind kind;
        uint32_t flags, mask;
        const wchar_t* sid;
    } expected[] = {
        {EntryKind::Deny, 0, 0x10000, L"S-1-1-0"},
        {EntryKind::Allow, 0xB, 0x10000000, L"S-1-5-32-545"},
        {EntryKind::Other, 0, 0x2, L"S-1-5-11"},
        {EntryKind::Other, 0, 0x4, L"S-1-5-4"},
        {EntryKind::Other, 0, 0x40, L"S-1-5-32-545"},
    };
    ASSERT_EQ(facts.dacl.size(), std::size(expected));
    for (size_t i = 0; i < facts.dacl.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(facts.dacl[i].kind, expected[i].kind);
        EXPECT_EQ(facts.dacl[i].flags, expected[i].flags);
        EXPECT_EQ(facts.dacl[i].mask, expected[i].mask);
        EXPECT_EQ(facts.dacl[i].sid, expected[i].sid);
    }

    // A null DACL lets everyone in.
    ASSERT_EQ(FactsOf(owner.sid, nullptr, facts), 0u);
    EXPECT_FALSE(facts.daclPresent);
    EXPECT_TRUE(facts.dacl.empty());
}

}  // namespace
}  // namespace trust
