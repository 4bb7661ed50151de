#include "fault_support.h"

#include <gtest/gtest.h>

#include "activitylog/app_texts.h"
#include "platform/win32.h"

namespace fault_support {
namespace {

const std::wstring kSignature = L"Varnholt－Zintra(Quorvane)";

std::string Line(const wchar_t* label, const std::wstring& path) {
    return testing_support::Ansi(kSignature + label + path);
}

}  // namespace

std::string Start(const std::wstring& path) { return Line(L"清除文件：", path); }
std::string Deleted(const std::wstring& path) { return Line(L"完成清除文件：", path); }
std::string Gone(const std::wstring& path) { return Line(L"文件已经不存在：", path); }
std::string Scheduled(const std::wstring& path) { return Line(L"重新启动后清除文件：", path); }
std::string Refused(const std::wstring& path) { return Line(L"拒绝清除文件：", path); }

std::string Titled(const wchar_t* text) {
    return testing_support::Ansi(std::wstring(basQuorvaneService::ApplicationTitle) + text);
}

std::vector<std::string> DebugRun(const std::vector<std::string>& passLines,
                                  const std::vector<std::string>& loadFailure) {
    using namespace basQuorvaneService;
    std::vector<std::string> lines = {Titled(kTextStarted), Titled(kTextLoadingList)};
    lines.insert(lines.end(), loadFailure.begin(), loadFailure.end());
    lines.push_back(Titled(kTextPreparingList));
    lines.insert(lines.end(), passLines.begin(), passLines.end());
    lines.push_back(Titled(kTextCleanupDone));
    lines.push_back(std::string(60, '-') + "\r\n");
    lines.push_back(Titled(kTextStopped));
    return lines;
}

void ExpectEndedStopped(const testing_support::ServiceSandbox& sandbox) {
    EXPECT_EQ(sandbox.QueryState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_FALSE(testing_support::IsInstanceRunning(sandbox.Dir())) << "the process is still running";
}

}  // namespace fault_support
