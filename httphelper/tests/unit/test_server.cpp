// Starts and stops the scriptable HTTP test server for native tests.
#include "test_server.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace nelkar_test {

ScratchDir::ScratchDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "nelkar-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << content;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

CwdGuard::CwdGuard(const std::string& dir) : old_(std::filesystem::current_path().string()) {
  std::filesystem::current_path(dir);
}

CwdGuard::~CwdGuard() { std::filesystem::current_path(old_); }

TestServer::TestServer(const std::string& script) {
  SetScript(script);
  std::string ready = dir_ / "ready";
  std::string log = dir_ / "log";
  std::string script_file = dir_ / "script";
  pid_ = fork();
  if (pid_ == 0) {
    execlp(NELKAR_PYTHON, NELKAR_PYTHON, NELKAR_SERVER, "--script", script_file.c_str(), "--log",
           log.c_str(), "--ready", ready.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int i = 0; i < 500 && !Exists(ready); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (!Exists(ready)) throw std::runtime_error("test server did not start");
  port_ = std::stoi(ReadFile(ready));
}

TestServer::~TestServer() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void TestServer::SetScript(const std::string& script) {
  WriteFile(dir_ / "script.tmp", script);
  std::filesystem::rename(dir_ / "script.tmp", dir_ / "script");
}

std::vector<std::string> TestServer::Requests() const {
  std::vector<std::string> out;
  for (int i = 1;; ++i) {
    char name[32];
    snprintf(name, sizeof name, "log/%03d.req", i);
    std::string p = dir_ / name;
    if (!Exists(p)) {
      // Connections are numbered in order of arrival; one without a logged request (closed
      // before reading) leaves a gap.
      bool later = false;
      for (int k = i + 1; k < i + 5; ++k) {
        snprintf(name, sizeof name, "log/%03d.req", k);
        if (Exists(dir_ / name)) later = true;
      }
      if (!later) break;
      out.emplace_back();
      continue;
    }
    out.push_back(ReadFile(p));
  }
  return out;
}

}  // namespace nelkar_test
