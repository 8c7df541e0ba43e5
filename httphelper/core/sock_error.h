// Errors of the socket client: the exception kinds and the table of Winsock error texts.
#pragma once

#include <stdexcept>
#include <string>

namespace nelkar {

// Error codes in Winsock numbering; the POSIX back end translates errno into these.
enum : int {
    kWsaEintr = 10004,
    kWsaEwouldblock = 10035,
    kWsaEinprogress = 10036,
    kWsaEnotsock = 10038,
    kWsaEconnaborted = 10053,
    kWsaEconnreset = 10054,
    kWsaEnotconn = 10057,
    kWsaEtimedout = 10060,
    kWsaEconnrefused = 10061,
    kWsaEhostunreach = 10065,
    kWsaHostNotFound = 11001,
};

// A failed socket operation.
class ESockError : public std::runtime_error {
public:
    explicit ESockError(const std::string& text) : std::runtime_error(text) {}
};

// An operation ended because cancellation was requested.
class EAbortError : public std::runtime_error {
public:
    explicit EAbortError(const std::string& text) : std::runtime_error(text) {}
};

// The classic description of a Winsock error code, or "" when the table has none.
const char* SockErrorDescription(int code);

// "code:description", or "Unknown Error No. code" for a code outside the table.
std::string SockErrorText(int code);

}  // namespace nelkar
