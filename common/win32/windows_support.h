// The one way the programs' Win32 layers include <windows.h> (Windows XP's API level, no
// rarely used parts, no min/max macros), and small owners of system handles so that nothing
// leaks on an error path. Shared by the three programs, each of which compiles it in.
#pragma once

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0501
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <utility>

namespace winsupport {

// The system's text for an error code, without its line end.
inline std::string SystemErrorText(DWORD code) {
    char* buf = nullptr;
    DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<char*>(&buf), 0, nullptr);
    std::string text = n && buf ? std::string(buf, n) : "System error " + std::to_string(code);
    if (buf) LocalFree(buf);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// Whether the system refused a file because another program holds it: open without sharing
// (or for a moment, by a scanner), a locked range, or a mapped view. A running program or a
// loaded library shows so to an open for writing; to a rename or delete, as access denied.
inline bool HeldByAnotherProgram(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_USER_MAPPED_FILE;
}

// Owners of system handles: move-only, each closes its handle when it goes.

// A kernel handle (file, process); none is INVALID_HANDLE_VALUE (null counts as none too).
class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    // Gives the handle up without closing it.
    HANDLE Release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }
    void Reset(HANDLE h = INVALID_HANDLE_VALUE) {
        if (Valid()) CloseHandle(h_);
        h_ = h;
    }

private:
    HANDLE h_;
};

// An open registry key.
class UniqueKey {
public:
    UniqueKey() = default;
    ~UniqueKey() {
        if (key_) RegCloseKey(key_);
    }
    UniqueKey(UniqueKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
    UniqueKey& operator=(UniqueKey&& other) noexcept {
        if (this != &other) {
            if (key_) RegCloseKey(key_);
            key_ = other.key_;
            other.key_ = nullptr;
        }
        return *this;
    }
    HKEY Get() const { return key_; }
    HKEY* Out() { return &key_; }

private:
    HKEY key_ = nullptr;
};

// A library loaded with LoadLibrary.
class UniqueModule {
public:
    explicit UniqueModule(HMODULE module = nullptr) : module_(module) {}
    ~UniqueModule() { Reset(); }
    UniqueModule(UniqueModule&& other) noexcept : module_(other.module_) { other.module_ = nullptr; }
    UniqueModule& operator=(UniqueModule&& other) noexcept {
        if (this != &other) {
            Reset();
            module_ = other.module_;
            other.module_ = nullptr;
        }
        return *this;
    }
    HMODULE Get() const { return module_; }
    void Reset() {
        if (module_) FreeLibrary(module_);
        module_ = nullptr;
    }

private:
    HMODULE module_;
};

// A function of a loaded library as its own type; null when the library lacks it.
template <class Function>
Function ProcAddress(HMODULE module, const char* name) {
    // Through the generic function type, which converts to and from every other.
    return module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)))
                  : nullptr;
}

// DLLs come from the system folder only. Tessarin.exe imports only DLLs that Windows always
// takes from there (KnownDLLs); an installer runs from a download folder, which may hold a
// planted copy of any other DLL, and runs elevated. Call first thing.
inline void LoadDllsFromSystemFolderOnly() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    // Windows 8 and later (7 with its update): every later load, the DLLs those DLLs load
    // included, searches the system folder alone.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    auto setDefault = ProcAddress<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories");
    if (setDefault && setDefault(kSearchSystem32)) return;
    // Older systems: at least the current folder leaves the search order (XP SP1 and later).
    using SetDllDirectoryFn = BOOL(WINAPI*)(const wchar_t*);
    auto setDirectory = ProcAddress<SetDllDirectoryFn>(kernel, "SetDllDirectoryW");
    if (setDirectory) setDirectory(L"");
}

// A library of the system folder, loaded by its full path; with the altered search order its
// own imports are looked for in its folder before the program's.
inline HMODULE LoadSystemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    std::wstring path = std::wstring(folder, n) + L"\\" + name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// A COM interface pointer, released when it goes.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (p_) p_->Release();
    }
    ComPtr(ComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            if (p_) p_->Release();
            p_ = other.p_;
            other.p_ = nullptr;
        }
        return *this;
    }
    T** Out() { return &p_; }
    T* operator->() const { return p_; }
    T* Get() const { return p_; }

private:
    T* p_ = nullptr;
};

}  // namespace winsupport
