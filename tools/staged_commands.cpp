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
namespace {

// The service's folder: --dir, or the tool's own (the package installs both together).
std::wstring ServiceFolder(const ParsedArgs& args) {
    std::wstring folder = args.Has(L"--dir") ? FullPath(args.Required(L"--dir")) : basQuorvaneService::AppDir();
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return folder;
}

int List(fileops::StagingFolder& staging, bool json) {
    const std::vector<fileops::StagedFile> files = staging.List();
    if (json) {
        JsonWriter writer;
        writer.BeginObject().Key("folder").String(staging.Path()).Key("staged").BeginArray();
        for (const fileops::StagedFile& file : files) {
            writer.BeginObject().Key("name").String(file.name).Key("path").String(file.listedPath);
            writer.Key("attributes").String(HexCode(file.attributes)).Key("present").Bool(file.present).EndObject();
        }
        OutJson(writer.EndArray().EndObject());
        return kExitOk;
    }
    std::wstring text;
    for (const fileops::StagedFile& file : files) {
        // "gone": deleted at a restart or by a later run; only its record was left.
        text += file.name + L"\t" + (file.present ? L"staged" : L"gone") + L"\t" + ShownText(file.listedPath) +
                L"\r\n";
    }
    Out(text);
    return kExitOk;
}

int Restore(fileops::StagingFolder& staging, const std::wstring& name) {
    fileops::StagedFile staged;
    if (!staging.Read(name, staged) || !staged.present) {
        throw ToolFailure{L"no staged file " + name + L" in " + staging.Path()};
    }
    switch (const unsigned long error = staging.Restore(staged)) {
    case ERROR_SUCCESS:
        Out(L"restored\t" + name + L"\t" + ShownText(staged.listedPath) + L"\r\n");
        return kExitOk;
    case ERROR_FILE_EXISTS:
        throw ToolFailure{L"a file stands at " + staged.listedPath + L" again; nothing was moved"};
    case fileops::kErrorReparsePointEncountered:
        throw ToolFailure{L"a folder on " + staged.listedPath + L" is a link now; nothing was moved"};
    default:
        throw ToolFailure{L"cannot restore " + name + L" to " + staged.listedPath + L": " + SystemText(error)};
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
