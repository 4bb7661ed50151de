#include "tools/list_commands.h"

#include "pendinglist/ansi_codec.h"
#include "fileops/listed_path.h"
#include "platform/text.h"
#include "tools/json_writer.h"
#include "tools/list_update.h"
#include "tools/tool_output.h"
#include "tools/tool_rules.h"

namespace quorvane_tool {
namespace {

using basPendingRebootFiles::PendingRebootEntry;
using basPendingRebootFiles::PendingRebootList;

constexpr size_t kMaxTextBytes = 65535;

const std::wstring& FileArgument(const ParsedArgs& args, size_t expected) {
    if (args.positional.size() != expected) {
        throw UsageError{args.positional.size() < expected ? L"missing arguments" : L"too many arguments"};
    }
    return args.positional[0];
}

PendingRebootList NewList() {
    PendingRebootList list(basPendingRebootFiles::PlatformLowerCase);
    list.Header = basPendingRebootFiles::kListHeader;
    list.Version = basPendingRebootFiles::kListVersion;
    return list;
}

// A list that must be there and whole: the reading of `path`.
void RequireWhole(const ListReading& reading, const std::wstring& path) {
    if (reading.state == ListState::Missing) throw ToolFailure{L"cannot read " + path + L": no such file"};
    if (reading.state == ListState::Unreadable) {
        throw ToolFailure{L"unreadable list " + path + L": " + DescribeUnreadable(reading.check)};
    }
}

// A list written elsewhere may hold a TAB or a line break in a text; shown as '?', the
// entry stays one line of four fields (--json gives the exact text).
std::wstring EntryLine(int32_t index, const PendingRebootEntry& entry) {
    return std::to_wstring(index) + L"\t" + std::to_wstring(entry.Flag) + L"\t" + ShownText(entry.Path) +
           L"\t" + ShownText(entry.Extra) + L"\r\n";
}

// A text read byte for byte (one unit per byte), written as the service decodes it, and,
// when those bytes do not come back from that text, the bytes too.
void RawTextField(JsonWriter& json, const std::string& name, std::wstring_view stored) {
    std::string bytes;
    for (const wchar_t unit : stored) bytes += static_cast<char>(unit);
    std::wstring text(bytes.size(), L'\0');
    text.resize(basPendingRebootFiles::SystemCodec().Decode(bytes.data(), bytes.size(), text.data()));
    json.Key(name).String(text);
    if (platform::ToAnsiExact(text) != bytes) {
        const std::string hex = HexBytes(bytes);
        json.Key(name + "Bytes").String(std::wstring(hex.begin(), hex.end()));
    }
}

void ShowJson(const std::wstring& path) {
    // Read with one character per byte, so that every text's bytes are at hand.
    PendingRebootList list;
    const ListReading reading = ReadList(path, list, basPendingRebootFiles::Latin1Codec());
    if (reading.state == ListState::Missing) throw ToolFailure{L"cannot read " + path + L": no such file"};
    if (reading.state == ListState::Unreadable) {
        throw ToolFailure{L"unreadable list " + path + L": " + DescribeUnreadable(reading.check)};
    }
    JsonWriter json;
    json.BeginObject().Key("file").String(path);
    RawTextField(json, "header", list.Header);
    RawTextField(json, "version", list.Version);
    RawTextField(json, "extra", list.Extra);
    json.Key("count").Number(list.Count()).Key("entries").BeginArray();
    int32_t index = 0;
    list.ForEachEntry([&](const PendingRebootEntry& entry) {
        json.BeginObject().Key("index").Number(index++).Key("flag").Number(entry.Flag);
        RawTextField(json, "path", entry.Path);
        RawTextField(json, "extra", entry.Extra);
        json.EndObject();
    });
    OutJson(json.EndArray().EndObject());
}

// A text that reaches the list file exactly, or a failure that says why not.
void CheckStorable(const std::wstring& what, const std::wstring& text) {
    const auto ansi = platform::ToAnsiExact(text);
    if (!ansi) {
        throw ToolFailure{what + L" holds a character the ANSI code page cannot hold; it would be "
                                 L"stored as a wildcard naming other files"};
    }
    if (ansi->size() > kMaxTextBytes) throw ToolFailure{what + L" is longer than 65535 bytes"};
}

}  // namespace

int ListCreate(const ParsedArgs& args) {
    const std::wstring path = FullPath(FileArgument(args, 1));
    ListLock lock(path);
    PendingRebootList existing;
    if (!args.switches.count(L"--force") && ReadList(lock, existing).state != ListState::Missing) {
        throw ToolFailure{path + L" exists; --force replaces it"};
    }
    ReplaceList(lock, NewList());
    Out(L"created\t" + path + L"\r\n");
    return kExitOk;
}

int ListShow(const ParsedArgs& args) {
    const std::wstring path = FullPath(FileArgument(args, 1));
    if (args.switches.count(L"--json")) {
        ShowJson(path);
        return kExitOk;
    }
    PendingRebootList list(basPendingRebootFiles::PlatformLowerCase);
    RequireWhole(ReadList(path, list), path);
    std::wstring text = L"Header\t" + ShownText(list.Header) + L"\r\nVersion\t" + ShownText(list.Version) +
                        L"\r\nExtra\t" + ShownText(list.Extra) + L"\r\nCount\t" + std::to_wstring(list.Count()) +
                        L"\r\n";
    int32_t index = 0;
    list.ForEachEntry([&](const PendingRebootEntry& entry) { text += EntryLine(index++, entry); });
    Out(text);
    return kExitOk;
}

int ListAdd(const ParsedArgs& args) {
    const std::wstring path = FullPath(FileArgument(args, 2));
    const std::wstring& entryPath = args.positional[1];
    const std::wstring extra = args.Optional(L"--extra");
    int32_t flag = 0;
    if (args.Has(L"--flag")) {
        const auto parsed = ParseInt32(args.Required(L"--flag"));
        if (!parsed) throw UsageError{L"--flag takes a 32-bit number: " + args.Required(L"--flag")};
        flag = *parsed;
    }
    // The cleanup pass would drop such a path as naming no file, or refuse it.
    const fileops::ListedPath judged = fileops::JudgeListedPath(entryPath);
    if (judged.kind == fileops::PathKind::NamesNoFile) {
        throw ToolFailure{L"not a fully qualified path to a file (C:\\... or \\\\?\\C:\\...): " + entryPath};
    }
    if (judged.kind == fileops::PathKind::Refused) {
        throw ToolFailure{(judged.refusal == fileops::kErrorNotSupported
                               ? L"a path on another host, which the service never connects to: "
                               : L"a pattern, a device name, a stream or a control character names no "
                                 L"file the service may clear: ") +
                          entryPath};
    }
    CheckStorable(L"the path", entryPath);
    CheckStorable(L"--extra", extra);
    if (HasControlCharacter(extra)) {
        throw ToolFailure{L"--extra holds a control character (U+0000 to U+001F); the entry would not show as "
                          L"one line"};
    }

    ListLock lock(path);
    PendingRebootList list = NewList();
    const ListReading reading = ReadList(lock, list);
    if (reading.state == ListState::Unreadable) {
        throw ToolFailure{L"unreadable list " + path + L": " + DescribeUnreadable(reading.check)};
    }
    list.Append(entryPath, extra, flag);
    ReplaceList(lock, list);
    Out(L"added\t" + EntryLine(list.Count() - 1, list.Entry(list.Count() - 1)));
    return kExitOk;
}

int ListRemove(const ParsedArgs& args) {
    const std::wstring path = FullPath(FileArgument(args, 2));
    const std::wstring& entryPath = args.positional[1];
    ListLock lock(path);
    PendingRebootList list(basPendingRebootFiles::PlatformLowerCase);
    RequireWhole(ReadList(lock, list), path);
    const int32_t index = list.FindEntry(entryPath);
    if (index < 0) throw ToolFailure{L"no entry for " + entryPath + L" in " + path};
    const std::wstring line = EntryLine(index, list.Entry(index));
    list.RemoveEntry(entryPath);
    ReplaceList(lock, list);
    Out(L"removed\t" + line);
    return kExitOk;
}

int ListVerify(const ParsedArgs& args) {
    const std::wstring path = FullPath(FileArgument(args, 1));
    PendingRebootList list(basPendingRebootFiles::PlatformLowerCase);
    const ListReading reading = ReadList(path, list);
    if (reading.state == ListState::Missing) throw ToolFailure{L"cannot read " + path + L": no such file"};
    const std::wstring reason = platform::FromUtf8(basPendingRebootFiles::DescribeFault(reading.check.fault));
    if (args.switches.count(L"--json")) {
        JsonWriter json;
        json.BeginObject().Key("file").String(path);
        if (reading.state == ListState::Unreadable) {
            json.Key("state").String(L"unreadable").Key("reason").String(reason);
            json.Key("offset").Number(static_cast<int64_t>(reading.check.offset));
        } else {
            json.Key("state").String(L"ok").Key("count").Number(list.Count());
        }
        OutJson(json.EndObject());
        return reading.state == ListState::Unreadable ? kExitFailed : kExitOk;
    }
    if (reading.state == ListState::Unreadable) {
        Out(L"unreadable\t" + reason + L"\t" + std::to_wstring(reading.check.offset) + L"\r\n");
        return kExitFailed;
    }
    Out(L"ok\t" + std::to_wstring(list.Count()) + L" entries\r\n");
    return kExitOk;
}

}  // namespace quorvane_tool
