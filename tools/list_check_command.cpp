#include "tools/list_check_command.h"

#include <map>
#include <vector>

#include "fileops/staging.h"
#include "pendinglist/cleanup_pass.h"
#include "pendinglist/pending_reboot_list.h"
#include "platform/path_parts.h"
#include "platform/privileges.h"
#include "platform/win32.h"
#include "service/nt_service.h"
#include "trust/list_trust.h"
#include "trust/object_security.h"
#include "tools/json_writer.h"
#include "tools/list_update.h"
#include "tools/tool_output.h"
#include "tools/tool_rules.h"

namespace quorvane_tool {
namespace {

using basPendingRebootFiles::EntryEnd;
using basPendingRebootFiles::EntryStep;

constexpr wchar_t kServiceLogName[] = L"QuorvaneServiceLog.txt";

const wchar_t* const kOutcomes[] = {L"delete",     L"stage", L"boot",       L"restart-by-path",
                                    L"refuse",     L"gone",  L"left-alone", L"not-acted"};
enum Outcome { kDelete, kStage, kBoot, kRestartByPath, kRefuse, kGone, kLeftAlone, kNotActed, kOutcomeCount };

struct Prediction {
    size_t index = basPendingRebootFiles::kNoEntry;
    int32_t flag = 0;
    Outcome outcome = kNotActed;
    uint32_t error = 0;        // the error the detail names; 0 for none
    std::wstring reason;       // what the error kept from happening, before it
    bool mayChange = false;    // the answer could change before a run (a file in use now)
    std::wstring path;
};

// The account the service runs as: LocalSystem. Wine runs every program as the prefix's one
// user, a service too, so there the service's account is this process's.
std::wstring ServiceAccountSid() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const bool wine = ntdll && ::GetProcAddress(ntdll, "wine_get_version");
    return wine ? trust::ProcessAccountSid() : L"S-1-5-18";
}

// An error that only says what another program is doing with the file at this moment.
bool Passing(uint32_t error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// Turns each entry's end, with the route's details of the step, into a prediction.
class Predictions final : public basPendingRebootFiles::PassObserver {
public:
    Predictions(const cFileFuncs& files, bool privileged) : files_(files), privileged_(privileged) {}

    void Started(const std::wstring&) override {}

    void Ended(const std::wstring& path, const EntryStep& step) override {
        Prediction made;
        made.index = step.index;
        made.flag = step.flag;
        made.path = path;
        switch (step.end) {
        case EntryEnd::Deleted:
            made.outcome = kDelete;
            if (step.clearedStaged) made.reason = L"staged by an earlier run";
            break;
        case EntryEnd::Gone:
            made.outcome = kGone;
            break;
        case EntryEnd::LeftAlone:
            made.outcome = kLeftAlone;
            break;
        case EntryEnd::Refused:
            made.outcome = kRefuse;
            made.error = step.error;
            if (step.error == ERROR_ACCESS_DENIED && !privileged_) {
                made.reason = L"refused to this account, perhaps not to the service";
                made.mayChange = true;
            }
            break;
        case EntryEnd::Scheduled:
            Scheduled(made);
            break;
        }
        made.mayChange = made.mayChange || Passing(made.error);
        predictions.push_back(std::move(made));
    }

    std::vector<Prediction> predictions;

private:
    void Scheduled(Prediction& made) const {
        switch (files_.LastRestartStep()) {
        case cFileFuncs::RestartStep::Staged:
            made.outcome = kStage;
            made.reason = L"not deletable now";
            made.error = files_.LastDeleteError();
            return;
        case cFileFuncs::RestartStep::RequestedByPath:
            made.outcome = kRestartByPath;
            break;
        case cFileFuncs::RestartStep::Carried:
            made.outcome = kBoot;
            break;
        default:  // withheld: not with the service's setup, which carries
            made.outcome = kRefuse;
            break;
        }
        if (files_.LastStageError() != ERROR_SUCCESS) {
            made.reason = L"not stageable";
            made.error = files_.LastStageError();
        } else {
            made.reason = L"not deletable now";
            made.error = files_.LastDeleteError();
        }
    }

    const cFileFuncs& files_;
    bool privileged_;
};

std::wstring Detail(const Prediction& made) {
    std::wstring detail = made.reason;
    if (made.error != ERROR_SUCCESS) detail += (detail.empty() ? L"" : L": ") + NumberAndText(made.error);
    if (made.mayChange) detail += detail.empty() ? L"may change" : L"; may change";
    return detail.empty() ? L"-" : detail;
}

std::wstring TrustText(const trust::ListTrust& verdict) {
    std::wstring text = L"the service would not act on this list: " + verdict.object;
    if (!verdict.sid.empty()) {
        text += L" can be changed by " + (verdict.account.empty() ? verdict.sid : verdict.account);
    }
    return text + L" (" + NumberAndText(verdict.error) + L")";
}

void WriteJson(const std::wstring& file, const trust::ListTrust& verdict, bool privileged,
               const std::vector<Prediction>& predictions, const size_t (&tally)[kOutcomeCount]) {
    JsonWriter json;
    json.BeginObject().Key("file").String(file).Key("trusted").Bool(verdict.trusted);
    if (!verdict.trusted) {
        json.Key("untrusted").BeginObject().Key("object").String(verdict.object).Key("sid").String(verdict.sid);
        json.Key("account").String(verdict.account).Key("error").Number(verdict.error);
        json.Key("text").String(SystemText(verdict.error)).EndObject();
    }
    json.Key("privileged").Bool(privileged).Key("entries").BeginArray();
    for (const Prediction& made : predictions) {
        json.BeginObject().Key("index");
        if (made.index == basPendingRebootFiles::kNoEntry) {
            json.Null();
        } else {
            json.Number(static_cast<int64_t>(made.index));
        }
        json.Key("flag").Number(made.flag).Key("outcome").String(kOutcomes[made.outcome]);
        json.Key("reason").String(made.reason).Key("error").Number(made.error);
        json.Key("text").String(made.error != ERROR_SUCCESS ? SystemText(made.error) : std::wstring());
        json.Key("mayChange").Bool(made.mayChange).Key("path").String(made.path).EndObject();
    }
    json.EndArray().Key("tally").BeginObject();
    for (int outcome = 0; outcome < kOutcomeCount; ++outcome) {
        std::string key;
        for (const wchar_t* c = kOutcomes[outcome]; *c; ++c) key += static_cast<char>(*c);
        json.Key(key).Number(static_cast<int64_t>(tally[outcome]));
    }
    OutJson(json.EndObject().EndObject());
}

}  // namespace

int ListCheck(const ParsedArgs& args) {
    if (args.positional.size() != 1) {
        throw UsageError{args.positional.empty() ? L"missing arguments" : L"too many arguments"};
    }
    const std::wstring file = FullPath(args.positional[0]);
    basPendingRebootFiles::PendingRebootList list(basPendingRebootFiles::PlatformLowerCase);
    const ListReading reading = ReadList(file, list);
    if (reading.state == ListState::Missing) throw ToolFailure{L"cannot read " + file + L": no such file"};
    if (reading.state == ListState::Unreadable) {
        throw ToolFailure{L"unreadable list " + file + L": " + DescribeUnreadable(reading.check)};
    }

    std::wstring folder = platform::FolderOf(file);
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    const std::wstring staging = folder + fileops::kStagingFolderName;
    const std::wstring account = ServiceAccountSid();
    const trust::ListTrust verdict = trust::CheckListTrust({folder, file, staging, folder + kServiceLogName, account});
    // The service opens listed files with these; without them a file may be refused to this
    // account that the service would reach.
    const bool privileged = platform::EnableBackupAndRestorePrivileges() == ERROR_SUCCESS;

    std::vector<Prediction> predictions;
    if (verdict.trusted) {
        RouteSetup setup{staging, NTService::ServiceName, account};
        setup.changesNothing = true;
        cFileFuncs files(std::move(setup));
        Predictions observer(files, privileged);
        basPendingRebootFiles::RunPass(list, files, observer);
        predictions = std::move(observer.predictions);
    } else {
        size_t index = 0;
        list.ForEachEntry([&](const basPendingRebootFiles::PendingRebootEntry& entry) {
            Prediction made;
            made.index = index++;
            made.flag = entry.Flag;
            made.path.assign(entry.Path.data(), entry.Path.size());
            predictions.push_back(std::move(made));
        });
    }

    size_t tally[kOutcomeCount] = {};
    for (const Prediction& made : predictions) ++tally[made.outcome];
    if (args.switches.count(L"--json")) {
        WriteJson(file, verdict, privileged, predictions, tally);
        return kExitOk;
    }

    std::wstring text;
    if (!verdict.trusted) text += L"# " + TrustText(verdict) + L"\r\n";
    if (!privileged) {
        text += L"# without the backup and restore privileges: run it as an administrator to see what the "
                L"service would reach\r\n";
    }
    for (const Prediction& made : predictions) {
        const std::wstring index = made.index == basPendingRebootFiles::kNoEntry ? L"-" : std::to_wstring(made.index);
        const std::wstring flag = made.index == basPendingRebootFiles::kNoEntry ? L"-" : std::to_wstring(made.flag);
        text += index + L"\t" + flag + L"\t" + kOutcomes[made.outcome] + L"\t" + ShownText(Detail(made)) + L"\t" +
                ShownText(made.path) + L"\r\n";
    }
    text += L"Checked " + std::to_wstring(predictions.size());
    for (int outcome = 0; outcome < kOutcomeCount; ++outcome) {
        text += std::wstring(outcome == 0 ? L": " : L", ") + kOutcomes[outcome] + L" " + std::to_wstring(tally[outcome]);
    }
    Out(text + L"\r\n");
    return kExitOk;
}

}  // namespace quorvane_tool
