#include "support/pass_lines.h"

#include "support/test_files.h"

namespace testing_support {

std::string Start(const std::wstring& path) { return Ansi(PassText(texts::kStartLabel, path)); }
std::string Deleted(const std::wstring& path) { return Ansi(PassText(texts::kDeletedLabel, path)); }
std::string Gone(const std::wstring& path) { return Ansi(PassText(texts::kGoneLabel, path)); }
std::string Scheduled(const std::wstring& path) { return Ansi(PassText(texts::kScheduledLabel, path)); }
std::string Refused(const std::wstring& path) { return Ansi(PassText(texts::kRefusedLabel, path)); }

std::string Titled(const std::wstring& text) { return Ansi(TitledText(text)); }

std::vector<std::string> DebugRun(const std::vector<std::string>& passLines,
                                  const std::vector<std::string>& loadFailure) {
    std::vector<std::string> lines = {Titled(texts::kStarted), Titled(texts::kLoadingList)};
    lines.insert(lines.end(), loadFailure.begin(), loadFailure.end());
    lines.push_back(Titled(texts::kPreparingList));
    lines.insert(lines.end(), passLines.begin(), passLines.end());
    lines.push_back(Titled(texts::kCleanupDone));
    lines.push_back(std::string(60, '-') + "\r\n");
    lines.push_back(Titled(texts::kStopped));
    return lines;
}

}  // namespace testing_support
