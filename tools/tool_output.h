#pragma once
// Output of QuorvaneTool: UTF-8 on standard output and standard error, whether they are
// a console, a pipe or a file.
#include <string>

namespace quorvane_tool {

void Out(const std::wstring& text);
void Err(const std::wstring& text);

}  // namespace quorvane_tool
