// Winsock behind the socket client: event-selected sockets, waits that also wake for window
// messages, host look-up through a hidden notification window.
#pragma once

#include <functional>
#include <map>
#include <memory>

#include "sock_backend.h"
#include "windows_support.h"

#include <winsock2.h>

namespace nelkar {

class WinsockBackend : public SocketBackend {
public:
    WinsockBackend();
    ~WinsockBackend() override;

    int Startup(std::vector<std::string>* description) override;
    void Cleanup() override;
    SockHandle NewSocket() override;
    int CloseSocket(SockHandle s) override;
    int LastError() override { return lastError_; }
    bool ParseDotted(const std::string& host, uint32_t* addr) override;
    int LookUp(const std::string& host, uint32_t* addr, const std::function<bool()>& stop,
               const std::function<int()>& waitMs) override;
    int Connect(SockHandle s, uint32_t addr, uint16_t port) override;
    int Send(SockHandle s, const char* data, int len) override;
    int Recv(SockHandle s, char* data, int len, bool peek) override;
    NetEvents Wait(SockHandle s, unsigned interest, int timeoutMs) override;
    void DispatchMessages() override;
    uint32_t TickCount() override { return GetTickCount(); }

    // Messages that must pass through a dialog before dispatch (Tab, Enter); may be null.
    HWND dialog = nullptr;
    // Called when a wait takes the quit message off the queue. The message is not put back (a
    // pending quit would wake every further wait at once, and the wait would spin); whoever
    // runs the program's loop decides here how it ends. May be empty: run mode has no loop.
    std::function<void()> onQuit;

private:
    // Sent to the notification window when a host look-up has finished.
    static constexpr UINT kLookupMessage = WM_USER + 102;

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    int Fail();

    HWND window_ = nullptr;  // "SockWindowClass": receives the look-up results
    std::map<SockHandle, WSAEVENT> events_;
    int lastError_ = 0;
    // Look-ups whose completion message has not come yet, with their result buffers. A cancelled
    // look-up may still finish and write its buffer (Wine does not cancel at all), so its buffer
    // is kept until its message arrives.
    std::map<HANDLE, std::unique_ptr<char[]>> lookups_;
    HANDLE liveLookup_ = nullptr;  // the look-up being waited for; other completions are stale
    bool lookupDone_ = false;
    int lookupError_ = 0;
};

}  // namespace nelkar
