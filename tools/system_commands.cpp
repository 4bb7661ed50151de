#include "tools/system_commands.h"

#include "eventlog/format_msg.h"
#include "eventlog/register_event_source.h"
#include "osversion/os_version.h"
#include "tools/tool_output.h"

namespace quorvane_tool {
namespace {

void NoPositional(const ParsedArgs& args, size_t expected) {
    if (args.positional.size() != expected) {
        throw UsageError{args.positional.size() < expected ? L"missing arguments" : L"too many arguments"};
    }
}

}  // namespace

int ErrorText(const ParsedArgs& args) {
    NoPositional(args, 1);
    const auto code = ParseInt32(args.positional[0]);
    if (!code) throw UsageError{L"CODE is a 32-bit decimal number or 0x and hex digits: " + args.positional[0]};
    Out(modFormatMsg::SystemErrorText(*code) + L"\r\n");
    return kExitOk;
}

int EventSourceRegister(const ParsedArgs& args) {
    NoPositional(args, 0);
    int32_t categories = 0;
    if (args.Has(L"--categories")) {
        const auto parsed = ParseInt32(args.Required(L"--categories"));
        if (!parsed) throw UsageError{L"--categories takes a 32-bit number: " + args.Required(L"--categories")};
        categories = *parsed;
    }
    cRegisterEventSource registration;
    registration.RegisterEventSource(args.Required(L"--message-file"), args.Optional(L"--category-file"),
                                     args.Required(L"--dir"), args.Required(L"--app"),
                                     args.Required(L"--log"), categories);
    Out(L"registered\t" + args.Required(L"--app") + L"\t" + args.Required(L"--log") + L"\r\n");
    return kExitOk;
}

int EventSourceUnregister(const ParsedArgs& args) {
    NoPositional(args, 0);
    cRegisterEventSource registration;
    registration.UnRegisterEventSource(args.Required(L"--app"), args.Required(L"--log"));
    Out(L"unregistered\t" + args.Required(L"--app") + L"\t" + args.Required(L"--log") + L"\r\n");
    return kExitOk;
}

int OsVersion(const ParsedArgs& args) {
    NoPositional(args, 0);
    const cVersion version;
    Out(version.OS_VersionText() + L"\r\n" + std::to_wstring(version.TypeValidOS()) + L"\r\n" +
        version.OS_TypeError() + L"\r\n");
    return kExitOk;
}

}  // namespace quorvane_tool
