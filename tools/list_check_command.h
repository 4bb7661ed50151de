#pragma once
#include "tools/tool_args.h"

namespace quorvane_tool {

// "list check FILE": what a run of the service started now would do with each entry of
// the list, decided by the pass's own code over a route that changes nothing.
int ListCheck(const ParsedArgs& args);

}  // namespace quorvane_tool
