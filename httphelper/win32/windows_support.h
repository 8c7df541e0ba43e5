// The one way the helper's Win32 layer includes <windows.h>, and small owners of system handles.
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
#include <winsock2.h>
#include <windows.h>

#include <string>
#include <utility>

namespace nelkar {

// A kernel handle, closed when the owner goes.
class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        Reset(o.Release());
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

// An open registry key, closed when the owner goes.
class UniqueKey {
public:
    UniqueKey() = default;
    ~UniqueKey() {
        if (key_) RegCloseKey(key_);
    }
    UniqueKey(UniqueKey&& o) noexcept : key_(std::exchange(o.key_, nullptr)) {}
    UniqueKey& operator=(UniqueKey&& o) noexcept {
        std::swap(key_, o.key_);
        return *this;
    }
    UniqueKey(const UniqueKey&) = delete;
    UniqueKey& operator=(const UniqueKey&) = delete;

    HKEY Get() const { return key_; }
    // Where an opening call stores the key.
    HKEY* Out() { return &key_; }

private:
    HKEY key_ = nullptr;
};

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

}  // namespace nelkar
