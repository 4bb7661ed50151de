#include "tools/system_commands.h"

#include "eventlog/format_msg.h"
#include "eventlog/register_event_source.h"
#include "osversion/os_version.h"
#include "tools/json_writer.h"
#include "tools/list_update.h"
#include "tools/tool_output.h"
#include "tools/tool_rules.h"

namespace quorvane_tool {
namespace {

void NoPositional(const ParsedArgs& args, size_t expected) {
    if (args.positional.size() != expected) {
        throw UsageError{args.positional.size() < expected ? L"missing arguments" : L"too many arguments"};
    }
}

// An empty --app makes the source's key the log's own key, and an empty --log or a
// backslash reaches another key of the event log service; unregistering would delete it.
const std::wstring& KeyName(const ParsedArgs& args, const std::wstring& option) {
    const std::wstring& name = args.Required(option);
    if (!IsSingleKeyName(name)) {
        throw UsageError{option + L" must name one registry key (not empty or blank, no backslash): \"" +
                         name + L"\""};
    }
    return name;
}

}  // namespace

int ErrorText(const ParsedArgs& args) {
    NoPositional(args, 1);
    const auto code = ParseInt32(args.positional[0]);
    if (!code) throw UsageError{L"CODE is a 32-bit decimal number or 0x and hex digits: " + args.positional[0]};
    const std::wstring text = modFormatMsg::SystemErrorText(*code);
    if (text.empty()) throw ToolFailure{L"the system has no message for the code " + args.positional[0]};
    if (args.switches.count(L"--json")) {
        JsonWriter json;
        json.BeginObject().Key("code").Number(*code);
        json.Key("hex").String(HexCode(static_cast<uint32_t>(*code))).Key("text").String(text).EndObject();
        OutJson(json);
        return kExitOk;
    }
    Out(text + L"\r\n");
    return kExitOk;
}

int EventSourceRegister(const ParsedArgs& args) {
    NoPositional(args, 0);
    const std::wstring& app = KeyName(args, L"--app");
    const std::wstring& log = KeyName(args, L"--log");
    int32_t categories = 0;
    if (args.Has(L"--categories")) {
        const auto parsed = ParseInt32(args.Required(L"--categories"));
        if (!parsed) throw UsageError{L"--categories takes a 32-bit number: " + args.Required(L"--categories")};
        categories = *parsed;
    }
    cRegisterEventSource registration;
    registration.RegisterEventSource(args.Required(L"--message-file"), args.Optional(L"--category-file"),
                                     args.Required(L"--dir"), app, log, categories);
    Out(L"registered\t" + app + L"\t" + log + L"\r\n");
    return kExitOk;
}

int EventSourceUnregister(const ParsedArgs& args) {
    NoPositional(args, 0);
    const std::wstring& app = KeyName(args, L"--app");
    const std::wstring& log = KeyName(args, L"--log");
    cRegisterEventSource registration;
    registration.UnRegisterEventSource(app, log);
    Out(L"unregistered\t" + app + L"\t" + log + L"\r\n");
    return kExitOk;
}

int OsVersion(const ParsedArgs& args) {
    NoPositional(args, 0);
    const cVersion version;
    if (args.switches.count(L"--json")) {
        JsonWriter json;
        json.BeginObject().Key("versionText").String(version.OS_VersionText());
        json.Key("verdict").Number(version.TypeValidOS()).Key("message").String(version.OS_TypeError());
        OutJson(json.EndObject());
        return kExitOk;
    }
    Out(version.OS_VersionText() + L"\r\n" + std::to_wstring(version.TypeValidOS()) + L"\r\n" +
        version.OS_TypeError() + L"\r\n");
    return kExitOk;
}

}  // namespace quorvane_tool
