#pragma once
#include "tools/tool_args.h"

namespace quorvane_tool {

int ErrorText(const ParsedArgs& args);
int EventSourceRegister(const ParsedArgs& args);
int EventSourceUnregister(const ParsedArgs& args);
int OsVersion(const ParsedArgs& args);

}  // namespace quorvane_tool
