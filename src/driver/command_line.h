#pragma once
#include <string_view>

namespace basQuorvaneService {

// The command line without the program's path (quoted or not) and the blanks after it.
std::wstring_view ArgumentsAfterProgram(std::wstring_view commandLine);

// True when the arguments hold "/debugmode" anywhere, in any letter case.
bool HasDebugSwitch(std::wstring_view commandLine);

}  // namespace basQuorvaneService
