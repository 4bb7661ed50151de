#pragma once
#include "tools/tool_args.h"

namespace quorvane_tool {

int LogShow(const ParsedArgs& args);

}  // namespace quorvane_tool
