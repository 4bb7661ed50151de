#pragma once
// Shared by the fault tests: the lines a run logs, and the checks every fault ends with.
#include <string>
#include <vector>

#include "support/service_sandbox.h"

namespace fault_support {

// A pass line as the log holds it: signature, label and path in the ANSI code page.
std::string Start(const std::wstring& path);
std::string Deleted(const std::wstring& path);
std::string Gone(const std::wstring& path);
std::string Scheduled(const std::wstring& path);
std::string Refused(const std::wstring& path);
// The title and one of the run's texts.
std::string Titled(const wchar_t* text);

// The messages of a debug-mode run around the pass's own lines; `loadFailure` holds the
// list file's failure entries, written between loading and preparing.
std::vector<std::string> DebugRun(const std::vector<std::string>& passLines,
                                  const std::vector<std::string>& loadFailure = {});

// The service reported stopped and its process has ended.
void ExpectEndedStopped(const testing_support::ServiceSandbox& sandbox);

}  // namespace fault_support
