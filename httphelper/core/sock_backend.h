// The small socket interface under the socket client: Winsock in the programs, POSIX sockets
// in the native tests and the benchmark.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nelkar {

using SockHandle = std::intptr_t;
constexpr SockHandle kNoSocket = -1;

// Notifications a socket can deliver, as the Winsock FD_* bits.
enum NetEvent : unsigned {
    kEvRead = 1,
    kEvWrite = 2,
    kEvOob = 4,
    kEvAccept = 8,
    kEvConnect = 16,
    kEvClose = 32,
};

struct NetEvents {
    unsigned events = 0;   // NetEvent bits that are pending
    int connectError = 0;  // with kEvConnect: 0 or the error of the attempt
    int closeError = 0;    // with kEvClose: 0 or the error that ended the connection
};

class SocketBackend {
public:
    virtual ~SocketBackend() = default;

    // Starts the sockets library; fills the description lines (version, highest version,
    // description, system status, maximum sockets, maximum datagram size). 0 or an error code.
    virtual int Startup(std::vector<std::string>* description) = 0;
    virtual void Cleanup() = 0;

    // A non-blocking IPv4 stream socket that closes abortively and reports read, write, out
    // of band, accept, connect and close; kNoSocket on failure (LastError tells why).
    virtual SockHandle NewSocket() = 0;
    virtual int CloseSocket(SockHandle s) = 0;  // 0, or -1 with LastError set
    virtual int LastError() = 0;                // Winsock numbering

    // A dotted IPv4 address, in network byte order; false when `host` is not one.
    virtual bool ParseDotted(const std::string& host, uint32_t* addr) = 0;
    // Looks a host name up. While it waits, pending messages are dispatched and, on every turn,
    // `stop` is asked whether to give up; `waitMs` tells how long a turn may block (-1: until
    // a message arrives). 0 with the first IPv4 address, or an error code.
    virtual int LookUp(const std::string& host, uint32_t* addr, const std::function<bool()>& stop,
                       const std::function<int()>& waitMs) = 0;

    virtual int Connect(SockHandle s, uint32_t addr, uint16_t port) = 0;  // 0, or -1 (LastError)
    virtual int Send(SockHandle s, const char* data, int len) = 0;        // bytes, or -1
    virtual int Recv(SockHandle s, char* data, int len, bool peek) = 0;   // bytes, 0 at close, or -1

    // Blocks until a notification of `interest` is pending on `s`, a window message arrives, or
    // `timeoutMs` passes (-1: no limit). Uses no processor time while nothing happens. Returns
    // the notifications that were pending (none when woken by a message or the time limit).
    virtual NetEvents Wait(SockHandle s, unsigned interest, int timeoutMs) = 0;

    // Dispatches the program's pending window messages without waiting.
    virtual void DispatchMessages() = 0;

    // Milliseconds of a free-running clock (wraps at 2^32).
    virtual uint32_t TickCount() = 0;
};

}  // namespace nelkar
