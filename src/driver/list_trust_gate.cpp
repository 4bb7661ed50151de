#include "driver/list_trust_gate.h"

#include <cstdint>
#include <string>

#include "activitylog/activity_log.h"
#include "driver/app_texts.h"
#include "eventlog/format_msg.h"

namespace basQuorvaneService {
namespace {

basPendingRebootFiles::ListTrust& Verdict() {
    static basPendingRebootFiles::ListTrust verdict;
    return verdict;
}

}  // namespace

bool ListIsTrusted() {
    basPendingRebootFiles::ListTrust& verdict = Verdict();
    // A check cut short by an exception leaves no earlier finding behind.
    verdict = basPendingRebootFiles::ListTrust();
    verdict = basPendingRebootFiles::CheckListTrust();
    if (verdict.trusted) return true;

    const auto number = static_cast<int32_t>(verdict.error);
    RecordError(number, modFormatMsg::TrimmedErrorText(number));
    WriteLog(std::wstring(ApplicationTitle) + kTextUntrustedList + verdict.object, true);
    ClearError();
    return false;
}

const basPendingRebootFiles::ListTrust& LastTrustVerdict() { return Verdict(); }

}  // namespace basQuorvaneService
