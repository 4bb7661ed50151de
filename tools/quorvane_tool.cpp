// QuorvaneTool: the pending reboot list, the activity log, error texts, event sources and
// the OS verdict from a script or a console. Exit status 0 on success, 1 when the operation
// failed, 2 for a usage error.
#include <functional>
#include <string>
#include <vector>

#include "platform/raised_error.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "tools/list_check_command.h"
#include "tools/list_commands.h"
#include "tools/list_update.h"
#include "tools/log_commands.h"
#include "tools/restart_queue_command.h"
#include "tools/staged_commands.h"
#include "tools/system_commands.h"
#include "tools/tool_args.h"
#include "tools/tool_output.h"
#include "tools/tool_rules.h"

#include <shellapi.h>

namespace quorvane_tool {
namespace {

struct Command {
    const wchar_t* group;  // "list", "log", "eventsource", or null for a single word
    const wchar_t* name;
    const wchar_t* usage;
    std::set<std::wstring> valueOptions;
    std::set<std::wstring> flagOptions;
    std::function<int(const ParsedArgs&)> run;
};

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {L"list", L"create", L"list create FILE [--force]\r\n"
                             L"    Writes the empty list (46 bytes). An existing file is replaced only with --force.",
         {}, {L"--force"}, ListCreate},
        {L"list", L"show", L"list show FILE [--json]\r\n"
                           L"    Prints Header, Version, Extra and Count, then one line per entry:\r\n"
                           L"    index<TAB>flag<TAB>path<TAB>extra (a control character shows as ?).",
         {}, {L"--json"}, ListShow},
        {L"list", L"add", L"list add FILE PATH [--flag N] [--extra TEXT]\r\n"
                          L"    Appends an entry, creating the list when it is missing. PATH must be fully\r\n"
                          L"    qualified (C:\\... or \\\\?\\C:\\...), name a file the service may clear and hold only\r\n"
                          L"    characters of the ANSI code page; PATH and TEXT hold no control character.",
         {L"--flag", L"--extra"}, {}, ListAdd},
        {L"list", L"remove", L"list remove FILE PATH\r\n"
                             L"    Removes the first entry whose path matches without regard to case.",
         {}, {}, ListRemove},
        {L"list", L"verify", L"list verify FILE [--json]\r\n"
                             L"    Prints ok<TAB>N entries, or unreadable<TAB>reason<TAB>offset (exit status 1).",
         {}, {L"--json"}, ListVerify},
        {L"list", L"check", L"list check FILE [--json]\r\n"
                            L"    What a run of the service started now would do with each entry, changing nothing:\r\n"
                            L"    index<TAB>flag<TAB>outcome<TAB>detail<TAB>path, the outcome one of delete, stage, boot,\r\n"
                            L"    restart-by-path, refuse, gone, left-alone, not-acted; the detail the error that\r\n"
                            L"    decides it (\"may change\" where it could change before a run), or -. Lines starting\r\n"
                            L"    with # say why nothing would be acted on. Run it as an administrator.",
         {}, {L"--json"}, ListCheck},
        {L"log", L"show", L"log show LOGFILE [--runs N] [--json]\r\n"
                          L"    Prints the last N runs of the activity log (default 1), oldest first: each run's\r\n"
                          L"    time span, whether it finished, its counts (entries left alone by their flag are\r\n"
                          L"    not logged) and its entries, time<TAB>line:number:description<TAB>message; a line\r\n"
                          L"    that is no entry shows as (unparsed). The service may go on writing meanwhile.",
         {L"--runs"}, {L"--json"}, LogShow},
        {nullptr, L"errortext", L"errortext CODE [--json]\r\n"
                                L"    Prints the system's message for an error code (decimal, or 0x and hex digits).",
         {}, {L"--json"}, ErrorText},
        {L"eventsource", L"register",
         L"eventsource register --app NAME --log NAME --dir PATH --message-file NAME\r\n"
         L"                     [--category-file NAME] [--categories N]\r\n"
         L"    Registers NAME as an event source of the event log. Each NAME is one key name:\r\n"
         L"    not empty or blank, no backslash.",
         {L"--app", L"--log", L"--dir", L"--message-file", L"--category-file", L"--categories"}, {},
         EventSourceRegister},
        {L"eventsource", L"unregister", L"eventsource unregister --app NAME --log NAME\r\n"
                                        L"    Removes the event source's registration.",
         {L"--app", L"--log"}, {}, EventSourceUnregister},
        {nullptr, L"staged", L"staged [restore NAME] [--dir SERVICEDIR] [--json]\r\n"
                             L"    Lists the files the service staged for deletion at the next restart, with the\r\n"
                             L"    paths they were listed under (NAME<TAB>staged|gone<TAB>path); restore NAME puts one\r\n"
                             L"    back there and withdraws its restart request. SERVICEDIR: the service's folder\r\n"
                             L"    (default: the tool's own).",
         {L"--dir"}, {L"--json"}, Staged},
        {nullptr, L"restart-queue", L"restart-queue [--json] [--dir SERVICEDIR] [--withdraw SOURCE]\r\n"
                                    L"    Lists what the system deletes or renames at the next restart, one line each:\r\n"
                                    L"    delete|rename<TAB>exists|missing<TAB>own|other<TAB>source<TAB>destination (- for a\r\n"
                                    L"    delete); own: the service's request by its records in SERVICEDIR\\QuorvaneStaging.\r\n"
                                    L"    --withdraw SOURCE takes back one of the service's own requests (any letter case,\r\n"
                                    L"    with or without \\??\\), never another program's. Run it as an administrator.",
         {L"--dir", L"--withdraw"}, {L"--json"}, RestartQueue},
        {nullptr, L"osversion", L"osversion [--json]\r\n"
                                L"    Prints the version text, the verdict (0-3) and the refusal message.",
         {}, {L"--json"}, OsVersion},
    };
    return commands;
}

