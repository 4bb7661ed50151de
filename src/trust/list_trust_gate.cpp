#include "trust/list_trust_gate.h"

#include <cstdint>
#include <string>

#include "activitylog/activity_log.h"
#include "activitylog/app_texts.h"
#include "eventlog/format_msg.h"

namespace basQuorvaneService {
namespace {

trust::ListTrust& Verdict() {
    static trust::ListTrust verdict;
    return verdict;
}

}  // namespace

bool ListIsTrusted(const trust::ServicePlaces& places) {
    trust::ListTrust& verdict = Verdict();
    // A check cut short by an exception leaves no earlier finding behind.
    verdict = trust::ListTrust();
    verdict = trust::CheckListTrust(places);
    if (verdict.trusted) return true;

    const auto number = static_cast<int32_t>(verdict.error);
    RecordError(number, modFormatMsg::TrimmedErrorText(number));
    WriteLog(std::wstring(ApplicationTitle) + kTextUntrustedList + verdict.object, true);
    ClearError();
    return false;
}

const trust::ListTrust& LastTrustVerdict() { return Verdict(); }

}  // namespace basQuorvaneService
