#pragma once
#include "tools/tool_args.h"

namespace quorvane_tool {

// "staged" lists the files the service staged for deletion at the next restart;
// "staged restore NAME" puts one back where it was listed.
int Staged(const ParsedArgs& args);

}  // namespace quorvane_tool
