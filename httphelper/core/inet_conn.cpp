// One HTTP exchange of the helper.
#include "inet_conn.h"

#include "file_util.h"

namespace nelkar {

HttpTarget BuildRequest(const std::string& url, const Settings& settings, int32_t direct_port) {
  HttpTarget t;
  if (settings.use_proxy) {
    t.host = settings.proxy_addr;
    t.port = settings.proxy_port;
    t.request = "GET http://" + url + " HTTP/1.0" + "\r\nPragma: no-cache" + "\r\nCache-Control: no-cache";
    return t;
  }
  t.port = direct_port;
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

bool StatusLinePasses(const std::string& first_line) {
  return first_line.find(" 200 OK") != std::string::npos;
}

std::string FirstLine(const std::string& text) {
  size_t end = text.find_first_of("\r\n");
  return end == std::string::npos ? text : text.substr(0, end);
}

std::string DownloadTempName(const std::string& file_name) { return file_name + ".part"; }

TInetConn::TInetConn(SocketBackend& backend, FileSys& files, const Settings& settings,
                     std::string header_file)
    : files_(files), settings_(settings), header_file_(std::move(header_file)), sock_(backend, files) {
  sock_.Port = 0;
  sock_.ReportLevel = 0;
}

bool TInetConn::HttpGet(const std::string& url, const std::string& file_name) {
  HttpTarget target = BuildRequest(url, settings_, direct_port);
  sock_.Host = target.host;
  sock_.Port = target.port;
  try {
    sock_.Connect();
  } catch (const std::exception&) {
    return false;
  }
  std::unique_ptr<OutFile> header;
  std::string temp = DownloadTempName(file_name);
  bool body_started = false;
  try {
    sock_.Writeln(target.request);
    sock_.Writeln("");
    // A header file that cannot be created is no failure of the request: it ends the run.
    header = files_.Create(header_file_);
  } catch (const EFileError&) {
    try { sock_.Disconnect(); } catch (const std::exception&) {}
    throw;
  } catch (const std::exception&) {
    try { sock_.Disconnect(); } catch (const std::exception&) {}
    return false;
  }
  try {
    sock_.FilterHeader(*header);
    CreateDirPath(files_, ExtractFileDir(file_name));
    body_started = true;
    sock_.CaptureFile(temp);
    header->Close();
    header.reset();
    sock_.Disconnect();
  } catch (const std::exception&) {
    header.reset();
    try { sock_.Disconnect(); } catch (const std::exception&) {}
    if (body_started) files_.Remove(temp);
    return false;
  }
  std::string status;
  try {
    status = FirstLine(files_.ReadAll(header_file_));
  } catch (const EFileError&) {
  }
  files_.Remove(header_file_);
  if (!StatusLinePasses(status)) {
    files_.Remove(temp);
    return false;
  }
  if (!files_.Replace(temp, file_name)) {
    files_.Remove(temp);
    return false;
  }
  return true;
}

}  // namespace nelkar
