// Win32 only: Winsock sockets selected onto events, and message-aware waits on them.
#include "winsock_backend.h"

#include <cstring>

#include "message_pump.h"

namespace nelkar {
namespace {

const char kWindowClass[] = "SockWindowClass";

}  // namespace

WinsockBackend::WinsockBackend() {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = inst;
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    window_ = CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              inst, nullptr);
    if (window_) SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

WinsockBackend::~WinsockBackend() {
    for (auto& e : events_) {
        closesocket(static_cast<SOCKET>(e.first));
        WSACloseEvent(e.second);
    }
    if (window_) DestroyWindow(window_);
    // A look-up still outstanding may write its buffer at any time until the process ends.
    for (auto& l : lookups_) l.second.release();
}

LRESULT CALLBACK WinsockBackend::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kLookupMessage) {
        // wParam is the handle of the look-up that finished.
        auto* self = reinterpret_cast<WinsockBackend*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        HANDLE request = reinterpret_cast<HANDLE>(wp);
        if (!self) return 0;
        if (request == self->liveLookup_) {
            self->lookupDone_ = true;
            self->lookupError_ = WSAGETASYNCERROR(lp);
        } else {
            // A cancelled look-up that finished anyway: its buffer is no longer written.
            self->lookups_.erase(request);
        }
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

int WinsockBackend::Fail() {
    lastError_ = WSAGetLastError();
    return -1;
}

int WinsockBackend::Startup(std::vector<std::string>* description) {
    WSADATA data{};
    int rc = WSAStartup(MAKEWORD(1, 1), &data);
    if (rc != 0) return rc;
    *description = {
        "Version= " + std::to_string(LOBYTE(data.wVersion)) + "." + std::to_string(HIBYTE(data.wVersion)),
        "High Version= " + std::to_string(LOBYTE(data.wHighVersion)) + "." +
            std::to_string(HIBYTE(data.wHighVersion)),
        std::string("Description= ") + data.szDescription,
        std::string("System= ") + data.szSystemStatus,
        "Max Sockets= " + std::to_string(data.iMaxSockets),
        "Max Udp pack size= " + std::to_string(data.iMaxUdpDg)};
    return 0;
}

void WinsockBackend::Cleanup() { WSACleanup(); }

SockHandle WinsockBackend::NewSocket() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        Fail();
        return kNoSocket;
    }
    linger l{};
    l.l_onoff = 1;
    l.l_linger = 0;
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
    WSAEVENT ev = WSACreateEvent();
    // Selecting the socket onto an event also makes it non-blocking.
    if (ev == WSA_INVALID_EVENT ||
        WSAEventSelect(s, ev, FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE) != 0) {
        Fail();
        if (ev != WSA_INVALID_EVENT) WSACloseEvent(ev);
        closesocket(s);
        return kNoSocket;
    }
    events_[static_cast<SockHandle>(s)] = ev;
    return static_cast<SockHandle>(s);
}

int WinsockBackend::CloseSocket(SockHandle s) {
    auto it = events_.find(s);
    if (it != events_.end()) {
        WSAEventSelect(static_cast<SOCKET>(s), it->second, 0);
        WSACloseEvent(it->second);
        events_.erase(it);
    }
    if (closesocket(static_cast<SOCKET>(s)) != 0) return Fail();
    return 0;
}

bool WinsockBackend::ParseDotted(const std::string& host, uint32_t* addr) {
    unsigned long a = inet_addr(host.c_str());
    if (a == INADDR_NONE) return false;
    *addr = a;
    return true;
}

int WinsockBackend::LookUp(const std::string& host, uint32_t* addr, const std::function<bool()>& stop,
                           const std::function<int()>& waitMs) {
    lookupDone_ = false;
    lookupError_ = 0;
    std::unique_ptr<char[]> buffer(new char[MAXGETHOSTSTRUCT]);
    HANDLE request =
        WSAAsyncGetHostByName(window_, kLookupMessage, host.c_str(), buffer.get(), MAXGETHOSTSTRUCT);
    if (!request) return WSAGetLastError();
    const hostent* he = reinterpret_cast<const hostent*>(buffer.get());
    lookups_[request] = std::move(buffer);
    liveLookup_ = request;
    for (;;) {
        DispatchMessages();
        if (lookupDone_) break;
        if (stop()) {
            WSACancelAsyncRequest(request);
            liveLookup_ = nullptr;
            return WSAEINTR;
        }
        int ms = waitMs();
        MsgWaitForMultipleObjectsEx(0, nullptr, ms < 0 ? INFINITE : static_cast<DWORD>(ms), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
    liveLookup_ = nullptr;
    int rc = lookupError_;
    if (rc == 0 && (he->h_addrtype != AF_INET || !he->h_addr_list || !he->h_addr_list[0]))
        rc = WSAHOST_NOT_FOUND;
    if (rc == 0) std::memcpy(addr, he->h_addr_list[0], 4);
    lookups_.erase(request);
    return rc;
}

int WinsockBackend::Connect(SockHandle s, uint32_t addr, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = addr;
    sa.sin_port = htons(port);
    if (connect(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return Fail();
    return 0;
}

int WinsockBackend::Send(SockHandle s, const char* data, int len) {
    int n = send(static_cast<SOCKET>(s), data, len, 0);
    return n == SOCKET_ERROR ? Fail() : n;
}

int WinsockBackend::Recv(SockHandle s, char* data, int len, bool peek) {
    int n = recv(static_cast<SOCKET>(s), data, len, peek ? MSG_PEEK : 0);
    return n == SOCKET_ERROR ? Fail() : n;
}

NetEvents WinsockBackend::Wait(SockHandle s, unsigned, int timeoutMs) {
    NetEvents out;
    auto it = events_.find(s);
    if (it == events_.end()) return out;
    DWORD rc =
        MsgWaitForMultipleObjectsEx(1, &it->second, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs),
                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (rc != WAIT_OBJECT_0) return out;
    WSANETWORKEVENTS ne{};
    if (WSAEnumNetworkEvents(static_cast<SOCKET>(s), it->second, &ne) != 0) return out;
    const struct {
        long fd;
        unsigned ev;
    } map[] = {{FD_READ, kEvRead},     {FD_WRITE, kEvWrite},     {FD_OOB, kEvOob},
               {FD_ACCEPT, kEvAccept}, {FD_CONNECT, kEvConnect}, {FD_CLOSE, kEvClose}};
    for (const auto& m : map)
        if (ne.lNetworkEvents & m.fd) out.events |= m.ev;
    if (ne.lNetworkEvents & FD_CONNECT) out.connectError = ne.iErrorCode[FD_CONNECT_BIT];
    if (ne.lNetworkEvents & FD_CLOSE) out.closeError = ne.iErrorCode[FD_CLOSE_BIT];
    return out;
}

void WinsockBackend::DispatchMessages() {
    if (!DispatchPendingMessages(dialog) && onQuit) onQuit();
}

}  // namespace nelkar
