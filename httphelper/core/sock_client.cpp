// TSockClient and TThreadTimer over the socket back end.
#include "sock_client.h"

#include <cstring>

namespace nelkar {
namespace {

int liveClients = 0;
std::vector<std::string> libraryDescription;

}  // namespace

// ---- TThreadTimer ----

void TThreadTimer::SetEnabled(bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    Restart();
}

void TThreadTimer::SetInterval(uint32_t ms) {
    if (ms == interval_) return;
    interval_ = ms;
    Restart();
}

void TThreadTimer::Restart() {
    if (Running()) started_ = backend_.TickCount();
}

int TThreadTimer::Remaining() {
    if (!Running()) return -1;
    uint32_t elapsed = backend_.TickCount() - started_;
    if (elapsed >= interval_) return 0;
    uint32_t left = interval_ - elapsed;
    return left > 0x7fffffffu ? 0x7fffffff : static_cast<int>(left);
}

void TThreadTimer::Check() {
    if (Running() && Remaining() == 0) {
        started_ = backend_.TickCount();
        OnTimer();
    }
}

// ---- TSockClient ----

TSockClient::TSockClient(SocketBackend& backend, FileSys& files)
    : backend_(backend), files_(files), buffer_(new char[kBufferSize + 1]), timer_(backend) {
    Status("Create", 8);
    timer_.SetEnabled(false);
    timer_.OnTimer = [this] { TimerTriggered(); };
    TimeOut = 0;
    if (liveClients == 0) {
        Status("Initializing Winsock", 8);
        libraryDescription.clear();
        if (backend_.Startup(&libraryDescription) != 0)
            throw ESockError("Initializaton of windows sockets failed");
    }
    ++liveClients;
    sock_ = backend_.NewSocket();
    if (sock_ == kNoSocket) {
        if (--liveClients == 0) backend_.Cleanup();
        throw ESockError("Initializaton of windows sockets failed");
    }
}

TSockClient::~TSockClient() {
    Status("Destroy", 8);
    destroying_ = true;
    cancel_ = true;
    if (sock_ != kNoSocket) backend_.CloseSocket(sock_);
    sock_ = kNoSocket;
    if (--liveClients == 0) backend_.Cleanup();
}

const std::vector<std::string>& TSockClient::Description() { return libraryDescription; }

void TSockClient::Status(const std::string& text, int level) {
    if (ReportLevel < level) return;
    lastStatus_ = text;
    if (OnStatus) OnStatus(text);
}

void TSockClient::NewSocket() {
    sock_ = backend_.NewSocket();
    if (sock_ == kNoSocket) throw ESockError("Initializaton of windows sockets failed");
}

void TSockClient::RaiseLastError() { RaiseError(backend_.LastError()); }

void TSockClient::RaiseError(int code) {
    Status("Looking Up Error Message", 8);
    throw ESockError(SockErrorText(code));
}

void TSockClient::ReplaceSocket() {
    connected_ = false;
    backend_.CloseSocket(sock_);
    sock_ = kNoSocket;
    NewSocket();
}

void TSockClient::TimerOn() {
    timer_.SetInterval(TimeOut);
    timer_.SetEnabled(false);
    timer_.SetEnabled(true);
    Status("Timer On", 8);
}

void TSockClient::TimerOff() {
    timer_.SetEnabled(false);
    Status("Timer Off", 8);
}

void TSockClient::TimerTriggered() {
    Status("Timer Triggered", 8);
    timer_.SetEnabled(false);
    timedOut_ = true;
    lookupDone_ = true;
    Abort();
}

void TSockClient::Abort() {
    Status("Abort", 8);
    Status("Canceling", 8);
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
            Status("Request Close Socket", 4);
            CloseSocket();
        }
    }
}

void TSockClient::WaitTurn(unsigned interest) {
    ++waitTurns_;
    NetEvents ev = backend_.Wait(sock_, interest, timer_.Remaining());
    HandleEvents(ev);
    backend_.DispatchMessages();
    timer_.Check();
}

void TSockClient::Connect() {
    Status("Connecting", 8);
    cancel_ = false;
    if (connected_) throw ESockError("Already connected");
    timedOut_ = false;
    bool firstPass = true;
    for (;;) {
        Status("Resolve Host", 8);
        addr_ = 0;
        if (!backend_.ParseDotted(Host, &addr_)) {
            addr_ = 0;
            lookupDone_ = false;
            TimerOn();
            uint32_t found = 0;
            int rc = backend_.LookUp(
                Host, &found,
                [this] {
                    ++waitTurns_;
                    timer_.Check();
                    return cancel_ || timedOut_;
                },
                [this] { return timer_.Remaining(); });
            lookupDone_ = true;
            TimerOff();
            if (timedOut_) {
                cancel_ = false;
                throw ESockError("Host Lookup Timed Out");
            }
            if (cancel_) {
                cancel_ = false;
                throw ESockError("Host Lookup Canceled");
            }
            if (rc == 0) {
                addr_ = found;
                if (OnHostResolved) OnHostResolved();
            }
        }
        if (addr_ != 0) break;
        if (firstPass && OnInvalidHost && OnInvalidHost()) {
            firstPass = false;
            continue;
        }
        throw ESockError("Null Remote Address");
    }

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
    TimerOn();
    while (!connected_ && !timedOut_ && !cancel_ && notifyOk_) WaitTurn(kEvConnect | kEvClose);
    TimerOff();
    if (connected_ && !timedOut_ && !cancel_) return;
    ReplaceSocket();
    if (OnConnectionFailed) OnConnectionFailed();
    if (timedOut_) {
        cancel_ = false;
        throw ESockError("Connection Timed out");
    }
    if (cancel_) {
        cancel_ = false;
        throw ESockError("Connection Canceled");
    }
    throw ESockError("Connection Failed");
}

