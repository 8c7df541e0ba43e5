// POSIX back end: non-blocking sockets, readiness through poll(); errno in Winsock numbering.
#include "posix_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sock_error.h"

namespace nelkar {
namespace {

int WsaFromErrno(int e) {
    switch (e) {
    case EAGAIN: return kWsaEwouldblock;
    case EINPROGRESS: return kWsaEinprogress;
    case EINTR: return kWsaEintr;
    case ENOTCONN: return kWsaEnotconn;
    case EPIPE: return kWsaEnotconn;
    case ECONNREFUSED: return kWsaEconnrefused;
    case ECONNRESET: return kWsaEconnreset;
    case ECONNABORTED: return kWsaEconnaborted;
    case ETIMEDOUT: return kWsaEtimedout;
    case EHOSTUNREACH: return kWsaEhostunreach;
    case ENETUNREACH: return 10051;
    case EBADF: return 10009;
    case EACCES: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: return 10024;
    case ENOTSOCK: return kWsaEnotsock;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case EISCONN: return 10056;
    default: return 10000 + e;
    }
}

}  // namespace

int PosixSocketBackend::SetError(int err) {
    lastError_ = WsaFromErrno(err);
    return -1;
}

int PosixSocketBackend::Startup(std::vector<std::string>* description) {
    *description = {"Version= 1.1",    "High Version= 1.1", "Description= POSIX sockets",
                    "System= Running", "Max Sockets= 1024", "Max Udp pack size= 65507"};
    return 0;
}

SockHandle PosixSocketBackend::NewSocket() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        SetError(errno);
        return kNoSocket;
    }
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    connecting_ = false;
    return fd;
}

int PosixSocketBackend::CloseSocket(SockHandle s) {
    if (::close(static_cast<int>(s)) != 0) return SetError(errno);
    return 0;
}

bool PosixSocketBackend::ParseDotted(const std::string& host, uint32_t* addr) {
    in_addr a{};
    if (::inet_pton(AF_INET, host.c_str(), &a) != 1) return false;
    *addr = a.s_addr;
    return true;
}

int PosixSocketBackend::LookUp(const std::string& host, uint32_t* addr, const std::function<bool()>& stop,
                               const std::function<int()>&) {
    if (stop()) return kWsaEintr;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || res == nullptr) return kWsaHostNotFound;
    *addr = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(res);
    return 0;
}

int PosixSocketBackend::Connect(SockHandle s, uint32_t addr, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = addr;
    sa.sin_port = htons(port);
    connecting_ = true;
    if (::connect(static_cast<int>(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) return 0;
    int e = errno;
    if (e == EINPROGRESS) e = EAGAIN;
    return SetError(e);
}

int PosixSocketBackend::Send(SockHandle s, const char* data, int len) {
    ssize_t n = ::send(static_cast<int>(s), data, static_cast<size_t>(len), MSG_NOSIGNAL);
    if (n < 0) return SetError(errno);
    return static_cast<int>(n);
}

int PosixSocketBackend::Recv(SockHandle s, char* data, int len, bool peek) {
    ssize_t n = ::recv(static_cast<int>(s), data, static_cast<size_t>(len), peek ? MSG_PEEK : 0);
    if (n < 0) return SetError(errno);
    return static_cast<int>(n);
}

NetEvents PosixSocketBackend::Wait(SockHandle s, unsigned interest, int timeoutMs) {
    NetEvents ev;
    pollfd p{static_cast<int>(s), 0, 0};
    if (interest & (kEvRead | kEvClose | kEvOob)) p.events |= POLLIN;
    if (interest & (kEvWrite | kEvConnect)) p.events |= POLLOUT;
    int rc = ::poll(&p, 1, timeoutMs);
    if (rc <= 0) return ev;
    if (connecting_ && (p.revents & (POLLOUT | POLLERR | POLLHUP))) {
        // The end of a connection attempt: success or its error, as one notification.
        int err = 0;
        socklen_t len = sizeof err;
        ::getsockopt(p.fd, SOL_SOCKET, SO_ERROR, &err, &len);
        connecting_ = false;
        ev.events |= kEvConnect;
        ev.connectError = err ? WsaFromErrno(err) : 0;
        return ev;
    }
    if (p.revents & POLLOUT) ev.events |= kEvWrite;
    if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
        char probe;
        ssize_t n = ::recv(p.fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0) {
            ev.events |= kEvRead;
        } else if (n == 0) {
            ev.events |= kEvClose;
        } else if (errno != EAGAIN) {
            ev.events |= kEvClose;
            ev.closeError = WsaFromErrno(errno);
        }
    }
    return ev;
}

uint32_t PosixSocketBackend::TickCount() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                                 static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

}  // namespace nelkar
