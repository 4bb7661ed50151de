#pragma once
#include "tools/tool_args.h"

namespace quorvane_tool {

// The service's folder, with its backslash: --dir, or the tool's own (the package installs
// both together).
std::wstring ServiceFolder(const ParsedArgs& args);

// "staged" lists the files the service staged for deletion at the next restart;
// "staged restore NAME" puts one back where it was listed.
int Staged(const ParsedArgs& args);

}  // namespace quorvane_tool
