#include "tools/log_commands.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "eventlog/message_source.h"
#include "platform/handles.h"
#include "platform/long_path.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "tools/json_writer.h"
#include "tools/list_update.h"
#include "tools/log_runs.h"
#include "tools/tool_output.h"
#include "tools/tool_rules.h"

namespace quorvane_tool {
namespace {

constexpr size_t kBlockSize = 64 * 1024;
// The service writes no line near this long; a longer one (a foreign file) is shown cut
// here, so that memory stays bounded whatever the file holds.
constexpr size_t kMaxLineBytes = 1024 * 1024;
// Output goes out in pieces of about this many characters.
constexpr size_t kOutputChunk = 64 * 1024;

std::string_view WithoutCr(std::string_view line) {
    return !line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line;
}

// The log as it stood when opened: the service may go on appending meanwhile, which the
// reading never sees.
class LogFile {
public:
    explicit LogFile(const std::wstring& path) : path_(path) {
        file_.reset(::CreateFileW(platform::ExtendedPath(path).c_str(), GENERIC_READ,
                                  platform::kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file_) Fail(::GetLastError());
        BY_HANDLE_FILE_INFORMATION info = {};
        if (!::GetFileInformationByHandle(file_.get(), &info)) Fail(::GetLastError());
        if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            throw ToolFailure{L"cannot read " + path + L": it is a directory"};
        }
        size_ = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    }

    uint64_t Size() const { return size_; }

    void Read(uint64_t offset, char* buffer, size_t size) const {
        LARGE_INTEGER position;
        position.QuadPart = static_cast<LONGLONG>(offset);
        DWORD read = 0;
        if (!::SetFilePointerEx(file_.get(), position, nullptr, FILE_BEGIN) ||
            !::ReadFile(file_.get(), buffer, static_cast<DWORD>(size), &read, nullptr)) {
            Fail(::GetLastError());
        }
        if (read != size) throw ToolFailure{L"cannot read " + path_ + L": it became shorter while it was read"};
    }

    // Each line of [from, size) in order, without its line end; a last line without one too.
    void ForEachLine(uint64_t from, const std::function<void(std::string_view)>& take) const {
        std::vector<char> block(kBlockSize);
        std::string line;
        for (uint64_t position = from; position < size_;) {
            const size_t length = static_cast<size_t>(std::min<uint64_t>(kBlockSize, size_ - position));
            Read(position, block.data(), length);
            position += length;
            for (size_t start = 0; start < length;) {
                const void* newline = std::memchr(block.data() + start, '\n', length - start);
                const size_t end = newline ? static_cast<size_t>(static_cast<const char*>(newline) - block.data())
                                           : length;
                const size_t room = kMaxLineBytes - std::min(kMaxLineBytes, line.size());
                line.append(block.data() + start, std::min(end - start, room));
                if (!newline) break;
                take(WithoutCr(line));
                line.clear();
                start = end + 1;
            }
        }
        if (!line.empty()) take(WithoutCr(line));
    }

    // The lines from the last to the first, each with its offset, until `take` says stop. A
    // line longer than the limit comes as an empty one: it cannot be an entry's header.
    void ForEachLineBackward(const std::function<bool(std::string_view, uint64_t)>& take) const {
        std::vector<char> block(kBlockSize);
        std::string carry;  // the bytes from `position` to the end of the line in hand
        uint64_t position = size_;
        bool lastPiece = true;  // after the file's last line end: no line when empty
        bool overlong = false;
        for (;;) {
            for (size_t newline; (newline = carry.rfind('\n')) != std::string::npos;) {
                const std::string_view line(carry.data() + newline + 1, carry.size() - newline - 1);
                if (!(lastPiece && line.empty()) &&
                    !take(overlong ? std::string_view() : WithoutCr(line), position + newline + 1)) {
                    return;
                }
                lastPiece = false;
                overlong = false;
                carry.resize(newline);
            }
            if (position == 0) break;
            const size_t length = static_cast<size_t>(std::min<uint64_t>(kBlockSize, position));
            position -= length;
            Read(position, block.data(), length);
            if (carry.size() > kMaxLineBytes) {
                overlong = true;
                carry.clear();
            }
            carry.insert(0, block.data(), length);
        }
        if (!(lastPiece && carry.empty())) take(overlong ? std::string_view() : WithoutCr(carry), 0);
    }

private:
    [[noreturn]] void Fail(DWORD error) const {
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            throw ToolFailure{L"cannot read " + path_ + L": no such file"};
        }
        throw FileFailure(L"cannot read", path_, error);
    }

