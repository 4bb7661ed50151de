#pragma once
// Move-only owners for the kinds of handle the program holds. "Empty" is part of the
// kind: CreateFile and FindFirstFile fail with INVALID_HANDLE_VALUE, the others with NULL.
#include "platform/win32.h"

namespace platform {

// Opened so that no one else's read, write, delete or rename of the file is refused.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Type value) noexcept : value_(value) {}
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { reset(); }

    Type get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::Empty(); }

    Type release() noexcept {
        Type value = value_;
        value_ = Traits::Empty();
        return value;
    }

    // Closing keeps the thread's last-error code, so a caller can still read the code
    // of the call that failed before the owner went out of scope.
    void reset(Type value = Traits::Empty()) noexcept {
        if (value_ != Traits::Empty()) {
            const DWORD lastError = ::GetLastError();
            Traits::Close(value_);
            ::SetLastError(lastError);
        }
        value_ = value;
    }

private:
    Type value_ = Traits::Empty();
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

struct FileHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};

struct RegistryKeyTraits {
    using Type = HKEY;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::RegCloseKey(h); }
};

struct ModuleTraits {
    using Type = HMODULE;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::FreeLibrary(h); }
};

// Memory the platform allocates for its caller (security descriptors, SID and SDDL texts).
struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::LocalFree(h); }
};

// An owner that closes through a call handed in with the value: the calls of the event
// log and message code go through tables that a test fills with its own, the close too.
// Empty at null; the close's result is not used; the last-error code is kept.
template <typename Type, typename Result>
class UniqueClosedBy {
public:
    using Close = Result(WINAPI*)(Type);

    UniqueClosedBy(Type value, Close close) noexcept : value_(value), close_(close) {}
    UniqueClosedBy(const UniqueClosedBy&) = delete;
    UniqueClosedBy& operator=(const UniqueClosedBy&) = delete;
    ~UniqueClosedBy() {
        if (value_) {
            const DWORD lastError = ::GetLastError();
            close_(value_);
            ::SetLastError(lastError);
        }
    }

    Type get() const noexcept { return value_; }

private:
    Type value_;
    Close close_;
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;  // events, threads, mutexes, processes
using UniqueFile = UniqueResource<FileHandleTraits>;
using UniqueFind = UniqueResource<FindHandleTraits>;
using UniqueHKey = UniqueResource<RegistryKeyTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueLocal = UniqueResource<LocalMemoryTraits>;

}  // namespace platform
