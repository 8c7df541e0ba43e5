// TInetConn: one HTTP/1.0 GET over a fresh connection, direct or through a proxy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "file_place.h"
#include "file_system.h"
#include "settings.h"
#include "sock_client.h"

namespace nelkar {

struct HttpTarget {
    std::string host;
    int32_t port = 0;
    std::string request;  // the request text, without its final CR LF and the empty line
};

// Splits `url` (host, "/", path; no scheme, no port) into what is sent where.
HttpTarget BuildRequest(const std::string& url, const Settings& settings, int32_t directPort = 80);

// True when the reply's first line holds " 200 OK".
bool StatusLinePasses(const std::string& firstLine);

// The first line of a header text, without its line end.
std::string FirstLine(const std::string& text);

// A reply header longer than this, in all, fails the request.
constexpr size_t kMaxHeaderBytes = 65536;

// True when a header text ends with its empty line (LF or CR LF alone).
bool HeaderEnded(const std::string& header);

// What a header says about the body's length.
struct BodyLength {
    enum Kind { kNotGiven, kGiven, kMalformed } kind = kNotGiven;
    uint64_t bytes = 0;
};

// The Content-Length fields of a header (name in any letter case, blanks and tabs around the
// value): kMalformed for a value that is not a decimal number, or for two fields that
// disagree.
BodyLength AnnouncedLength(const std::string& header);

// The set-up dialog's connection test: whether a TCP connection to a host and port can be
// opened. Nothing is sent.
struct ConnectionTest {
    std::string host;
    int32_t port = 0;        // its low 16 bits are the TCP port
    uint32_t timeLimit = 0;  // milliseconds; 0 waits as long as the system needs to give up
};

class TInetConn {
public:
    static constexpr uint64_t kNoBodyLimit = TSockClient::kNoLimit;

    // `headerFile` is "header.dat" in the exchange folder.
    TInetConn(SocketBackend& backend, FileSys& files, const Settings& settings, std::string headerFile);

    // One request; true when the reply's status line holds " 200 OK", its header ended with
    // its empty line within kMaxHeaderBytes, the body is not shorter than a Content-Length
    // says and not longer than `maxBody` bytes, and the body took the place of `fileName`. The
    // body goes to a temporary file beside `fileName` under a name no file had
    // (CreateDownloadTemp), flushed to the disk, which replaces `fileName` (also a read-only
    // one, or one in use, as `placing` says: PutInPlace) only then, so a failed or cut-short
    // transfer never touches an existing file; a body over `maxBody` is not received further.
    // A `fileName` whose first temporary name does not fit in kMaxPath characters fails before
    // connecting. Raises nothing: every failure, whatever its cause, is false, and leaves no
    // temporary file of its own.
    bool HttpGet(const std::string& url, const std::string& fileName, uint64_t maxBody = kNoBodyLimit);

    // Opens the test's connection, dispatching messages while it waits; true when it opened.
    // The connection then stays open until EndConnectionTest.
    bool StartConnectionTest(const ConnectionTest& test);
    // Ends a test that waits for the network (from a message handled during the wait); it then
    // counts as failed.
    void CancelConnectionTest();
    // Closes the connection of a test that opened.
    void EndConnectionTest();

    // Whether a connection is open (none is, between exchanges).
    bool Connected() const { return sock_.Connected(); }

    // Port of direct requests; 80 except where a test serves on another port.
    int32_t directPort = 80;
    // The header limit; tests lower it.
    size_t maxHeaderBytes = kMaxHeaderBytes;
    // How a download replaces a destination that another program holds; without a list of
    // files left aside such a download fails.
    Placing placing;

private:
    FileSys& files_;
    const Settings& settings_;
    std::string headerFile_;
    TSockClient sock_;
};

}  // namespace nelkar
