#pragma once
#include "tools/tool_args.h"

namespace quorvane_tool {

// "restart-queue" lists what the platform is to delete or rename at the next restart, and
// which of it the service asked for; "--withdraw SOURCE" takes back one of the service's
// own requests, never another program's.
int RestartQueue(const ParsedArgs& args);

}  // namespace quorvane_tool
