// TSockClient: the helper's TCP client. Resolves, connects, sends text, reads lines and
// captures a byte stream into a file, dispatching the program's messages while it waits.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "file_system.h"
#include "sock_backend.h"
#include "sock_error.h"

namespace nelkar {

// An optional time limit for the client's operations. The client checks it in its waits, so
// it needs no window or system timer of its own.
class TThreadTimer {
public:
    explicit TThreadTimer(SocketBackend& backend) : backend_(backend) {}

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on);
    uint32_t Interval() const { return interval_; }
    void SetInterval(uint32_t ms);
    std::function<void()> OnTimer;

    // Milliseconds until the timer is due; -1 while it does not run.
    int Remaining();
    // Calls OnTimer when the timer is due.
    void Check();

private:
    bool Running() const { return enabled_ && interval_ != 0 && OnTimer != nullptr; }
    void Restart();

    SocketBackend& backend_;
    bool enabled_ = true;
    uint32_t interval_ = 1000;
    uint32_t started_ = 0;
};

class TSockClient {
public:
    static constexpr int kBufferSize = 65536;
    static constexpr unsigned kSocketWindowMessage = 0x400 + 101;  // WM_USER + 101
    static constexpr unsigned kLookupMessage = 0x400 + 102;        // WM_USER + 102

    TSockClient(SocketBackend& backend, FileSys& files);
    ~TSockClient();
    TSockClient(const TSockClient&) = delete;
    TSockClient& operator=(const TSockClient&) = delete;

    std::string Host;
    int32_t Port = 0;
    uint32_t TimeOut = 0;
    int32_t ReportLevel = 0;

    std::function<void()> OnConnect;
    std::function<void()> OnDisconnect;
    std::function<bool()> OnInvalidHost;  // true asks for another look-up
    std::function<void()> OnHostResolved;
    std::function<void(const std::string&)> OnStatus;
    std::function<void()> OnConnectionFailed;

    void Connect();
    void Disconnect();
    void Write(const std::string& s);
    void Writeln(const std::string& s);
    std::string ReadLn();
    void FilterHeader(OutFile& stream);
    void CaptureFile(const std::string& fileName);
    void Abort();

    bool Connected() const { return connected_; }
    const std::string& LastStatus() const { return lastStatus_; }
    static const std::vector<std::string>& Description();
    uint64_t BytesReceived() const { return received_; }
    // Turns of the wait loops so far; every turn blocks until something happened.
    uint64_t WaitTurns() const { return waitTurns_; }

private:
    void Status(const std::string& text, int level);
    void NewSocket();
    void CloseSocket();
    [[noreturn]] void RaiseLastError();
    [[noreturn]] void RaiseError(int code);
    // Closes the socket and creates a fresh one in its place.
    void ReplaceSocket();
    void TimerOn();
    void TimerOff();
    void TimerTriggered();
    void HandleEvents(const NetEvents& ev);
    // One turn of a wait: block until `interest` is pending on the socket, a message arrives
    // or the timer is due; then handle notifications and dispatch messages.
    void WaitTurn(unsigned interest);
    void SendBuffer(int len);

    SocketBackend& backend_;
    FileSys& files_;
    SockHandle sock_ = kNoSocket;
    bool connected_ = false;
    bool cancel_ = false;
    bool timedOut_ = false;
    bool notifyOk_ = true;
    bool lookupDone_ = false;
    bool destroying_ = false;
    uint32_t addr_ = 0;
    int closeError_ = 0;              // error carried by the peer's close, 0 for an orderly close
    std::unique_ptr<char[]> buffer_;  // kBufferSize bytes and a terminating zero
    std::string lastStatus_;
    TThreadTimer timer_;
    uint64_t received_ = 0;
    uint64_t waitTurns_ = 0;
};

}  // namespace nelkar
