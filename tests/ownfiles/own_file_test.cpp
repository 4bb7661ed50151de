// The programs' own files in process, on real files under Wine: created new, opened only
// as a plain file with one name at the path expected, and the known file of a log that is
// opened once an entry.
#include "ownfiles/own_file.h"

#include <gtest/gtest.h>

#include "platform/win32.h"
#include "support/test_files.h"
#include "support/unix_side.h"

namespace {

using namespace testing_support;
using ownfiles::OwnState;

class OwnFiles : public ::testing::Test {
protected:
    TempDir dir;
    std::wstring folder;

    void SetUp() override { ASSERT_EQ(ownfiles::FinalFolderPath(dir.Path(), folder), 0u); }
    ownfiles::OwnFile Open(const std::wstring& name, ownfiles::KnownOwnFile* known = nullptr) {
        return ownfiles::OpenOrCreateOwnFile(dir / name, folder + L"\\" + name, FILE_APPEND_DATA,
                                             FILE_SHARE_READ, known);
    }
};

TEST_F(OwnFiles, AMissingFileIsCreatedAndAKnownOneReopenedByItsNumber) {
    ownfiles::KnownOwnFile known;
    ownfiles::OwnFile created = Open(L"log.txt", &known);
    ASSERT_EQ(created.state, OwnState::Opened) << created.error;
    created.handle.reset();
    EXPECT_TRUE(FileExists(dir / L"log.txt"));
    const uint64_t first = known.number;
    EXPECT_NE(first, 0u);
    EXPECT_EQ(Open(L"log.txt", &known).state, OwnState::Opened);

    // Another file at the name since: checked afresh, and known by its own number.
    WriteBytes(dir / L"other.txt", "another");  // made while the first exists: another number
    ASSERT_TRUE(::DeleteFileW((dir / L"log.txt").c_str()));
    ASSERT_TRUE(::MoveFileW((dir / L"other.txt").c_str(), (dir / L"log.txt").c_str()));
    EXPECT_EQ(Open(L"log.txt", &known).state, OwnState::Opened);
    EXPECT_NE(known.number, first);
}

TEST_F(OwnFiles, NothingButAPlainFileWithOneNameIsUsed) {
    WriteBytes(dir / L"victim.txt", "not the log's");
    ASSERT_TRUE(::CreateHardLinkW((dir / L"second.txt").c_str(), (dir / L"victim.txt").c_str(), nullptr));
    ASSERT_TRUE(MakeUnixLink(dir / L"victim.txt", dir / L"link.txt"));
    ASSERT_TRUE(MakeUnixLink(dir / L"nowhere.txt", dir / L"dangling.txt"));
    ASSERT_TRUE(::CreateDirectoryW((dir / L"folder.txt").c_str(), nullptr));
    ownfiles::KnownOwnFile known;
    EXPECT_EQ(Open(L"second.txt", &known).state, OwnState::Link);
    EXPECT_EQ(Open(L"link.txt", &known).state, OwnState::Link);
    EXPECT_EQ(Open(L"dangling.txt", &known).state, OwnState::Link);
    EXPECT_EQ(Open(L"folder.txt", &known).state, OwnState::Folder);
    EXPECT_FALSE(FileExists(dir / L"nowhere.txt")) << "created through a dangling link";
    EXPECT_EQ(ReadBytes(dir / L"victim.txt"), "not the log's");
    EXPECT_EQ(known.number, 0u) << "nothing refused is known";
}

}  // namespace
