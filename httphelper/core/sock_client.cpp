// TSockClient and the deadline of its operations over the socket back end.
#include "sock_client.h"

#include <cstring>

namespace nelkar {

// Every text the client reports or raises: status texts with the report level they need
// (reported only when ReportLevel reaches it), error texts with level 0.
struct SockText {
    const char* text;
    int level;
};

namespace {

int liveClients = 0;
std::vector<std::string> libraryDescription;

constexpr SockText kCreate{"Create", 8};
constexpr SockText kInitializingWinsock{"Initializing Winsock", 8};
constexpr SockText kDestroy{"Destroy", 8};
constexpr SockText kConnecting{"Connecting", 8};
constexpr SockText kResolveHost{"Resolve Host", 8};
constexpr SockText kDisconnecting{"Disconnecting", 8};
constexpr SockText kRequestCloseSocket{"Request Close Socket", 4};
constexpr SockText kWrite{"Write", 8};
constexpr SockText kWriteln{"Writeln", 8};
constexpr SockText kSendingBuffer{"Sending Buffer", 4};
constexpr SockText kReadLn{"ReadLn", 8};
constexpr SockText kFilterHeader{"FilterHeader", 8};
constexpr SockText kCaptureFile{"CaptureFile", 8};
constexpr SockText kAbort{"Abort", 8};
constexpr SockText kCanceling{"Canceling", 8};
constexpr SockText kTimerOn{"Timer On", 8};
constexpr SockText kTimerOff{"Timer Off", 8};
constexpr SockText kTimerTriggered{"Timer Triggered", 8};
constexpr SockText kLookingUpErrorMessage{"Looking Up Error Message", 8};
constexpr SockText kInitializationFailed{"Initializaton of windows sockets failed", 0};
constexpr SockText kAlreadyConnected{"Already connected", 0};
constexpr SockText kHostLookupTimedOut{"Host Lookup Timed Out", 0};
constexpr SockText kHostLookupCanceled{"Host Lookup Canceled", 0};
constexpr SockText kNullRemoteAddress{"Null Remote Address", 0};
constexpr SockText kConnectionTimedOut{"Connection Timed out", 0};
constexpr SockText kConnectionCanceled{"Connection Canceled", 0};
constexpr SockText kConnectionFailed{"Connection Failed", 0};
constexpr SockText kTextTooLong{"Text too long to send", 0};
constexpr SockText kLineTooLong{"Line too long", 0};
constexpr SockText kSendAborted{"Socket send aborted", 0};
constexpr SockText kReadLnAborted{"Socket readln aborted", 0};

}  // namespace

// ---- Deadline ----

void Deadline::Start(uint32_t ms) {
    running_ = ms != 0;
    ms_ = ms;
    started_ = backend_.TickCount();
}

int Deadline::Remaining() {
    if (!running_) return -1;
    uint32_t elapsed = backend_.TickCount() - started_;
    if (elapsed >= ms_) return 0;
    uint32_t left = ms_ - elapsed;
    return left > 0x7fffffffu ? 0x7fffffff : static_cast<int>(left);
}

bool Deadline::Passed() {
    if (!running_ || Remaining() != 0) return false;
    running_ = false;
    return true;
}

// ---- TSockClient ----

// The time limit of one operation: on ("Timer On") from construction, off ("Timer Off") at
// every way out of the operation.
class TSockClient::TimeLimit {
public:
    explicit TimeLimit(TSockClient& client) : client_(client) { client_.TimerOn(); }
    ~TimeLimit() {
        try {
            client_.TimerOff();
        } catch (...) {
            // Only a status handler can raise here; the operation's own outcome counts.
        }
    }
    TimeLimit(const TimeLimit&) = delete;
    TimeLimit& operator=(const TimeLimit&) = delete;
    // Starts the limit again: it applies to silence, not to the whole transfer.
    void Restart() { client_.TimerOn(); }

private:
    TSockClient& client_;
};

TSockClient::TSockClient(SocketBackend& backend, FileSys& files)
    : backend_(backend), files_(files), buffer_(new char[kBufferSize + 1]), deadline_(backend) {
    Status(kCreate);
    TimeOut = 0;
    if (liveClients == 0) {
        Status(kInitializingWinsock);
        libraryDescription.clear();
        if (backend_.Startup(&libraryDescription) != 0) Raise(kInitializationFailed);
    }
    ++liveClients;
    sock_ = backend_.NewSocket();
    if (sock_ == kNoSocket) {
        if (--liveClients == 0) backend_.Cleanup();
        Raise(kInitializationFailed);
    }
}

TSockClient::~TSockClient() {
    Status(kDestroy);
    destroying_ = true;
    cancel_ = true;
    if (sock_ != kNoSocket) backend_.CloseSocket(sock_);
    sock_ = kNoSocket;
    if (--liveClients == 0) backend_.Cleanup();
}

const std::vector<std::string>& TSockClient::Description() { return libraryDescription; }

void TSockClient::Status(const SockText& status) {
    if (ReportLevel < status.level) return;
    lastStatus_ = status.text;
    if (OnStatus) OnStatus(lastStatus_);
}

void TSockClient::Raise(const SockText& error) { throw ESockError(error.text); }

void TSockClient::RaiseCancelled(const SockText& error) {
    cancel_ = false;
    Raise(error);
}

void TSockClient::RaiseAborted(const SockText& error) {
    cancel_ = false;
    throw EAbortError(error.text);
}

void TSockClient::NewSocket() {
    sock_ = backend_.NewSocket();
    if (sock_ == kNoSocket) Raise(kInitializationFailed);
}

void TSockClient::RaiseLastError() { RaiseError(backend_.LastError()); }

void TSockClient::RaiseError(int code) {
    Status(kLookingUpErrorMessage);
    throw ESockError(SockErrorText(code));
}

void TSockClient::ReplaceSocket() {
    connected_ = false;
    backend_.CloseSocket(sock_);
    sock_ = kNoSocket;
    NewSocket();
}

void TSockClient::TimerOn() {
    deadline_.Start(TimeOut);
    Status(kTimerOn);
}

void TSockClient::TimerOff() {
    deadline_.Stop();
    Status(kTimerOff);
}

void TSockClient::TimerTriggered() {
    Status(kTimerTriggered);
    timedOut_ = true;
    lookupDone_ = true;
    Abort();
}

void TSockClient::Abort() {
    Status(kAbort);
    Status(kCanceling);
    cancel_ = true;
}

// Closes the socket after the peer has closed, as Disconnect does, unless bytes are still
// waiting for a reader.
void TSockClient::CloseSocket() {
    connected_ = false;
    if (sock_ != kNoSocket) backend_.CloseSocket(sock_);
    sock_ = kNoSocket;
    if (!destroying_) NewSocket();
}

void TSockClient::HandleEvents(const NetEvents& ev) {
    if (ev.events == 0) return;
    notifyOk_ = true;
    if ((ev.events & kEvConnect) && ev.connectError != 0) notifyOk_ = false;
    if ((ev.events & kEvClose) && ev.closeError != 0) {
        notifyOk_ = false;
        closeError_ = ev.closeError;
    }
    if ((ev.events & kEvConnect) && ev.connectError == 0) {
        connected_ = true;
        if (OnConnect) OnConnect();
    }
    if (ev.events & kEvAccept) connected_ = true;
    // A peer that closes at once after accepting reports both at the same time: the connection
    // still counts as made, and the reader meets the orderly end.
    if ((ev.events & kEvClose) && !((ev.events & kEvConnect) && ev.connectError == 0)) {
        char probe;
        if (backend_.Recv(sock_, &probe, 1, true) <= 0) {
            Status(kRequestCloseSocket);
            CloseSocket();
        }
    }
}

void TSockClient::WaitTurn(unsigned interest) {
    ++waitTurns_;
    NetEvents ev = backend_.Wait(sock_, interest, deadline_.Remaining());
    HandleEvents(ev);
    backend_.DispatchMessages();
    if (deadline_.Passed()) TimerTriggered();
}

void TSockClient::Connect() {
    Status(kConnecting);
    cancel_ = false;
    if (connected_) Raise(kAlreadyConnected);
    timedOut_ = false;
    bool firstPass = true;
    for (;;) {
        addr_ = LookUpHost();
        if (addr_ != 0) break;
        if (firstPass && OnInvalidHost && OnInvalidHost()) {
            firstPass = false;
            continue;
        }
        Raise(kNullRemoteAddress);
    }
    ConnectToAddress();
}

uint32_t TSockClient::LookUpHost() {
    Status(kResolveHost);
    uint32_t addr = 0;
    if (backend_.ParseDotted(Host, &addr)) return addr;
    lookupDone_ = false;
    uint32_t found = 0;
    int rc;
    {
        TimeLimit limit(*this);
        rc = backend_.LookUp(
            Host, &found,
            [this] {
                ++waitTurns_;
                if (deadline_.Passed()) TimerTriggered();
                return cancel_ || timedOut_;
            },
            [this] { return deadline_.Remaining(); });
        lookupDone_ = true;
    }
    if (timedOut_) RaiseCancelled(kHostLookupTimedOut);
    if (cancel_) RaiseCancelled(kHostLookupCanceled);
    if (rc != 0) return 0;  // not raised as such: the caller finds no address
    if (OnHostResolved) OnHostResolved();
    return found;
}

void TSockClient::ConnectToAddress() {
    notifyOk_ = true;
    closeError_ = 0;
    // A socket whose connection attempt failed cannot be connected again everywhere: after a
    // failure, at once or while waiting, the next Connect starts on a fresh one.
    if (backend_.Connect(sock_, addr_, static_cast<uint16_t>(Port & 0xffff)) != 0) {
        int code = backend_.LastError();
        if (code != kWsaEwouldblock && code != kWsaEinprogress) {
            ReplaceSocket();
            RaiseError(code);
        }
    }
    {
        TimeLimit limit(*this);
        while (!connected_ && !timedOut_ && !cancel_ && notifyOk_) WaitTurn(kEvConnect | kEvClose);
    }
    if (connected_ && !timedOut_ && !cancel_) return;
    ReplaceSocket();
    if (OnConnectionFailed) OnConnectionFailed();
    if (timedOut_) RaiseCancelled(kConnectionTimedOut);
    if (cancel_) RaiseCancelled(kConnectionCanceled);
    Raise(kConnectionFailed);
}

void TSockClient::Disconnect() {
    Status(kDisconnecting);
    connected_ = false;
    Status(kRequestCloseSocket);
    if (sock_ != kNoSocket && backend_.CloseSocket(sock_) != 0) {
        sock_ = kNoSocket;
        if (!destroying_) NewSocket();
        RaiseLastError();
    }
    sock_ = kNoSocket;
    if (OnDisconnect) OnDisconnect();
    if (!destroying_) NewSocket();
}

void TSockClient::Writeln(const std::string& s) {
    Status(kWriteln);
    Write(s + "\r\n");
}

void TSockClient::Write(const std::string& s) {
    Status(kWrite);
    // The text goes through the I/O buffer, which holds at most 65536 bytes; a zero byte ends it.
    size_t n = s.size() < static_cast<size_t>(kBufferSize) ? s.size() : kBufferSize;
    std::memcpy(buffer_.get(), s.data(), n);
    buffer_[n] = '\0';
    SendBuffer(static_cast<int>(std::strlen(buffer_.get())));
}

void TSockClient::SendBuffer(int len) {
    Status(kSendingBuffer);
    {
        TimeLimit limit(*this);
        if (len > kBufferSize - 1) Raise(kTextTooLong);
        int sent = 0;
        while (sent < len && !cancel_) {
            int rc = backend_.Send(sock_, buffer_.get() + sent, len - sent);
            if (rc > 0) {
                sent += rc;
                continue;
            }
            if (rc == 0) break;
            if (backend_.LastError() != kWsaEwouldblock) RaiseLastError();
            WaitTurn(kEvWrite | kEvClose);
        }
    }
    if (cancel_) RaiseAborted(kSendAborted);
}

std::string TSockClient::ReadLn() {
    Status(kReadLn);
    std::string line;
    {
        TimeLimit limit(*this);
        int taken = 0;
        char* buf = buffer_.get();
        while (!cancel_) {
            if (taken >= kBufferSize) Raise(kLineTooLong);
            int rc = backend_.Recv(sock_, buf + taken, kBufferSize - taken, true);
            if (rc == 0) {
                line.clear();
                break;
            }
            if (rc < 0) {
                int code = backend_.LastError();
                if (code == kWsaEnotconn) {
                    line.clear();
                    break;
                }
                if (code != kWsaEwouldblock) RaiseLastError();
                WaitTurn(kEvRead | kEvClose);
                continue;
            }
            const char* lf = static_cast<const char*>(std::memchr(buf + taken, '\n', rc));
            int want = lf ? static_cast<int>(lf - (buf + taken)) + 1 : rc;
            // Consume exactly what the line needs; the rest stays for the next reader.
            int got = backend_.Recv(sock_, buf + taken, want, false);
            if (got < 0) RaiseLastError();
            line.append(buf + taken, got);
            taken += got;
            if (lf && got == want) break;
            backend_.DispatchMessages();
        }
    }
    if (cancel_) RaiseAborted(kReadLnAborted);
    return line;
}

void TSockClient::FilterHeader(OutFile& stream) {
    Status(kFilterHeader);
    for (;;) {
        std::string line = ReadLn();
        stream.Write(line.data(), line.size());
        if (line.empty() || line == "\n" || line == "\r\n") break;
    }
}

void TSockClient::CaptureFile(const std::string& fileName, uint64_t maxBytes) {
    CaptureFile(*files_.Create(fileName, Existing::kTruncate), maxBytes);
}

void TSockClient::CaptureFile(OutFile& file, uint64_t maxBytes) {
    Status(kCaptureFile);
    received_ = 0;
    {
        TimeLimit limit(*this);
        char* buf = buffer_.get();
        while (!cancel_) {
            int rc = backend_.Recv(sock_, buf, kBufferSize, false);
            if (rc > 0) {
                // Past the limit one byte more is kept, so that the file shows it was exceeded.
                uint64_t keep = static_cast<uint64_t>(rc);
                if (maxBytes != kNoLimit && received_ + keep > maxBytes) keep = maxBytes + 1 - received_;
                file.Write(buf, static_cast<size_t>(keep));
                received_ += keep;
                if (maxBytes != kNoLimit && received_ > maxBytes) break;
                limit.Restart();
                backend_.DispatchMessages();
                continue;
            }
            if (rc == 0) break;
            int code = backend_.LastError();
            if (code == kWsaEnotconn) {
                // The close notification already replaced the socket. A connection that ended
                // with an error (reset or aborted) did not deliver the whole body.
                if (closeError_ != 0) RaiseError(closeError_);
                break;
            }
            if (code != kWsaEwouldblock) RaiseLastError();
            WaitTurn(kEvRead | kEvClose);
        }
        // On the disk before the file replaces another one: after a crash the destination
        // holds its old content or the whole new one, never a file the cache had not written.
        file.Flush();
        file.Close();
    }
    if (cancel_) RaiseAborted(kSendAborted);
}

}  // namespace nelkar