void TSockClient::Disconnect() {
    Status("Disconnecting", 8);
    connected_ = false;
    Status("Request Close Socket", 4);
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
    Status("Writeln", 8);
    Write(s + "\r\n");
}

void TSockClient::Write(const std::string& s) {
    Status("Write", 8);
    // The text goes through the I/O buffer, which holds at most 65536 bytes; a zero byte ends it.
    size_t n = s.size() < static_cast<size_t>(kBufferSize) ? s.size() : kBufferSize;
    std::memcpy(buffer_.get(), s.data(), n);
    buffer_[n] = '\0';
    SendBuffer(static_cast<int>(std::strlen(buffer_.get())));
}

void TSockClient::SendBuffer(int len) {
    Status("Sending Buffer", 4);
    TimerOn();
    if (len > kBufferSize - 1) {
        TimerOff();
        throw ESockError("Text too long to send");
    }
    int sent = 0;
    while (sent < len && !cancel_) {
        int rc = backend_.Send(sock_, buffer_.get() + sent, len - sent);
        if (rc > 0) {
            sent += rc;
            continue;
        }
        if (rc == 0) break;
        if (backend_.LastError() != kWsaEwouldblock) {
            TimerOff();
            RaiseLastError();
        }
        WaitTurn(kEvWrite | kEvClose);
    }
    TimerOff();
    if (cancel_) {
        cancel_ = false;
        throw EAbortError("Socket send aborted");
    }
}

std::string TSockClient::ReadLn() {
    Status("ReadLn", 8);
    TimerOn();
    std::string line;
    int taken = 0;
    char* buf = buffer_.get();
    while (!cancel_) {
        if (taken >= kBufferSize) {
            TimerOff();
            throw ESockError("Line too long");
        }
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
            if (code != kWsaEwouldblock) {
                TimerOff();
                RaiseLastError();
            }
            WaitTurn(kEvRead | kEvClose);
            continue;
        }
        const char* lf = static_cast<const char*>(std::memchr(buf + taken, '\n', rc));
        int want = lf ? static_cast<int>(lf - (buf + taken)) + 1 : rc;
        // Consume exactly what the line needs; the rest stays for the next reader.
        int got = backend_.Recv(sock_, buf + taken, want, false);
        if (got < 0) {
            TimerOff();
            RaiseLastError();
        }
        line.append(buf + taken, got);
        taken += got;
        if (lf && got == want) break;
        backend_.DispatchMessages();
    }
    TimerOff();
    if (cancel_) {
        cancel_ = false;
        throw EAbortError("Socket readln aborted");
    }
    return line;
}

void TSockClient::FilterHeader(OutFile& stream) {
    Status("FilterHeader", 8);
    for (;;) {
        std::string line = ReadLn();
        stream.Write(line.data(), line.size());
        if (line.empty() || line == "\n" || line == "\r\n") break;
    }
}

void TSockClient::CaptureFile(const std::string& fileName) {
    Status("CaptureFile", 8);
    received_ = 0;
    TimerOn();
    std::unique_ptr<OutFile> out = files_.Create(fileName);
    char* buf = buffer_.get();
    while (!cancel_) {
        int rc = backend_.Recv(sock_, buf, kBufferSize, false);
        if (rc > 0) {
            out->Write(buf, static_cast<size_t>(rc));
            received_ += static_cast<uint64_t>(rc);
            TimerOn();
            backend_.DispatchMessages();
            continue;
        }
        if (rc == 0) break;
        int code = backend_.LastError();
        if (code == kWsaEnotconn) {
            // The close notification already replaced the socket. A connection that ended with an
            // error (reset or aborted) did not deliver the whole body.
            if (closeError_ != 0) {
                TimerOff();
                Status("Looking Up Error Message", 8);
                throw ESockError(SockErrorText(closeError_));
            }
            break;
        }
        if (code != kWsaEwouldblock) {
            TimerOff();
            RaiseLastError();
        }
        WaitTurn(kEvRead | kEvClose);
    }
    out->Close();
    TimerOff();
    if (cancel_) {
        cancel_ = false;
        throw EAbortError("Socket send aborted");
    }
}

}  // namespace nelkar
