#include "tools/restart_queue_command.h"

#include <map>
#include <set>

#include "fileops/restart_requests.h"
#include "fileops/staging.h"
#include "platform/long_path.h"
#include "platform/win32.h"
#include "tools/json_writer.h"
#include "tools/list_update.h"
#include "tools/staged_commands.h"
#include "tools/tool_output.h"
#include "tools/tool_rules.h"

namespace quorvane_tool {
namespace {

// The service's own requests by their RequestKey: the staged names that have their record,
// and the listed paths it requested by themselves, with the names of their records. Only
// the records decide: a path the list names may have been queued by anyone.
struct OwnRequests {
    std::set<std::wstring> staged;
    std::multimap<std::wstring, std::wstring> byPath;
    bool Has(const std::wstring& key) const { return staged.count(key) != 0 || byPath.count(key) != 0; }
};

OwnRequests ReadOwnRequests(fileops::StagingFolder& staging) {
    OwnRequests own;
    const DWORD error = staging.OpenFolder(false);
    // No staging folder: the service has staged and recorded nothing.
    if (error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND) return own;
    if (error != ERROR_SUCCESS) {
        throw ToolFailure{L"cannot read the service's records in " + staging.Path() + L": " + NumberAndText(error)};
    }
    for (const fileops::StagedFile& file : staging.List()) {
        own.staged.insert(fileops::RequestKey(staging.PathOf(file.name + fileops::kStagedSuffix)));
    }
    for (const fileops::PathRequest& request : staging.PathRequests()) {
        own.byPath.emplace(fileops::RequestKey(request.listedPath), request.name);
    }
    return own;
}

std::vector<fileops::QueuedOperation> ReadQueue() {
    std::wstring data;
    const DWORD error = fileops::ReadRestartQueue(data);
    if (error == ERROR_INVALID_DATA) {
        throw ToolFailure{L"PendingFileRenameOperations under HKLM\\System\\CurrentControlSet\\Control\\Session "
                          L"Manager is not a REG_MULTI_SZ value; nothing can be read from it"};
    }
    if (error != ERROR_SUCCESS) {
        throw ToolFailure{L"cannot read PendingFileRenameOperations under HKLM\\System\\CurrentControlSet\\Control\\"
                          L"Session Manager (run it as an administrator): " + NumberAndText(error)};
    }
    return fileops::ParseRestartQueue(data);
}

// Whether the source names something now. The queue holds NT paths ("\??\C:\x"); without
// that prefix, in the "\\?\" form, so that a long path is asked for as it stands.
bool SourceExists(const std::wstring& source) {
    return ::GetFileAttributesW(platform::LiteralForm(fileops::WithoutNtPrefix(source)).c_str()) !=
           INVALID_FILE_ATTRIBUTES;
}

struct Row {
    const fileops::QueuedOperation* operation;
    std::wstring source;  // without the "\??\" prefix
    bool exists;
    bool own;
};

int List(const std::vector<fileops::QueuedOperation>& operations, const OwnRequests& own, bool json) {
    std::vector<Row> rows;
    size_t deletes = 0, owned = 0;
    for (const fileops::QueuedOperation& operation : operations) {
        // Only deletes: the service never asks for a rename.
        const bool isOwn = operation.IsDelete() && own.Has(fileops::RequestKey(operation.source));
        rows.push_back({&operation, fileops::WithoutNtPrefix(operation.source), SourceExists(operation.source), isOwn});
        deletes += operation.IsDelete();
        owned += isOwn;
    }
    const size_t renames = operations.size() - deletes;
    if (json) {
        JsonWriter writer;
        writer.BeginObject().Key("operations").BeginArray();
        for (const Row& row : rows) {
            writer.BeginObject().Key("kind").String(row.operation->IsDelete() ? L"delete" : L"rename");
            writer.Key("source").String(row.source).Key("destination");
            if (row.operation->IsDelete()) {
                writer.Null();
            } else {
                writer.String(row.operation->destination);
            }
            writer.Key("exists").Bool(row.exists).Key("own").Bool(row.own).EndObject();
        }
        writer.EndArray().Key("counts").BeginObject().Key("operations").Number(static_cast<int64_t>(rows.size()));
        writer.Key("delete").Number(static_cast<int64_t>(deletes)).Key("rename").Number(static_cast<int64_t>(renames));
        OutJson(writer.Key("own").Number(static_cast<int64_t>(owned)).EndObject().EndObject());
        return kExitOk;
    }
    std::wstring text;
    for (const Row& row : rows) {
        text += std::wstring(row.operation->IsDelete() ? L"delete" : L"rename") + L"\t" +
                (row.exists ? L"exists" : L"missing") + L"\t" + (row.own ? L"own" : L"other") + L"\t" +
                ShownText(row.source) + L"\t" +
                (row.operation->IsDelete() ? std::wstring(L"-") : ShownText(row.operation->destination)) + L"\r\n";
    }
    text += std::to_wstring(rows.size()) + (rows.size() == 1 ? L" operation: " : L" operations: ") +
            std::to_wstring(deletes) + L" delete, " + std::to_wstring(renames) + L" rename; " + std::to_wstring(owned) +
            L" the service's own\r\n";
    Out(text);
    return kExitOk;
}

int Withdraw(const std::vector<fileops::QueuedOperation>& operations, const OwnRequests& own,
             fileops::StagingFolder& staging, const std::wstring& given, bool json) {
    const std::wstring key = fileops::RequestKey(given);
    std::vector<const fileops::QueuedOperation*> matching;
    for (const fileops::QueuedOperation& operation : operations) {
        if (operation.IsDelete() && fileops::RequestKey(operation.source) == key) matching.push_back(&operation);
    }
    const std::wstring shown = ShownText(fileops::WithoutNtPrefix(given));
    if (matching.empty()) throw ToolFailure{L"no delete of " + shown + L" is queued; nothing was changed"};
    if (!own.Has(key)) {
        throw ToolFailure{L"the delete of " + shown + L" is another program's request, not the service's own; "
                          L"nothing was changed"};
    }
    // The one routine that withdraws takes out every delete of the path: with two queued, one
    // is another program's, and it would go too.
    if (matching.size() > 1) {
        throw ToolFailure{L"the delete of " + shown + L" is queued " + std::to_wstring(matching.size()) +
                          L" times, by another program too; nothing was changed"};
    }
    const std::wstring source = fileops::WithoutNtPrefix(matching.front()->source);
    if (const DWORD error = fileops::WithdrawDeletes({source})) {
        throw ToolFailure{L"cannot withdraw the delete of " + ShownText(source) + L": " + NumberAndText(error)};
    }
    // A staged file keeps its record: the service's next start deletes it, or requests it
    // again. A request by path has nothing left to stand for once withdrawn.
    const auto records = own.byPath.equal_range(key);
    for (auto record = records.first; record != records.second; ++record) {
        if (const DWORD error = staging.RemoveRecord(record->second, fileops::kPathRequestSuffix)) {
            Err(L"QuorvaneTool: the record " + record->second + fileops::kPathRequestSuffix +
                L" stays (" + NumberAndText(error) + L"); the service's next start removes it\r\n");
        }
    }
    if (json) {
        OutJson(JsonWriter().BeginObject().Key("withdrawn").String(source).EndObject());
    } else {
        Out(L"withdrawn\t" + ShownText(source) + L"\r\n");
    }
    return kExitOk;
}

}  // namespace

int RestartQueue(const ParsedArgs& args) {
    if (!args.positional.empty()) throw UsageError{L"unknown word: " + args.positional[0]};
    const bool json = args.switches.count(L"--json") != 0;
    fileops::StagingFolder staging(ServiceFolder(args) + fileops::kStagingFolderName);
    const OwnRequests own = ReadOwnRequests(staging);
    const std::vector<fileops::QueuedOperation> operations = ReadQueue();
    if (args.Has(L"--withdraw")) return Withdraw(operations, own, staging, args.Required(L"--withdraw"), json);
    return List(operations, own, json);
}

}  // namespace quorvane_tool
