#include "trust/trust_judgement.h"

namespace trust {

uint32_t WriteRightsOf(uint32_t rights, bool isFolder) {
    constexpr uint32_t kAlways = kRightWriteData | kRightAppendData | kRightDelete | kRightWriteDac | kRightWriteOwner;
    return MapGenericFileRights(rights) & (isFolder ? kAlways | kRightDeleteChild : kAlways);
}

TrustVerdict JudgeDescriptor(const SecurityFacts& facts, bool isFolder, std::wstring_view serviceSid) {
    const uint32_t fileWrites = WriteRightsOf(0xFFFFFFFFu, false);
    if (!isFolder) return JudgeFacts(facts, true, {{EntryScope::Itself, fileWrites}}, serviceSid);
    const uint32_t folderWrites = WriteRightsOf(0xFFFFFFFFu, true);
    return JudgeFacts(facts, true,
                      {{EntryScope::Itself, folderWrites},
                       {EntryScope::HandedToFolders, folderWrites},
                       {EntryScope::HandedToFiles, fileWrites}},
                      serviceSid);
}

}  // namespace trust
