// A listed file that cannot be deleted now is staged: renamed through its checked handle
// into the service's own folder, and the staged name requested for the restart. Whoever
// owns the listed file's folder may swap it for a link before that restart: the restart
// then deletes nothing of the link's folder. A false positive can be put back until then.
#include <gtest/gtest.h>

#include "fault_support.h"
#include "platform/handles.h"
#include "platform/win32.h"
#include "support/list_writer.h"
#include "support/log_reader.h"
#include "support/pending_renames.h"
#include "support/process.h"
#include "support/service_sandbox.h"
#include "support/unix_side.h"

namespace {

using namespace testing_support;
using namespace fault_support;

ProcessResult Tool(const std::wstring& arguments) {
    return RunProcess(L"\"" + BinDir() + L"QuorvaneTool.exe\" " + arguments);
}

TEST(Staging, RestartRequestsNameOnlyTheServicesOwnFolderAndAStagedFileCanBePutBack) {
    PendingRenamesGuard restoreRenames;
    ServiceSandbox sandbox;
    TempDir files;
    const std::wstring user = files / L"user\\";
    const std::wstring victims = files / L"victims\\";
    ASSERT_TRUE(::CreateDirectoryW(user.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(victims.c_str(), nullptr));
    for (const wchar_t* name : {L"important.dll", L"mapped.dll", L"keep.dll"}) {
        WriteBytes(victims + name, "the victim's own");
        WriteBytes(user + name, "flagged by the scanner");
    }
    const std::wstring readOnly = user + L"important.dll", mapped = user + L"mapped.dll", keep = user + L"keep.dll",
                       held = user + L"held.dll";
    ::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesW(keep.c_str(), FILE_ATTRIBUTE_READONLY);
    WriteBytes(held, "held");
    // Mapped by another process: the delete is refused, a rename is not.
    platform::UniqueFile mappedFile(::CreateFileW(mapped.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                                  nullptr, OPEN_EXISTING, 0, nullptr));
    platform::UniqueHandle mapping(::CreateFileMappingW(mappedFile.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    const void* view = ::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    // Held without delete sharing: it cannot be opened for a rename, only requested by path.
    platform::UniqueFile holder(
        ::CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    WriteBytes(sandbox.ListPath(), ListFileBytes({{readOnly}, {mapped}, {keep}, {held}}));

    sandbox.RunOnce();
    ExpectEndedStopped(sandbox);
    const auto messages = Messages(ParseLog(sandbox.ReadLog()));
    for (const std::wstring& path : {readOnly, mapped, keep, held}) {
        EXPECT_NE(std::find(messages.begin(), messages.end(), Scheduled(path)), messages.end()) << Ansi(path);
    }
    const auto staged = sandbox.StagedFiles();
    ASSERT_EQ(staged.size(), 3u);
    for (const std::wstring& path : staged) EXPECT_TRUE(HasPendingDelete(path)) << Ansi(path);
    EXPECT_TRUE(HasPendingDelete(held)) << "the held file is requested by its listed path";
    for (const std::wstring& path : {readOnly, mapped, keep}) {
        EXPECT_FALSE(FileExists(path));
        EXPECT_FALSE(HasPendingDelete(path)) << Ansi(path);
    }

    // The tool lists them with the paths they were listed under, and puts one back.
    const std::wstring folder = sandbox.Dir().substr(0, sandbox.Dir().size() - 1);  // a \" would escape the quote
    const std::wstring dir = L" --dir \"" + folder + L"\"";
    const ProcessResult shown = Tool(L"staged" + dir);
    ASSERT_EQ(shown.exitCode, 0u) << shown.output;
    // "NAME<TAB>staged<TAB>path" a line: the name each listed path was staged under.
    auto nameOf = [&shown](const std::wstring& path) {
        const size_t at = shown.output.find("\tstaged\t" + Ansi(path) + "\r\n");
        if (at == std::string::npos) return std::wstring();
        const size_t begin = shown.output.rfind('\n', at) + 1;
        return std::wstring(shown.output.begin() + static_cast<long>(begin), shown.output.begin() + static_cast<long>(at));
    };
    for (const std::wstring& path : {readOnly, mapped, keep}) EXPECT_FALSE(nameOf(path).empty()) << shown.output;
    const ProcessResult restored = Tool(L"staged restore " + nameOf(keep) + dir);
    EXPECT_EQ(restored.exitCode, 0u) << restored.output;
    EXPECT_EQ(ReadBytes(keep), "flagged by the scanner");
    EXPECT_EQ(::GetFileAttributesW(keep.c_str()) & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(sandbox.StagedFiles().size(), 2u);
    for (const std::wstring& path : sandbox.StagedFiles()) EXPECT_TRUE(HasPendingDelete(path));
    EXPECT_EQ(ReadPendingRenames().size(), 6u) << "the restored file's request was not withdrawn";
    // Not over a file that stands at the listed path again.
    WriteBytes(mapped, "a new file of that name");
    const ProcessResult refused = Tool(L"staged restore " + nameOf(mapped) + dir);
    EXPECT_EQ(refused.exitCode, 1u) << refused.output;
    EXPECT_EQ(ReadBytes(mapped), "a new file of that name");
    EXPECT_EQ(sandbox.StagedFiles().size(), 2u);
    ::DeleteFileW(mapped.c_str());

    // Before the restart the owner swaps the folder for a link to the victims' folder.
    ::UnmapViewOfFile(view);
    mapping.reset();
    mappedFile.reset();
    holder.reset();
    ::SetFileAttributesW(keep.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(keep.c_str());
    ASSERT_TRUE(RunUnixScript("mv '" + UnixPathOf(files / L"user") + "' '" + UnixPathOf(files / L"user") +
                              ".real' && ln -s '" + UnixPathOf(files / L"victims") + "' '" +
                              UnixPathOf(files / L"user") + "'"));
    const ProcessResult restart = RunProcess(L"wineboot.exe -r", 120000);
    ASSERT_TRUE(restart.finished);
    for (const wchar_t* name : {L"important.dll", L"mapped.dll", L"keep.dll"}) {
        EXPECT_EQ(ReadBytes(victims + name), "the victim's own") << Ansi(name);
    }
    EXPECT_TRUE(sandbox.StagedFiles().empty()) << "the restart left a staged file";
    ASSERT_TRUE(RunUnixScript("rm '" + UnixPathOf(files / L"user") + "'"));
}

}  // namespace