std::wstring Usage(const wchar_t* group = nullptr) {
    std::wstring text = L"Usage:\r\n";
    for (const Command& command : Commands()) {
        if (group && (!command.group || std::wstring(command.group) != group)) continue;
        text += L"  QuorvaneTool " + std::wstring(command.usage) + L"\r\n";
    }
    if (!group) {
        text += L"  Words of a command in any letter case; --name=value or --name value. --utf8\r\n"
                L"  anywhere writes UTF-8 to a file or pipe instead of the console's code page.\r\n";
    }
    if (!group) text += L"  QuorvaneTool --help | COMMAND --help\r\n";
    if (!group) text += L"  QuorvaneTool --version\r\n";
    return text;
}

bool IsHelp(const std::wstring& word) { return word == L"--help" || word == L"-h" || word == L"/?"; }

std::wstring CommandUsage(const Command& command) {
    return L"Usage:\r\n  QuorvaneTool " + std::wstring(command.usage) + L"\r\n";
}

// The group that the word names, in any letter case; null for none.
const wchar_t* GroupOf(const std::wstring& word) {
    for (const Command& command : Commands()) {
        if (command.group && SameWord(word, command.group)) return command.group;
    }
    return nullptr;
}

int RunCommand(const Command& command, const std::vector<std::wstring>& rest) {
    ParsedArgs args;
    try {
        args = ParseArgs(rest, command.valueOptions, command.flagOptions);
    } catch (const UsageError& error) {
        throw UsageError{error.message, CommandUsage(command)};
    }
    if (args.help) {
        Out(CommandUsage(command));
        return kExitOk;
    }
    try {
        return command.run(args);
    } catch (const UsageError& error) {
        throw UsageError{error.message, CommandUsage(command)};
    }
}

int Run(const std::vector<std::wstring>& words) {
    if (words.empty()) throw UsageError{L"no command"};
    if (words[0] == L"--help" || words[0] == L"-h" || words[0] == L"/?") {
        Out(Usage());
        return kExitOk;
    }
    if (words[0] == L"--version" && words.size() == 1) {
        Out(L"QuorvaneTool " QUORVANE_VERSION L"\r\n");
        return kExitOk;
    }
    const wchar_t* group = GroupOf(words[0]);
    if (group && words.size() < 2) {
        throw UsageError{std::wstring(L"missing ") + group + L" command", Usage(group)};
    }
    if (group && IsHelp(words[1])) {
        Out(Usage(group));
        return kExitOk;
    }
    const auto rest = words.begin() + (group ? 2 : 1);
    for (const Command& command : Commands()) {
        const bool named = group ? command.group == group && SameWord(words[1], command.name)
                                 : !command.group && SameWord(words[0], command.name);
        if (named) return RunCommand(command, std::vector<std::wstring>(rest, words.end()));
    }
    if (group) throw UsageError{std::wstring(L"unknown ") + group + L" command: " + words[1], Usage(group)};
    throw UsageError{L"unknown command: " + words[0]};
}

}  // namespace
}  // namespace quorvane_tool

int main() {
    using namespace quorvane_tool;
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::wstring> words;
    // --utf8 holds anywhere on the command line and is never an option's value, so that
    // even a usage error is written as asked.
    for (int i = 1; argv && i < argc; ++i) {
        if (std::wstring(argv[i]) == L"--utf8") {
            UseUtf8();
        } else {
            words.emplace_back(argv[i]);
        }
    }
    if (argv) ::LocalFree(argv);

    try {
        return Run(words);
    } catch (const UsageError& error) {
        Err(L"QuorvaneTool: " + error.message + L"\r\n\r\n" + (error.usage.empty() ? Usage() : error.usage));
        return kExitUsage;
    } catch (const ToolFailure& failure) {
        Err(L"QuorvaneTool: " + failure.message + L"\r\n");
        return kExitFailed;
    } catch (const platform::RaisedError& raised) {
        Err(HexCode(static_cast<uint32_t>(raised.Number())) + L"\t" + raised.Source() + L"\t" +
            raised.Description() + L"\r\n");
        return kExitFailed;
    } catch (const std::exception& error) {
        Err(L"QuorvaneTool: " + platform::FromUtf8(error.what()) + L"\r\n");
        return kExitFailed;
    }
}
