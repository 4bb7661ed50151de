// The version resource and the application manifest of both executables, read back
// through the platform's version API and resource loader, and the version the tool prints.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "support/log_texts.h"
#include "support/process.h"
#include "support/test_files.h"
#include "support/wine_version.h"

namespace {

using namespace testing_support;

const wchar_t* const kExecutables[] = {L"QuorvaneService.exe", L"QuorvaneTool.exe"};

struct VersionResource {
    VS_FIXEDFILEINFO fixed = {};
    WORD language = 0;
    WORD codePage = 0;
    std::vector<BYTE> data;

    std::wstring String(const std::wstring& name) const {
        wchar_t block[32];
        swprintf(block, 32, L"\\StringFileInfo\\%04x%04x\\", language, codePage);
        void* value = nullptr;
        UINT chars = 0;
        if (!::VerQueryValueW(data.data(), (block + name).c_str(), &value, &chars) || !value) return {};
        return std::wstring(static_cast<const wchar_t*>(value));
    }
};

bool ReadVersionResource(const std::wstring& file, VersionResource* out) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0) return false;
    out->data.assign(size, 0);
    if (!::GetFileVersionInfoW(file.c_str(), 0, size, out->data.data())) return false;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(out->data.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    out->fixed = *static_cast<VS_FIXEDFILEINFO*>(value);
    if (!::VerQueryValueW(out->data.data(), L"\\VarFileInfo\\Translation", &value, &length) || length < 4) {
        return false;
    }
    out->language = static_cast<WORD*>(value)[0];
    out->codePage = static_cast<WORD*>(value)[1];
    return true;
}

std::string ManifestOf(const std::wstring& file) {
    platform::UniqueModule module(::LoadLibraryExW(
        file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module) return {};
    // 1: the manifest the loader reads when it creates the process.
    const HRSRC found = ::FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (!found) return {};
    const HGLOBAL loaded = ::LoadResource(module.get(), found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes) return {};
    return std::string(static_cast<const char*>(bytes), ::SizeofResource(module.get(), found));
}

TEST(VersionResource, BothExecutablesCarryTheProjectVersionAndTheProductsNames) {
    const std::wstring version = L"" QUORVANE_VERSION;
    for (const wchar_t* exe : kExecutables) {
        SCOPED_TRACE(exe);
        VersionResource resource;
        ASSERT_TRUE(ReadVersionResource(BinDir() + exe, &resource));
        const VS_FIXEDFILEINFO& fixed = resource.fixed;
        EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(fixed.dwFileVersionMS, MAKELONG(QUORVANE_VERSION_MINOR, QUORVANE_VERSION_MAJOR));
        EXPECT_EQ(fixed.dwFileVersionLS, MAKELONG(0, QUORVANE_VERSION_PATCH));
        EXPECT_EQ(fixed.dwProductVersionMS, fixed.dwFileVersionMS);
        EXPECT_EQ(fixed.dwProductVersionLS, fixed.dwFileVersionLS);
        EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));
        EXPECT_EQ(fixed.dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));

        EXPECT_EQ(resource.language, 0x0804);
        EXPECT_EQ(resource.codePage, 1200);
        EXPECT_EQ(resource.String(L"FileVersion"), version);
        EXPECT_EQ(resource.String(L"ProductVersion"), version);
        EXPECT_EQ(resource.String(L"OriginalFilename"), exe);
        EXPECT_EQ(resource.String(L"CompanyName"), L"Varnholt");
        EXPECT_EQ(resource.String(L"ProductName"), L"Zintra(Quorvane)");
        // The application title, Chinese and all: the resource compiler read UTF-8.
        EXPECT_EQ(resource.String(L"FileDescription").rfind(texts::kTitle, 0), 0u)
            << platform::ToUtf8(resource.String(L"FileDescription"));
    }

    const ProcessResult printed = RunProcess(L"\"" + BinDir() + L"QuorvaneTool.exe\" --version");
    EXPECT_EQ(printed.exitCode, 0u);
    EXPECT_EQ(printed.output, "QuorvaneTool " QUORVANE_VERSION "\r\n");
}

TEST(VersionResource, TheManifestDeclaresVistaTo10AndAsInvoker) {
    const char* const supportedOs[] = {
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
    };
    for (const wchar_t* exe : kExecutables) {
        SCOPED_TRACE(exe);
        const std::string manifest = ManifestOf(BinDir() + exe);
        ASSERT_FALSE(manifest.empty());
        for (const char* id : supportedOs) EXPECT_NE(manifest.find(id), std::string::npos) << id;
        EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
        EXPECT_EQ(manifest.find("<activeCodePage"), std::string::npos);
    }

    // Without the Windows 10 entry the platform would report Windows 8 (6.2) here.
    TempDir dir;
    const std::wstring name = L"QuorvaneTool-win10.exe";
    ASSERT_TRUE(::CopyFileW((BinDir() + L"QuorvaneTool.exe").c_str(), (dir / name).c_str(), FALSE));
    WineVersionOverride versionOverride(name, L"win10");
    const ProcessResult printed = RunProcess(L"\"" + (dir / name) + L"\" osversion");
    EXPECT_EQ(printed.exitCode, 0u);
    EXPECT_EQ(printed.output.rfind("Windows NT 10.0 ", 0), 0u) << printed.output;
}

}  // namespace
