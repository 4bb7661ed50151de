#include "tools/staged_commands.h"

#include "activitylog/activity_log.h"
#include "fileops/listed_path.h"
#include "fileops/staging.h"
#include "platform/win32.h"
#include "tools/json_writer.h"
#include "tools/list_update.h"
#include "tools/tool_output.h"
#include "tools/tool_rules.h"

namespace quorvane_tool {

std::wstring ServiceFolder(const ParsedArgs& args) {
    std::wstring folder = args.Has(L"--dir") ? FullPath(args.Required(L"--dir")) : basQuorvaneService::AppDir();
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return folder;
}

namespace {

const wchar_t* StateWord(const fileops::StagedFile& file) {
    // "gone": deleted at a restart or by a later run; only its record was left.
    if (!file.present) return L"gone";
    // "foreign": not the file the service checked, but one a rename by path brought in its
    // place; the service never deletes it.
    return file.record.foreign ? L"foreign" : L"staged";
}

int List(fileops::StagingFolder& staging, bool json) {
    const std::vector<fileops::StagedFile> files = staging.List();
    const std::vector<fileops::CarriedEntry> carried = staging.Carried();
    const std::vector<fileops::PathRequest> requests = staging.PathRequests();
    if (json) {
        JsonWriter writer;
        writer.BeginObject().Key("folder").String(staging.Path()).Key("staged").BeginArray();
        for (const fileops::StagedFile& file : files) {
            writer.BeginObject().Key("name").String(file.name).Key("path").String(file.record.listedPath);
            writer.Key("attributes").String(HexCode(file.record.attributes)).Key("present").Bool(file.present);
            writer.Key("foreign").Bool(file.record.foreign).EndObject();
        }
        writer.EndArray().Key("carried").BeginArray();
        for (const fileops::CarriedEntry& entry : carried) {
            writer.BeginObject().Key("name").String(entry.name).Key("path").String(entry.record.listedPath);
            writer.Key("reason").Number(entry.record.reason).Key("reasonText").String(SystemText(entry.record.reason));
            writer.EndObject();
        }
        writer.EndArray().Key("requestedByPath").BeginArray();
        for (const fileops::PathRequest& request : requests) {
            writer.BeginObject().Key("name").String(request.name).Key("path").String(request.listedPath).EndObject();
        }
        OutJson(writer.EndArray().EndObject());
        return kExitOk;
    }
    std::wstring text;
    for (const fileops::StagedFile& file : files) {
        text += file.name + L"\t" + StateWord(file) + L"\t" + ShownText(file.record.listedPath) + L"\r\n";
    }
    // Carried to the service's next start, with the error that kept the file from going now.
    for (const fileops::CarriedEntry& entry : carried) {
        text += entry.name + L"\tcarried\t" + ShownText(entry.record.listedPath) + L"\t" +
                std::to_wstring(entry.record.reason) + L" " + ShownText(SystemText(entry.record.reason)) + L"\r\n";
    }
    for (const fileops::PathRequest& request : requests) {
        text += request.name + L"\trequested\t" + ShownText(request.listedPath) + L"\r\n";
    }
    Out(text);
    return kExitOk;
}

int Restore(fileops::StagingFolder& staging, const std::wstring& name) {
    fileops::StagedFile staged;
    if (!staging.Read(name, staged) || !staged.present) {
        throw ToolFailure{L"no staged file " + name + L" in " + staging.Path()};
    }
    const std::wstring& path = staged.record.listedPath;
    const fileops::RestoreResult result = staging.Restore(staged);
    switch (result.outcome) {
    case fileops::RestoreResult::Restored:
        Out(L"restored\t" + name + L"\t" + ShownText(path) + L"\r\n");
        return kExitOk;
    case fileops::RestoreResult::BroughtBack:
        throw ToolFailure{L"the file did not arrive at " + path + L" (a folder on it changed meanwhile); it is " +
                          L"staged again as " + name + L" and its restart request stands"};
    case fileops::RestoreResult::Astray:
        throw ToolFailure{L"the file did not arrive at " + path + L" and could not be brought back (" +
                          SystemText(result.error) + L"); it is at " +
                          (result.where.empty() ? std::wstring(L"an unknown place") : result.where)};
    default:
        break;
    }
    switch (result.error) {
    case ERROR_SUCCESS:
        throw ToolFailure{L"the file stayed staged as " + name};
    case ERROR_FILE_EXISTS:
        throw ToolFailure{L"a file stands at " + path + L" again; nothing was moved"};
    case fileops::kErrorReparsePointEncountered:
        throw ToolFailure{L"a folder on " + path + L" is a link now; nothing was moved"};
    default:
        throw ToolFailure{L"cannot restore " + name + L" to " + path + L": " + SystemText(result.error)};
    }
}

}  // namespace

int Staged(const ParsedArgs& args) {
    fileops::StagingFolder staging(ServiceFolder(args) + fileops::kStagingFolderName);
    if (args.positional.empty()) return List(staging, args.switches.count(L"--json") != 0);
    if (!SameWord(args.positional[0], L"restore")) throw UsageError{L"unknown word: " + args.positional[0]};
    if (args.positional.size() != 2) {
        throw UsageError{args.positional.size() < 2 ? L"missing NAME" : L"too many arguments"};
    }
    return Restore(staging, args.positional[1]);
}

}  // namespace quorvane_tool
