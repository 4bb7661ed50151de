#include "osversion/os_version.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

#include "osversion/version_judgement.h"
#include "platform/text.h"

namespace {

BOOL WINAPI QueryVersion(OSVERSIONINFOA* info) {
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // GetVersionExA is deprecated but is what is asked here
#endif
    return ::GetVersionExA(info);
}

}  // namespace

cVersion::cVersion() : cVersion(&QueryVersion) {}

cVersion::cVersion(VersionQuery query) { ExamineOS(query); }

void cVersion::ExamineOS(VersionQuery query) {
    static_assert(sizeof(record_) == 148, "the narrow version record");
    record_.dwOSVersionInfoSize = sizeof(record_);
    // A failed query goes unnoticed on purpose: the record stays zero and reads as Win32s 0.0.
    query(&record_);

    osversion::VersionRecord fields;
    fields.MajorVersion = record_.dwMajorVersion;
    fields.MinorVersion = record_.dwMinorVersion;
    fields.BuildNumber = record_.dwBuildNumber;
    fields.PlatformId = record_.dwPlatformId;
    static_assert(sizeof(record_.szCSDVersion) == osversion::kServicePackChars,
                  "the service-pack field");
    std::copy(std::begin(record_.szCSDVersion), std::end(record_.szCSDVersion),
              fields.CSDVersion.begin());

    osversion::VersionFindings findings = osversion::JudgeVersion(
        fields, [](std::string_view bytes) { return platform::FromAnsi(bytes); });
    versionText_ = std::move(findings.VersionText);
    typeError_ = std::move(findings.TypeError);
    typeValid_ = findings.TypeValid;
}
