// One HTTP exchange of the helper.
#include "inet_conn.h"

#include <stdexcept>

#include "file_util.h"

namespace nelkar {

HttpTarget BuildRequest(const std::string& url, const Settings& settings, int32_t directPort) {
    HttpTarget t;
    if (settings.UseProxy) {
        t.host = settings.ProxyAddr;
        t.port = settings.ProxyPort;
        t.request =
            "GET http://" + url + " HTTP/1.0" + "\r\nPragma: no-cache" + "\r\nCache-Control: no-cache";
        return t;
    }
    t.port = directPort;
    size_t slash = url.find('/');
    if (slash == std::string::npos) {
        t.host = url;
        t.request = "GET / HTTP/1.0";
    } else {
        t.host = url.substr(0, slash);
        t.request = "GET " + url.substr(slash) + " HTTP/1.0";
    }
    return t;
}

bool StatusLinePasses(const std::string& firstLine) { return firstLine.find(" 200 OK") != std::string::npos; }

std::string FirstLine(const std::string& text) {
    size_t end = text.find_first_of("\r\n");
    return end == std::string::npos ? text : text.substr(0, end);
}

bool HeaderEnded(const std::string& header) {
    size_t n = header.size();
    if (n == 0 || header[n - 1] != '\n') return false;
    // The last line is LF or CR LF alone: it is the whole header, or a line end precedes it.
    if (n == 1 || header[n - 2] == '\n') return true;
    return header[n - 2] == '\r' && (n == 2 || header[n - 3] == '\n');
}

BodyLength AnnouncedLength(const std::string& header) {
    static const char kName[] = "content-length:";
    const size_t nameLen = sizeof kName - 1;
    BodyLength result;
    size_t pos = header.find('\n');  // the status line is no field
    while (pos != std::string::npos && pos + 1 < header.size()) {
        size_t start = pos + 1;
        pos = header.find('\n', start);
        size_t end = pos == std::string::npos ? header.size() : pos;
        if (end - start < nameLen) continue;
        bool match = true;
        for (size_t i = 0; i < nameLen && match; ++i) {
            char c = header[start + i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            match = c == kName[i];
        }
        if (!match) continue;
        size_t v = start + nameLen, valueEnd = end;
        while (v < valueEnd && (header[v] == ' ' || header[v] == '\t')) ++v;
        while (valueEnd > v &&
               (header[valueEnd - 1] == ' ' || header[valueEnd - 1] == '\t' || header[valueEnd - 1] == '\r'))
            --valueEnd;
        uint64_t value = 0;
        bool number = v < valueEnd && valueEnd - v <= 18;  // 18 digits cannot overflow
        for (size_t i = v; i < valueEnd && number; ++i) {
            number = header[i] >= '0' && header[i] <= '9';
            value = value * 10 + static_cast<uint64_t>(header[i] - '0');
        }
        if (!number || (result.kind == BodyLength::kGiven && result.bytes != value)) {
            result.kind = BodyLength::kMalformed;
            return result;
        }
        result.kind = BodyLength::kGiven;
        result.bytes = value;
    }
    return result;
}

namespace {

// The reply header on its way to the header file: it refuses to grow past its limit and keeps
// a copy, from which the status line and the body's length are read.
class HeaderCapture : public OutFile {
public:
    HeaderCapture(OutFile& file, size_t limit) : file_(file), limit_(limit) {}
    void Write(const char* data, size_t len) override {
        if (len > limit_ - text_.size()) throw std::length_error("reply header too long");
        file_.Write(data, len);
        text_.append(data, len);
    }
    void Flush() override { file_.Flush(); }
    void Close() override { file_.Close(); }
    const std::string& text() const { return text_; }

private:
    OutFile& file_;
    size_t limit_;
    std::string text_;
};

}  // namespace

TInetConn::TInetConn(SocketBackend& backend, FileSys& files, const Settings& settings, std::string headerFile)
    : files_(files), settings_(settings), headerFile_(std::move(headerFile)), sock_(backend, files) {
    sock_.Port = 0;
    sock_.ReportLevel = 0;
}

bool TInetConn::HttpGet(const std::string& url, const std::string& fileName, uint64_t maxBody) {
    // Every failure is a false result, whatever raised it (the network, a full disk, memory, a
    // header file that cannot be created): an exception would end the run before the request
    // leaves the queue, and every later run would stop at the same line.
    bool connected = false;
    bool placed = false;
    std::string temp;  // once made
    std::unique_ptr<OutFile> header;
    try {
        // The download needs its first temporary name at least; the ANSI file calls take no
        // longer one.
        if (DownloadTempName(fileName).size() >= kMaxPath) return false;
        HttpTarget target = BuildRequest(url, settings_, directPort);
        sock_.Host = target.host;
        sock_.Port = target.port;
        sock_.Connect();
        connected = true;
        sock_.Writeln(target.request);
        sock_.Writeln("");
        header = files_.Create(headerFile_, Existing::kTruncate);
        HeaderCapture capture(*header, maxHeaderBytes);
        sock_.FilterHeader(capture);
        CreateDirPath(files_, ExtractFileDir(fileName));
        sock_.CaptureFile(*CreateDownloadTemp(files_, fileName, placing, &temp), maxBody);
        header->Close();
        header.reset();
        connected = false;
        sock_.Disconnect();
        files_.Remove(headerFile_);
        // A reply that closed before the empty line ending its header, or before the body had
        // the length its header gave, was cut short: whatever status it showed, it fails.
        const std::string& head = capture.text();
        BodyLength length = AnnouncedLength(head);
        bool complete = HeaderEnded(head) && length.kind != BodyLength::kMalformed &&
                        (length.kind == BodyLength::kNotGiven || sock_.BytesReceived() >= length.bytes) &&
                        (maxBody == kNoBodyLimit || sock_.BytesReceived() <= maxBody);
        placed = complete && StatusLinePasses(FirstLine(head)) && PutInPlace(files_, temp, fileName, placing);
        EndDownloadTemp(files_, temp, placed, placing);
        return placed;
    } catch (...) {
    }
    header.reset();
    if (connected) {
        try {
            sock_.Disconnect();
        } catch (...) {
        }
    }
    if (!temp.empty()) {
        try {
            EndDownloadTemp(files_, temp, placed, placing);
        } catch (...) {
        }
    }
    // A download in place stays a success when only its line could not leave the list.
    return placed;
}

bool TInetConn::StartConnectionTest(const ConnectionTest& test) {
    sock_.Host = test.host;
    sock_.Port = test.port;
    sock_.TimeOut = test.timeLimit;
    bool opened = true;
    try {
        sock_.Connect();
    } catch (const std::exception&) {
        opened = false;
    }
    sock_.TimeOut = 0;  // exchanges run without a time limit
    return opened;
}

void TInetConn::CancelConnectionTest() { sock_.Abort(); }

void TInetConn::EndConnectionTest() {
    try {
        sock_.Disconnect();
    } catch (const std::exception&) {
    }
}

}  // namespace nelkar
