// QuorvaneTool restart-queue on the real queue value: requests a real run of the service
// made, beside other programs' requests planted with the platform's own call.
#include <gtest/gtest.h>

#include <cwctype>

#include "platform/win32.h"
#include "support/json_reader.h"
#include "support/list_writer.h"
#include "support/pending_renames.h"
#include "support/process.h"
#include "support/service_sandbox.h"
#include "support/test_files.h"

namespace {

using namespace testing_support;

ProcessResult Tool(const ServiceSandbox& sandbox, const std::wstring& arguments) {
    const std::wstring folder = sandbox.Dir().substr(0, sandbox.Dir().size() - 1);  // a \" would escape the quote
    return RunProcess(L"\"" + BinDir() + L"QuorvaneTool.exe\" " + arguments + L" --dir \"" + folder + L"\"");
}

std::wstring Upper(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

std::wstring Line(const wchar_t* kind, bool exists, bool own, const std::wstring& source,
                  const std::wstring& destination = L"-") {
    return std::wstring(kind) + L"\t" + (exists ? L"exists" : L"missing") + L"\t" + (own ? L"own" : L"other") + L"\t" +
           source + L"\t" + destination + L"\r\n";
}

TEST(RestartQueue, ShowsWhoseEachRequestIsAndWithdrawsOnlyTheServicesOwn) {
    PendingRenamesGuard restoreRenames;
    ServiceSandbox sandbox;
    TempDir files;
    const std::wstring first = files / L"first.dll", second = files / L"second.dll", held = files / L"held.dll";
    for (const std::wstring& path : {first, second}) {
        WriteBytes(path, "flagged");
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    }
    WriteBytes(held, "flagged");
    {
        // Held without delete sharing: requested by its path, with a record of that.
        platform::UniqueFile holder(
            ::CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        WriteBytes(sandbox.ListPath(), ListFileBytes({{first}, {second}, {held}}));
        sandbox.RunOnce();
    }
    const std::vector<std::wstring> staged = sandbox.StagedFiles();
    ASSERT_EQ(staged.size(), 2u);
    ASSERT_TRUE(HasPendingDelete(held));

    // Another program's: a file of its own, a name in the staging folder without a record,
    // a rename; and a path the list names is no request of the service's for that.
    const std::wstring foreign = files / L"foreign.tmp", fake = sandbox.Dir() + L"QuorvaneStaging\\fake.staged",
                       from = files / L"from.tmp", to = files / L"to.tmp";
    WriteBytes(foreign, "another program's");
    WriteBytes(from, "another program's");
    ASSERT_TRUE(::MoveFileExW(foreign.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(::MoveFileExW(fake.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT));
    WriteBytes(sandbox.ListPath(), ListFileBytes({{foreign}}));

    const std::wstring others = Line(L"delete", true, false, foreign) + Line(L"delete", false, false, fake) +
                                Line(L"rename", true, false, from, L"\\??\\" + to);
    const std::wstring all = Line(L"delete", true, true, staged[0]) + Line(L"delete", true, true, staged[1]) +
                             Line(L"delete", true, true, held) + others;
    ProcessResult r = Tool(sandbox, L"restart-queue");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_EQ(r.output, Ansi(all + L"6 operations: 5 delete, 1 rename; 3 the service's own\r\n"));

    // The same from --json, field by field.
    r = Tool(sandbox, L"restart-queue --json");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    const auto json = ParseJson(r.output);
    ASSERT_TRUE(json) << r.output;
    const JsonValue* operations = json->Find("operations");
    ASSERT_TRUE(operations && operations->items.size() == 6u) << r.output;
    std::wstring lines;
    for (const JsonValue& item : operations->items) {
        const JsonValue* destination = item.Find("destination");
        ASSERT_TRUE(destination) << r.output;
        lines += Line(item.Find("kind")->string.c_str(), item.Find("exists")->boolean, item.Find("own")->boolean,
                      item.Find("source")->string,
                      destination->kind == JsonValue::Kind::Null ? L"-" : destination->string);
    }
    EXPECT_EQ(lines, all);
    EXPECT_NE(r.output.find("\"counts\":{\"operations\":6,\"delete\":5,\"rename\":1,\"own\":3}"), std::string::npos);

    // A restored file's request is gone from the listing.
    const std::wstring leaf = staged[0].substr(staged[0].rfind(L'\\') + 1);
    const std::wstring firstName = leaf.substr(0, leaf.size() - 7);  // less ".staged"
    r = Tool(sandbox, L"staged restore " + firstName);
    ASSERT_EQ(r.exitCode, 0u) << r.output;
    r = Tool(sandbox, L"restart-queue");
    EXPECT_EQ(r.output, Ansi(Line(L"delete", true, true, staged[1]) + Line(L"delete", true, true, held) + others +
                             L"5 operations: 4 delete, 1 rename; 2 the service's own\r\n"));

    // Each withdrawal cuts out its one operation and keeps every other unit of the value.
    const auto withdraw = [&](const std::wstring& given, const std::wstring& stored) {
        const std::optional<std::wstring> before = ReadPendingRenamesRaw();
        ASSERT_TRUE(before);
        std::wstring expected = *before;
        const std::wstring operation = L"\\??\\" + stored + std::wstring(2, L'\0');
        const size_t at = expected.find(operation);
        ASSERT_NE(at, std::wstring::npos);
        expected.erase(at, operation.size());
        const ProcessResult withdrawn = Tool(sandbox, L"restart-queue --withdraw \"" + given + L"\"");
        EXPECT_EQ(withdrawn.exitCode, 0u) << withdrawn.output;
        EXPECT_EQ(withdrawn.output, Ansi(L"withdrawn\t" + stored + L"\r\n"));
        EXPECT_EQ(ReadPendingRenamesRaw(), expected);
    };
    withdraw(L"\\??\\" + Upper(staged[1]), staged[1]);
    EXPECT_EQ(sandbox.StagedFiles(), std::vector<std::wstring>{staged[1]}) << "a staged file keeps its record";
    withdraw(Upper(held), held);
    WIN32_FIND_DATAW found;
    EXPECT_EQ(::FindFirstFileW((sandbox.Dir() + L"QuorvaneStaging\\*.request").c_str(), &found), INVALID_HANDLE_VALUE)
        << "the withdrawn request's record stayed";

    // Another program's requests, and a source queued only for a rename, stay untouched.
    const std::optional<std::wstring> before = ReadPendingRenamesRaw();
    for (const std::wstring& source : {foreign, fake, from}) {
        r = Tool(sandbox, L"restart-queue --withdraw \"" + source + L"\"");
        EXPECT_EQ(r.exitCode, 1u) << r.output;
        EXPECT_NE(r.output.find("nothing was changed"), std::string::npos) << r.output;
        EXPECT_EQ(ReadPendingRenamesRaw(), before);
    }
    r = Tool(sandbox, L"restart-queue");
    EXPECT_EQ(r.output, Ansi(others + L"3 operations: 2 delete, 1 rename; 0 the service's own\r\n"));
}

}  // namespace
