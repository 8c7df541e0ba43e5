// POSIX sockets behind the socket client: native tests and the benchmark.
#pragma once

#include "sock_backend.h"

namespace nelkar {

class PosixSocketBackend : public SocketBackend {
public:
    int Startup(std::vector<std::string>* description) override;
    void Cleanup() override {}
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
    void DispatchMessages() override { ++dispatches; }
    uint32_t TickCount() override;

    // How often pending messages were dispatched (there are none on POSIX).
    unsigned long dispatches = 0;

private:
    int SetError(int err);
    int lastError_ = 0;
    bool connecting_ = false;
};

}  // namespace nelkar
