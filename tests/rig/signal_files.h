// Files as signals between a Wine case and the Windows-side test programs beside the program
// under test (the file holder, the message-box and dialog drivers, the installer's probe and
// its window hook): a program creates a file to say that it is ready or has done something,
// and waits for a file that the case creates to go on or to stop. Only whether a file exists
// counts; an empty name never exists.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace signal_files {

inline bool Exists(const char* path) { return *path && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// Creates the file (empty); whether that worked.
inline bool Create(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

// Waits until the file exists, at most ms milliseconds; whether it does.
inline bool WaitFor(const char* path, DWORD ms) {
    for (DWORD start = GetTickCount(); !Exists(path); Sleep(20))
        if (GetTickCount() - start >= ms) return false;
    return true;
}

}  // namespace signal_files
