#pragma once
// The service's log entries as the log holds them, in the process's ANSI code page (936
// under the test scripts), for comparing with what a run wrote.
#include <string>
#include <vector>

#include "support/log_texts.h"

namespace testing_support {

// A pass line for `path`, one per label.
std::string Start(const std::wstring& path);
std::string Deleted(const std::wstring& path);
std::string Gone(const std::wstring& path);
std::string Scheduled(const std::wstring& path);
std::string Refused(const std::wstring& path);
// The title and one of the run's texts (texts::kLoadingList ...).
std::string Titled(const std::wstring& text);

// The messages of a debug-mode run around the pass's own lines; `loadFailure` holds the
// list file's failure entries, written between loading and preparing.
std::vector<std::string> DebugRun(const std::vector<std::string>& passLines,
                                  const std::vector<std::string>& loadFailure = {});

}  // namespace testing_support
