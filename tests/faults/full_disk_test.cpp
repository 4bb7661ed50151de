// The service's folder on a full disk: full_disk_test.sh mounts a small tmpfs inside the
// prefix, the sandbox goes there, and a filler file takes every free byte. No run may
// leave an empty or partial list or lose a damaged copy, and once space is free again a
// later run recovers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "fault_support.h"
#include "platform/handles.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "support/list_writer.h"
#include "support/service_sandbox.h"

namespace {

using namespace testing_support;
using namespace fault_support;

std::wstring FullRoot() {
    const char* root = std::getenv("QUORVANE_FULL_ROOT");
    return root ? platform::FromUtf8(root) : std::wstring();
}

// Writes until the file system refuses another byte.
void FillUp(const std::wstring& filler) {
    platform::UniqueFile file(::CreateFileW(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot create the filler file");
    const std::string chunk(1 << 16, 'f');
    for (DWORD size : {DWORD{1} << 16, DWORD{4096}, DWORD{1}}) {
        DWORD written = 0;
        while (::WriteFile(file.get(), chunk.data(), size, &written, nullptr) && written == size) {
        }
    }
}

class FullDisk : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(FullRoot().empty()) << "run through full_disk_test.sh";
        // Only the sandbox goes onto the small disk; the tests' own files stay off it.
        wchar_t temp[MAX_PATH] = {};
        ::GetEnvironmentVariableW(L"TMP", temp, MAX_PATH);
        ::SetEnvironmentVariableW(L"TMP", FullRoot().c_str());
        sandbox = std::make_unique<ServiceSandbox>();
        ::SetEnvironmentVariableW(L"TMP", temp);
        ASSERT_EQ(sandbox->Dir().rfind(FullRoot(), 0), 0u);
        sandbox->Register(L"/debugmode");
    }
    void TearDown() override {
        ::DeleteFileW(Filler().c_str());
        sandbox.reset();
    }

    std::wstring Filler() const { return FullRoot() + L"filler"; }
    std::wstring Copy(const wchar_t* suffix) const { return sandbox->ListPath() + suffix; }

    void Run() const {
        sandbox->Start();
        ASSERT_TRUE(sandbox->WaitUntilFinished(120000));
        ExpectEndedStopped(*sandbox);
        EXPECT_FALSE(FileExists(Copy(L".svc.new"))) << "a failed write left its file";
    }

    std::unique_ptr<ServiceSandbox> sandbox;
    TempDir files;
};

TEST_F(FullDisk, NoRunLeavesAnEmptyListOrLosesACopyAndALaterRunRecovers) {
    const std::wstring listed = files / L"listed.tmp";
    WriteBytes(listed, "x");
    const std::string damaged = ListFileBytes({{listed}, {listed}}).substr(0, 60);
    WriteBytes(Copy(L".bad"), "an older damaged list");
    WriteBytes(sandbox->ListPath(), damaged);
    FillUp(Filler());

    // A damaged list beside an older copy moves to the next copy name; its fresh
    // replacement cannot be written, and no empty one takes its place.
    Run();
    EXPECT_FALSE(FileExists(sandbox->ListPath()));
    EXPECT_EQ(ReadBytes(Copy(L".bad")), "an older damaged list");
    EXPECT_EQ(ReadBytes(Copy(L".bad.1")), damaged);

    // No list at all: it cannot be created, and no empty one is left for the next start
    // to take for damage.
    Run();
    EXPECT_FALSE(FileExists(sandbox->ListPath()));
    EXPECT_FALSE(FileExists(Copy(L".bad.2")));

    ASSERT_TRUE(::DeleteFileW(Filler().c_str()));
    Run();
    EXPECT_EQ(ReadBytes(sandbox->ListPath()), ListFileBytes({}));
    EXPECT_EQ(ReadBytes(Copy(L".bad")), "an older damaged list");
    EXPECT_EQ(ReadBytes(Copy(L".bad.1")), damaged);
    EXPECT_TRUE(FileExists(listed)) << "an entry of a damaged list was handled";
}

}  // namespace
