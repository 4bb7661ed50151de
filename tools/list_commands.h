#pragma once
#include "tools/tool_args.h"

namespace quorvane_tool {

int ListCreate(const ParsedArgs& args);
int ListShow(const ParsedArgs& args);
int ListAdd(const ParsedArgs& args);
int ListRemove(const ParsedArgs& args);
int ListVerify(const ParsedArgs& args);

}  // namespace quorvane_tool