    std::wstring path_;
    platform::UniqueFile file_;
    uint64_t size_ = 0;
};

// Where the last `runs` runs of the log begin.
uint64_t StartOfLastRuns(const LogFile& log, size_t runs) {
    RunStartFinder finder(runs);
    log.ForEachLineBackward([&](std::string_view line, uint64_t offset) {
        return finder.Line(platform::FromAnsi(line), offset);
    });
    finder.Finish();
    return finder.Offset();
}

// The entries from `from` to the end, run by run: `runStarts` with the run's index and
// whether an entry begins it (false for lines before the first run), then `take` with
// each of its entries. Returns the number of runs.
size_t ReadRuns(const LogFile& log, uint64_t from, const std::function<void(size_t, bool)>& runStarts,
                const std::function<void(const LogItem&)>& take) {
    size_t runs = 0;
    LogReader reader([&](const LogItem& item, bool beginsRun) {
        if (beginsRun || runs == 0) runStarts(runs++, beginsRun);
        take(item);
    });
    log.ForEachLine(from, [&](std::string_view line) { reader.Line(platform::FromAnsi(line)); });
    reader.Finish();
    return runs;
}

std::vector<RunTally> TallyRuns(const LogFile& log, uint64_t from) {
    std::vector<RunTally> runs;
    ReadRuns(
        log, from, [&](size_t, bool begins) { runs.emplace_back().begins = begins; },
        [&](const LogItem& item) { runs.back().Add(item); });
    return runs;
}

std::wstring RunHeading(const RunTally& run) {
    std::wstring text = run.begins ? L"Run" : L"Before the first run";
    if (!run.firstTime.empty()) text += L" from " + run.firstTime + L" to " + run.lastTime;
    if (run.begins) text += run.finished ? L", finished" : L", unfinished: no stop entry";
    text += L"\r\nTaken up " + std::to_wstring(run.takenUp) + L", deleted " + std::to_wstring(run.deleted) +
            L", already gone " + std::to_wstring(run.gone) + L", handed to delete at restart " +
            std::to_wstring(run.scheduled) + L", refused " + std::to_wstring(run.refused) + L"\r\n";
    return text;
}

// Every entry on one line of three TAB-separated fields, as the log's header and message
// give them; a control character shows as '?'.
std::wstring ItemLine(const LogItem& item) {
    if (!item.entry) return L"(unparsed)\t\t" + ShownText(item.text) + L"\r\n";
    std::wstring message = item.message;
    modFormatMsg::TrimFinalCrLf(message);
    return ShownText(item.time) + L"\t" + std::to_wstring(item.errorLine) + L":" +
           std::to_wstring(item.errorNumber) + L":" + ShownText(item.description) + L"\t" +
           ShownText(message) + L"\r\n";
}

// The shows read the log a second time; a run the first reading did not see (the file
// rewritten in place meanwhile) goes without its heading.
void ShowText(const LogFile& log, uint64_t from, const std::vector<RunTally>& runs) {
    std::wstring text;
    ReadRuns(
        log, from,
        [&](size_t run, bool) {
            if (run > 0) text += L"\r\n";
            if (run < runs.size()) text += RunHeading(runs[run]);
        },
        [&](const LogItem& item) {
            text += ItemLine(item);
            if (text.size() >= kOutputChunk) Out(std::exchange(text, {}));
        });
    Out(text);
}

void RunObjectStart(JsonWriter& json, const RunTally& run) {
    json.BeginObject().Key("started").Bool(run.begins).Key("finished").Bool(run.finished);
    json.Key("first").String(run.firstTime).Key("last").String(run.lastTime);
    const auto count = [](uint64_t n) { return static_cast<int64_t>(n); };
    json.Key("counts").BeginObject();
    json.Key("takenUp").Number(count(run.takenUp)).Key("deleted").Number(count(run.deleted));
    json.Key("gone").Number(count(run.gone)).Key("scheduled").Number(count(run.scheduled));
    json.Key("refused").Number(count(run.refused)).EndObject();
    json.Key("entries").BeginArray();
}

void ShowJson(const std::wstring& path, const LogFile& log, uint64_t from,
              const std::vector<RunTally>& runs) {
    JsonWriter json;
    json.BeginObject().Key("file").String(path).Key("runs").BeginArray();
    const size_t shown = ReadRuns(
        log, from,
        [&](size_t run, bool) {
            if (run > 0) json.EndArray().EndObject();
            if (run < runs.size()) RunObjectStart(json, runs[run]);
        },
        [&](const LogItem& item) {
            json.BeginObject();
            if (item.entry) {
                json.Key("time").String(item.time).Key("line").Number(item.errorLine);
                json.Key("number").Number(item.errorNumber).Key("description").String(item.description);
                json.Key("message").String(item.message);
            } else {
                json.Key("text").String(item.text);
            }
            json.EndObject();
            if (json.Text().size() >= kOutputChunk) OutAscii(json.TakeText());
        });
    if (shown > 0) json.EndArray().EndObject();
    OutJson(json.EndArray().EndObject());
}

}  // namespace

int LogShow(const ParsedArgs& args) {
    if (args.positional.size() != 1) {
        throw UsageError{args.positional.empty() ? L"missing arguments" : L"too many arguments"};
    }
    size_t runs = 1;
    if (args.Has(L"--runs")) {
        const auto parsed = ParseInt32(args.Required(L"--runs"));
        if (!parsed || *parsed < 1) {
            throw UsageError{L"--runs takes a number, 1 or more: " + args.Required(L"--runs")};
        }
        runs = static_cast<size_t>(*parsed);
    }
    const std::wstring path = FullPath(args.positional[0]);
    const LogFile log(path);
    // Read from the end until the runs are found; then the part that holds them, twice:
    // once for each run's span and counts, once to print them with their entries.
    const uint64_t from = StartOfLastRuns(log, runs);
    const std::vector<RunTally> tallies = TallyRuns(log, from);
    if (args.switches.count(L"--json")) {
        ShowJson(path, log, from, tallies);
    } else {
        ShowText(log, from, tallies);
    }
    return kExitOk;
}

}  // namespace quorvane_tool
