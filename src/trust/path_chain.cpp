#include "trust/path_chain.h"

#include <vector>

#include "platform/win32.h"
#include "trust/chain_rule.h"
#include "trust/object_security.h"

namespace trust {
namespace {

ChainFinding Failed(std::wstring object, std::wstring sid = {}, uint32_t rights = 0, uint32_t error = 0) {
    ChainFinding finding;
    finding.object = std::move(object);
    finding.sid = std::move(sid);
    finding.rights = rights;
    finding.error = error;
    return finding;
}

ChainFinding Walk(const std::wstring& path, const std::wstring& serviceSid, bool judgeObject, HANDLE object) {
    const std::vector<std::wstring> components = ChainComponents(path);
    if (components.empty()) return Failed(path);
    const size_t walked = judgeObject ? components.size() : components.size() - 1;

    std::vector<ChainStep> steps;
    bool tailMissing = false;
    // A component that cannot be judged, found while reading; it stands after every step read.
    ChainFinding stopped;
    stopped.passes = true;
    for (size_t i = 0; i < walked; ++i) {
        const ObjectFacts facts = object && i + 1 == components.size() ? ReadObjectFactsThrough(object, components[i])
                                                                         : ReadObject(components[i]);
        if (i > 0 && facts.Missing()) {
            tailMissing = true;
            break;
        }
        if (!facts.read) {
            stopped = Failed(components[i], {}, 0, facts.error);
            break;
        }
        if ((facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT) || facts.redirected) {
            stopped = Failed(components[i]);
            break;
        }
        steps.push_back({facts.security, (facts.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    }

    const ChainVerdict verdict = JudgeChain(steps, components.size(), tailMissing, serviceSid);
    if (!verdict.Passes()) {
        return Failed(components[verdict.failedAt], verdict.verdict.sid, verdict.verdict.rights);
    }
    return stopped;
}

}  // namespace

ChainFinding CheckPathChain(const std::wstring& path, const std::wstring& serviceSid, void* object) {
    return Walk(path, serviceSid, true, object);
}

ChainFinding CheckFoldersAbove(const std::wstring& path, const std::wstring& serviceSid) {
    return Walk(path, serviceSid, false, nullptr);
}

}  // namespace trust
