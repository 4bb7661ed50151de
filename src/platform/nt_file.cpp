#include "platform/nt_file.h"

#include <cstring>
#include <vector>

namespace platform {
namespace {

// The records of the calls, as the file system lays them out.
struct IoStatus {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};

struct UnicodeText {
    USHORT length;  // bytes
    USHORT capacity;
    const wchar_t* buffer;
};

struct ObjectAttributes {
    ULONG length;
    HANDLE root;
    const UnicodeText* name;
    ULONG attributes;
    void* securityDescriptor;
    void* securityQuality;
};

struct BasicInformation {
    LARGE_INTEGER creation, lastAccess, lastWrite, change;
    ULONG attributes;
};

struct StandardInformation {
    LARGE_INTEGER allocation, endOfFile;
    ULONG links;
    BOOLEAN deletePending;
    BOOLEAN directory;
};

struct AttributeTagInformation {
    ULONG attributes;
    ULONG reparseTag;
};

struct RenameInformation {
    BOOLEAN replace;
    HANDLE root;
    ULONG nameLength;  // bytes
    wchar_t name[1];
};

struct IdBothDirectoryInformation {
    ULONG next, index;
    LARGE_INTEGER creation, lastAccess, lastWrite, change, endOfFile, allocation;
    ULONG attributes, nameLength, eaSize;
    CCHAR shortNameLength;
    WCHAR shortName[12];
    LARGE_INTEGER fileId;
    WCHAR name[1];
};
constexpr int kIdBothDirectoryInformation = 37;

struct VolumeInformation {
    LARGE_INTEGER creation;
    ULONG serial;
    ULONG labelLength;
    BOOLEAN supportsObjects;
    wchar_t label[64];
};

enum InformationKind {
    kBasic = 4,
    kStandard = 5,
    kInternal = 6,
    kName = 9,
    kRename = 10,
    kDisposition = 13,
    kAttributeTag = 35,
    kStat = 68,
};

struct StatInformation {
    LARGE_INTEGER fileId, creation, lastAccess, lastWrite, change, allocation, endOfFile;
    ULONG attributes, reparseTag, links;
    ACCESS_MASK effectiveAccess;
};
constexpr int kVolumeInformation = 1;
constexpr LONG kBufferOverflow = static_cast<LONG>(0x80000005);

constexpr ULONG kObjCaseInsensitive = 0x40;
constexpr ULONG kFileOpen = 1;
constexpr ULONG kFileCreate = 2;
constexpr ULONG kSynchronousIo = 0x20;
constexpr ULONG kNonDirectory = 0x40;
constexpr ULONG kOpenReparsePoint = 0x200000;
constexpr ULONG kDeleteOnClose = 0x1000;
constexpr ULONG kBackupIntent = 0x4000;
constexpr LONG kNoSuchFile = static_cast<LONG>(0xC000000F);
constexpr LONG kNoMoreFiles = static_cast<LONG>(0x80000006);

template <typename Call>
Call Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Call>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

NativeFileCalls LookUpCalls() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    NativeFileCalls calls = {};
    calls.NtQueryInformationFile =
        Lookup<decltype(calls.NtQueryInformationFile)>(ntdll, "NtQueryInformationFile");
    calls.NtSetInformationFile = Lookup<decltype(calls.NtSetInformationFile)>(ntdll, "NtSetInformationFile");
    calls.NtQueryVolumeInformationFile =
        Lookup<decltype(calls.NtQueryVolumeInformationFile)>(ntdll, "NtQueryVolumeInformationFile");
    calls.NtCreateFile = Lookup<decltype(calls.NtCreateFile)>(ntdll, "NtCreateFile");
    calls.RtlNtStatusToDosError = Lookup<decltype(calls.RtlNtStatusToDosError)>(ntdll, "RtlNtStatusToDosError");
    calls.RtlEqualUnicodeString = Lookup<decltype(calls.RtlEqualUnicodeString)>(ntdll, "RtlEqualUnicodeString");
    calls.GetFinalPathNameByHandleW =
        Lookup<decltype(calls.GetFinalPathNameByHandleW)>(kernel, "GetFinalPathNameByHandleW");
    calls.MoveFileExW = &::MoveFileExW;
    calls.CreateFileW = &::CreateFileW;
    calls.WriteFile = &::WriteFile;
    calls.FlushFileBuffers = &::FlushFileBuffers;
    calls.SetEndOfFile = &::SetEndOfFile;
    calls.CreateDirectoryW = &::CreateDirectoryW;
    calls.RegSetValueExW = &::RegSetValueExW;
    calls.RegDeleteValueW = &::RegDeleteValueW;
    calls.ChangeServiceConfigW = &::ChangeServiceConfigW;
    calls.ChangeServiceConfig2W = &::ChangeServiceConfig2W;
    calls.NtQueryDirectoryFile = Lookup<decltype(calls.NtQueryDirectoryFile)>(ntdll, "NtQueryDirectoryFile");
    return calls;
}

const NativeFileCalls& RealCalls() {
    static const NativeFileCalls calls = LookUpCalls();
    return calls;
}

const NativeFileCalls* current = nullptr;

// The platform's own mapping: a failed status never maps to 0 (one it does not know maps
// to ERROR_MR_MID_NOT_FOUND).
DWORD ErrorOf(LONG status) { return status >= 0 ? ERROR_SUCCESS : NativeCalls().RtlNtStatusToDosError(status); }

template <typename Record>
DWORD Query(HANDLE file, Record& record, int kind) {
    IoStatus io = {};
    return ErrorOf(NativeCalls().NtQueryInformationFile(file, &io, &record, sizeof(record), kind));
}

template <typename Record>
DWORD Set(HANDLE file, Record& record, ULONG size, int kind) {
    IoStatus io = {};
    return ErrorOf(NativeCalls().NtSetInformationFile(file, &io, &record, size, kind));
}

UnicodeText TextOf(const std::wstring& text) {
    const USHORT bytes = static_cast<USHORT>(text.size() * sizeof(wchar_t));
    return UnicodeText{bytes, bytes, text.c_str()};
}

}  // namespace

