// The service's own files beside it, and QuorvaneTool's beside a list: the log, the list,
// their temporary names and the damaged copies. Whoever can put a link, or a second name
// of another file, at one of those names must not steer what is appended, written, moved
// or replaced: every victim keeps its bytes and its place, nothing appears where a link
// points, and the run still ends stopped. Links are made on the Unix side of the prefix.
#include <gtest/gtest.h>

#include <functional>

#include "fault_support.h"
#include "platform/win32.h"
#include "support/list_writer.h"
#include "support/log_reader.h"
#include "support/process.h"
#include "support/service_sandbox.h"
#include "support/unix_side.h"

namespace {

using namespace testing_support;
using namespace fault_support;

const std::string kDamaged = "not a list at all";

struct Case {
    const char* what;
    std::function<void(ServiceSandbox&, const std::wstring& victim)> arrange;
    std::function<void(ServiceSandbox&)> expect;
};

TEST(OwnFiles, NoneIsWrittenMovedOrReplacedThroughALink) {
    TempDir files;
    const std::wstring victims = files / L"victims\\";
    ASSERT_TRUE(::CreateDirectoryW(victims.c_str(), nullptr));
    auto link = [](const std::wstring& target, const std::wstring& at) { ASSERT_TRUE(MakeUnixLink(target, at)); };
    auto hardLink = [](const std::wstring& target, const std::wstring& at) {
        ASSERT_TRUE(MakeUnixHardLink(target, at));
    };
    auto damagedList = [](ServiceSandbox& s) { WriteBytes(s.ListPath(), kDamaged); };
    auto listedFileDeleted = [&files](ServiceSandbox& s) {
        WriteBytes(files / L"listed.tmp", "x");
        WriteBytes(s.ListPath(), ListFileBytes({{files / L"listed.tmp"}}));
    };

    const std::vector<Case> cases = {
        {"the log a link", [&](ServiceSandbox& s, const std::wstring& v) { listedFileDeleted(s); link(v, s.LogPath()); },
         [&](ServiceSandbox&) { EXPECT_FALSE(FileExists(files / L"listed.tmp")) << "the run did its work"; }},
        {"the log a dangling link",
         [&](ServiceSandbox& s, const std::wstring& v) { link(v + L".absent", s.LogPath()); },
         [&](ServiceSandbox&) { EXPECT_FALSE(FileExists(victims + L"log.absent")); }},
        {"the log a hard link", [&](ServiceSandbox& s, const std::wstring& v) { hardLink(v, s.LogPath()); }, {}},
        {"the new list's name a link, no list",
         [&](ServiceSandbox& s, const std::wstring& v) { link(v, s.ListPath() + L".svc.new"); },
         [](ServiceSandbox& s) { EXPECT_FALSE(FileExists(s.ListPath())); }},
        {"the new list's name a hard link, no list",
         [&](ServiceSandbox& s, const std::wstring& v) { hardLink(v, s.ListPath() + L".svc.new"); },
         [](ServiceSandbox& s) { EXPECT_FALSE(FileExists(s.ListPath())); }},
        {"the new list's name a link, the list damaged",
         [&](ServiceSandbox& s, const std::wstring& v) { damagedList(s); link(v, s.ListPath() + L".svc.new"); },
         [](ServiceSandbox& s) { EXPECT_EQ(ReadBytes(s.ListPath() + L".bad"), kDamaged); }},
        {"the new list's name a hard link, the list damaged",
         [&](ServiceSandbox& s, const std::wstring& v) { damagedList(s); hardLink(v, s.ListPath() + L".svc.new"); },
         [](ServiceSandbox& s) { EXPECT_EQ(ReadBytes(s.ListPath() + L".bad"), kDamaged); }},
        {"the list a link", [&](ServiceSandbox& s, const std::wstring& v) { link(v, s.ListPath()); },
         [](ServiceSandbox& s) { EXPECT_FALSE(FileExists(s.ListPath() + L".bad")); }},
        {"the first copy's name a link",
         [&](ServiceSandbox& s, const std::wstring& v) { damagedList(s); link(v, s.ListPath() + L".bad"); },
         [](ServiceSandbox& s) {
             EXPECT_EQ(ReadBytes(s.ListPath() + L".bad.1"), kDamaged);
             EXPECT_EQ(ReadBytes(s.ListPath()), ListFileBytes({}));
         }},
    };

    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring victim = victims + L"victim" + std::to_wstring(++index) + L".bat";
        const std::string bytes = "@echo the victim's own script " + std::to_string(index) + "\r\n";
        WriteBytes(victim, bytes);
        ServiceSandbox sandbox;
        c.arrange(sandbox, victim);
        sandbox.RunOnce(L"/debugmode");
        ExpectEndedStopped(sandbox);
        EXPECT_EQ(ReadBytes(victim), bytes) << "the victim was written, moved or replaced";
        if (c.expect) c.expect(sandbox);
    }

    // QuorvaneTool's own new file a link: the update fails, the victim is not consumed as
    // the list nor written, and the list is as it was.
    const std::wstring list = files / L"tool.dat";
    const std::string before = ListFileBytes({{L"C:\\a.tmp"}});
    WriteBytes(list, before);
    const std::wstring victim = victims + L"tool-victim.dat";
    WriteBytes(victim, ListFileBytes({{L"C:\\victim-entry.tmp"}}));
    link(victim, list + L".new");
    const ProcessResult r = RunProcess(L"\"" + BinDir() + L"QuorvaneTool.exe\" list add \"" + list + L"\" C:\\b.tmp");
    EXPECT_EQ(r.exitCode, 1u) << r.output;
    EXPECT_EQ(ReadBytes(list), before);
    EXPECT_EQ(ReadBytes(victim), ListFileBytes({{L"C:\\victim-entry.tmp"}}));
}

}  // namespace
