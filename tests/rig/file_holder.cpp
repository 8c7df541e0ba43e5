// file_holder: holds a file the way a running game holds its files on Windows, until told to
// let go, so that end-to-end cases meet files in use.
//
//   file_holder.exe open FILE READY STOP      open FILE for reading and writing without sharing
//   file_holder.exe load DLL READY STOP       map DLL into this process as the loader does,
//                                             without running its entry point (a plug-in's
//                                             would look for its game)
//   file_holder.exe run READY STOP EXE [ARG]  start EXE (with one argument) and keep it running
//
// Each mode creates the file READY once the file is held, then waits until the file STOP
// exists (at most ten minutes) and lets go: closes the file, frees the library, or ends the
// program it started. Exit code 0, or 1 with a message on stderr when the file cannot be held.
#include <cstdio>
#include <cstring>
#include <string>

#include "signal_files.h"

namespace {

void HoldUntil(const char* ready, const char* stop) {
    signal_files::Create(ready);
    signal_files::WaitFor(stop, 10 * 60 * 1000);
}

int Fail(const char* what, const char* file) {
    std::fprintf(stderr, "cannot %s %s: error %lu\n", what, file, GetLastError());
    return 1;
}

int Open(const char* file, const char* ready, const char* stop) {
    HANDLE h = CreateFileA(file, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Fail("open", file);
    HoldUntil(ready, stop);
    CloseHandle(h);
    return 0;
}

int Load(const char* dll, const char* ready, const char* stop) {
    HMODULE m = LoadLibraryExA(dll, nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (!m) return Fail("load", dll);
    HoldUntil(ready, stop);
    FreeLibrary(m);
    return 0;
}

int Run(const char* ready, const char* stop, const char* exe, const char* arg) {
    std::string line = std::string("\"") + exe + "\"";
    if (arg) line += std::string(" ") + arg;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(exe, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return Fail("start", exe);
    // The program's image is mapped once it waits for input; a windowless one may never do.
    WaitForInputIdle(pi.hProcess, 10000);
    HoldUntil(ready, stop);
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && !std::strcmp(argv[1], "open")) return Open(argv[2], argv[3], argv[4]);
    if (argc == 5 && !std::strcmp(argv[1], "load")) return Load(argv[2], argv[3], argv[4]);
    if ((argc == 5 || argc == 6) && !std::strcmp(argv[1], "run"))
        return Run(argv[2], argv[3], argv[4], argc == 6 ? argv[5] : nullptr);
    std::fprintf(stderr, "usage: file_holder.exe open|load FILE READY STOP | run READY STOP EXE [ARG]\n");
    return 2;
}