const NativeFileCalls& NativeCalls() { return current ? *current : RealCalls(); }

NativeCallsOverride::NativeCallsOverride(const NativeFileCalls& calls) : previous_(current) {
    RealCalls();
    current = &calls;
}

NativeCallsOverride::~NativeCallsOverride() { current = previous_; }

DWORD QueryAttributes(HANDLE file, DWORD& attributes) {
    // The tag record carries the attributes with the reparse point bit, and nothing that
    // costs the platform a look at the disk.
    AttributeTagInformation tag = {};
    const DWORD error = Query(file, tag, kAttributeTag);
    if (error == ERROR_SUCCESS) attributes = tag.attributes;
    return error;
}

DWORD QueryStandard(HANDLE file, StandardFacts& facts) {
    StandardInformation standard = {};
    const DWORD error = Query(file, standard, kStandard);
    if (error != ERROR_SUCCESS) return error;
    facts.size = static_cast<uint64_t>(standard.endOfFile.QuadPart);
    facts.links = standard.links;
    return ERROR_SUCCESS;
}

DWORD QueryFileNumber(HANDLE file, uint64_t& number) {
    LARGE_INTEGER index = {};
    const DWORD error = Query(file, index, kInternal);
    if (error == ERROR_SUCCESS) number = static_cast<uint64_t>(index.QuadPart);
    return error;
}

DWORD QueryObjectFacts(HANDLE file, DWORD& attributes, uint32_t& links, uint64_t& number) {
    StatInformation stat = {};
    IoStatus io = {};
    const LONG status = NativeCalls().NtQueryInformationFile(file, &io, &stat, sizeof(stat), kStat);
    if (status >= 0) {
        attributes = stat.attributes;
        links = stat.links;
        number = static_cast<uint64_t>(stat.fileId.QuadPart);
        return ERROR_SUCCESS;
    }
    // Before Windows 10 the record is unknown (STATUS_INVALID_INFO_CLASS): the three queries.
    StandardFacts facts;
    DWORD error = QueryAttributes(file, attributes);
    if (error == ERROR_SUCCESS) error = QueryStandard(file, facts);
    if (error == ERROR_SUCCESS) error = QueryFileNumber(file, number);
    links = facts.links;
    return error;
}

