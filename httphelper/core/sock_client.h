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

// The time limit of the client's operations (`TimeOut`): a deadline that the waits check, so it
// needs no window or system timer of its own.
class Deadline {
public:
    explicit Deadline(SocketBackend& backend) : backend_(backend) {}

    // Runs for `ms` milliseconds from now; 0 sets no deadline.
    void Start(uint32_t ms);
    void Stop() { running_ = false; }
    // Milliseconds left; -1 while no deadline runs.
    int Remaining();
    // True once the deadline has passed; it then stops.
    bool Passed();

private:
    SocketBackend& backend_;
    bool running_ = false;
    uint32_t started_ = 0;
    uint32_t ms_ = 0;
};

struct SockText;  // a status or error text of the client

class TSockClient {
public:
    static constexpr int kBufferSize = 65536;
    static constexpr uint64_t kNoLimit = ~uint64_t{0};

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
    // Receives until the peer closes; stops early once more than `maxBytes` have arrived, after
    // writing `maxBytes` + 1 of them (BytesReceived then tells). The file is flushed to the
    // disk before it is closed.
    void CaptureFile(const std::string& fileName, uint64_t maxBytes = kNoLimit);
    // The same into a file already made; it is flushed and closed when the capture ends.
    void CaptureFile(OutFile& file, uint64_t maxBytes = kNoLimit);
    void Abort();

    bool Connected() const { return connected_; }
    const std::string& LastStatus() const { return lastStatus_; }
    static const std::vector<std::string>& Description();
    uint64_t BytesReceived() const { return received_; }
    // Turns of the wait loops so far; every turn blocks until something happened.
    uint64_t WaitTurns() const { return waitTurns_; }

private:
    class TimeLimit;

    void Status(const SockText& status);
    [[noreturn]] void Raise(const SockText& error);
    // Clear the cancellation, then raise ESockError or EAbortError with `error`.
    [[noreturn]] void RaiseCancelled(const SockText& error);
    [[noreturn]] void RaiseAborted(const SockText& error);
    void NewSocket();
    void CloseSocket();
    [[noreturn]] void RaiseLastError();
    [[noreturn]] void RaiseError(int code);
    // Closes the socket and creates a fresh one in its place.
    void ReplaceSocket();
    void TimerOn();
    void TimerOff();
    void TimerTriggered();
    // The address of `Host`: a dotted address as it stands, a name looked up while messages are
    // dispatched; 0 when the look-up failed. Raises on a time-out or cancellation.
    uint32_t LookUpHost();
    // Starts connecting to `addr_` on `Port` and waits until the connection is made.
    void ConnectToAddress();
    void HandleEvents(const NetEvents& ev);
    // One turn of a wait: block until `interest` is pending on the socket, a message arrives
    // or the deadline passes; then handle notifications and dispatch messages.
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
    Deadline deadline_;
    uint64_t received_ = 0;
    uint64_t waitTurns_ = 0;
};

}  // namespace nelkar