DWORD QueryBasics(HANDLE file, FileBasics& basics) {
    BasicInformation basic = {};
    const DWORD error = Query(file, basic, kBasic);
    if (error != ERROR_SUCCESS) return error;
    basics.creation = basic.creation.QuadPart;
    basics.lastAccess = basic.lastAccess.QuadPart;
    basics.lastWrite = basic.lastWrite.QuadPart;
    basics.change = basic.change.QuadPart;
    basics.attributes = basic.attributes;
    return ERROR_SUCCESS;
}

DWORD SetBasics(HANDLE file, const FileBasics& basics) {
    BasicInformation basic = {};
    basic.creation.QuadPart = basics.creation;
    basic.lastAccess.QuadPart = basics.lastAccess;
    basic.lastWrite.QuadPart = basics.lastWrite;
    basic.change.QuadPart = basics.change;
    basic.attributes = basics.attributes ? basics.attributes : FILE_ATTRIBUTE_NORMAL;
    return Set(file, basic, sizeof(basic), kBasic);
}

DWORD SetAttributes(HANDLE file, DWORD attributes) {
    FileBasics basics;  // zero times: unchanged
    basics.attributes = attributes;
    return SetBasics(file, basics);
}

DWORD QueryVolumeSerial(HANDLE file, uint32_t& serial) {
    VolumeInformation volume = {};
    IoStatus io = {};
    const LONG status =
        NativeCalls().NtQueryVolumeInformationFile(file, &io, &volume, sizeof(volume), kVolumeInformation);
    // A label longer than the record still leaves the serial filled in.
    if (status < 0 && status != kBufferOverflow) return ErrorOf(status);
    serial = volume.serial;
    return ERROR_SUCCESS;
}

DWORD QueryPathWithinVolume(HANDLE file, std::wstring& path) {
    std::vector<unsigned char> buffer(sizeof(ULONG) + 32768 * sizeof(wchar_t));
    IoStatus io = {};
    const LONG status = NativeCalls().NtQueryInformationFile(file, &io, buffer.data(),
                                                             static_cast<ULONG>(buffer.size()), kName);
    if (status < 0) return ErrorOf(status);
    ULONG bytes = 0;
    std::memcpy(&bytes, buffer.data(), sizeof(bytes));
    bytes = bytes < buffer.size() - sizeof(ULONG) ? bytes : static_cast<ULONG>(buffer.size() - sizeof(ULONG));
    path.assign(reinterpret_cast<const wchar_t*>(buffer.data() + sizeof(ULONG)), bytes / sizeof(wchar_t));
    return ERROR_SUCCESS;
}

DWORD SetDeleteMark(HANDLE file, bool remove) {
    BOOLEAN mark = remove ? TRUE : FALSE;
    return Set(file, mark, sizeof(mark), kDisposition);
}

DWORD RenameOpenFile(HANDLE file, HANDLE folder, const std::wstring& name, bool replace) {
    std::vector<unsigned char> buffer(sizeof(RenameInformation) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<RenameInformation*>(buffer.data());
    rename->replace = replace ? TRUE : FALSE;
    rename->root = folder;
    rename->nameLength = static_cast<ULONG>(name.size() * sizeof(wchar_t));
    std::memcpy(rename->name, name.data(), name.size() * sizeof(wchar_t));
    return Set(file, *rename, static_cast<ULONG>(buffer.size()), kRename);
}

DWORD CreateNewFileIn(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                      UniqueFile& file, bool deleteOnClose, void* descriptor) {
    const UnicodeText text = TextOf(name);
    ObjectAttributes attributes = {sizeof(ObjectAttributes), folder, &text, kObjCaseInsensitive, descriptor,
                                   nullptr};
    IoStatus io = {};
    HANDLE created = nullptr;
    const LONG status = NativeCalls().NtCreateFile(&created, access | SYNCHRONIZE, &attributes, &io, nullptr,
                                                   FILE_ATTRIBUTE_NORMAL, share, kFileCreate,
                                                   kSynchronousIo | kNonDirectory | kOpenReparsePoint |
                                                       (deleteOnClose ? kDeleteOnClose : 0),
                                                   nullptr, 0);
    if (status < 0) return ErrorOf(status);
    file.reset(created);
    return ERROR_SUCCESS;
}

DWORD OpenInFolder(HANDLE folder, const std::wstring& name, ACCESS_MASK access, UniqueFile& file) {
    const UnicodeText text = TextOf(name);
    ObjectAttributes attributes = {sizeof(ObjectAttributes), folder, &text, kObjCaseInsensitive, nullptr, nullptr};
    IoStatus io = {};
    HANDLE opened = nullptr;
    const LONG status = NativeCalls().NtCreateFile(&opened, access | SYNCHRONIZE, &attributes, &io, nullptr, 0,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, kFileOpen,
                                                   kSynchronousIo | kOpenReparsePoint | kBackupIntent, nullptr, 0);
    if (status < 0) return ErrorOf(status);
    file.reset(opened);
    return ERROR_SUCCESS;
}

DWORD FindFolderEntry(HANDLE folder, const std::wstring& name, uint64_t& number, DWORD& attributes) {
    // Room for the record and a name of 255 characters.
    alignas(8) unsigned char buffer[sizeof(IdBothDirectoryInformation) + 256 * sizeof(wchar_t)];
    const UnicodeText mask = TextOf(name);
    IoStatus io = {};
    const LONG status = NativeCalls().NtQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &io, buffer,
                                                           sizeof(buffer), kIdBothDirectoryInformation, TRUE, &mask,
                                                           TRUE);
    if (status == kNoSuchFile || status == kNoMoreFiles) return ERROR_FILE_NOT_FOUND;
    if (status < 0) return ErrorOf(status);
    const auto* entry = reinterpret_cast<const IdBothDirectoryInformation*>(buffer);
    number = static_cast<uint64_t>(entry->fileId.QuadPart);
    attributes = entry->attributes;
    return ERROR_SUCCESS;
}

DWORD CopyContents(HANDLE source, HANDLE target) {
    std::vector<char> buffer(1 << 20);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return ::GetLastError();
        if (got == 0) break;
        for (DWORD done = 0, written = 0; done < got; done += written) {
            if (!NativeCalls().WriteFile(target, buffer.data() + done, got - done, &written, nullptr)) {
                return ::GetLastError();
            }
            // Nothing taken and nothing said: the device did not write.
            if (written == 0) return ERROR_WRITE_FAULT;
        }
    }
    return NativeCalls().FlushFileBuffers(target) ? ERROR_SUCCESS : ::GetLastError();
}

DWORD ListFileNames(HANDLE folder, std::vector<std::wstring>& names) {
    names.clear();
    std::vector<unsigned char> buffer(64 * 1024);
    for (BOOLEAN restart = TRUE;; restart = FALSE) {
        IoStatus io = {};
        const LONG status = NativeCalls().NtQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &io, buffer.data(),
                                                               static_cast<ULONG>(buffer.size()),
                                                               kIdBothDirectoryInformation, FALSE, nullptr, restart);
        if (status == kNoMoreFiles || (status == kNoSuchFile && restart)) return ERROR_SUCCESS;
        if (status < 0) return ErrorOf(status);
        for (size_t offset = 0;;) {
            const auto* entry = reinterpret_cast<const IdBothDirectoryInformation*>(buffer.data() + offset);
            if (!(entry->attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                names.emplace_back(entry->name, entry->nameLength / sizeof(wchar_t));
            }
            if (entry->next == 0) break;
            offset += entry->next;
        }
    }
}

bool SamePathText(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    if (a.size() * sizeof(wchar_t) > 0xFFFF) return a == b;
    const UnicodeText first = TextOf(a);
    const UnicodeText second = TextOf(b);
    return NativeCalls().RtlEqualUnicodeString(&first, &second, TRUE) != FALSE;
}

}  // namespace platform
