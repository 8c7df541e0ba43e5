// installer_probe: Windows-side helper of the installer's end-to-end cases.
//
//   installer_probe.exe hold FILE READY STOP   open FILE without sharing, create READY,
//                                              keep it open until STOP exists
//   installer_probe.exe link LNK               print the shell link's target, icon location
//                                              and index, arguments, folder and description
//   installer_probe.exe sleep COUNT MS           sleep COUNT times MS milliseconds and print
//                                              the time it took (to weigh the run's pacing)
//   installer_probe.exe watch OUT STOP         follow the window "TMainForm" until STOP
//                                              exists: write a line to OUT whenever its
//                                              geometry has held for 300 ms (with the time
//                                              it was reached), for every new text of its
//                                              status line, and when a size change begins
//                                              (all lines start with milliseconds since the
//                                              probe started)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

void Touch(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}

int Hold(const char* file, const char* ready, const char* stop) {
    HANDLE h = CreateFileA(file, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s: %lu\n", file, GetLastError());
        return 1;
    }
    Touch(ready);
    for (int i = 0; i < 6000 && !Exists(stop); ++i)
        Sleep(50);
    CloseHandle(h);
    return 0;
}

int Link(const char* lnk) {
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))) ||
        FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
        return 1;
    wchar_t wide[MAX_PATH + 1];
    MultiByteToWideChar(CP_ACP, 0, lnk, -1, wide, MAX_PATH + 1);
    if (FAILED(file->Load(wide, STGM_READ))) {
        std::fprintf(stderr, "cannot load %s\n", lnk);
        return 1;
    }
    char path[MAX_PATH + 1] = "", icon[MAX_PATH + 1] = "", args[1024] = "", dir[MAX_PATH + 1] = "", desc[1024] = "";
    int index = -1;
    link->GetPath(path, sizeof path, nullptr, SLGP_RAWPATH);
    link->GetIconLocation(icon, sizeof icon, &index);
    link->GetArguments(args, sizeof args);
    link->GetWorkingDirectory(dir, sizeof dir);
    link->GetDescription(desc, sizeof desc);
    std::printf("target=%s\nicon=%s\nindex=%d\narguments=%s\nfolder=%s\ndescription=%s\n", path, icon, index,
                args, dir, desc);
    file->Release();
    link->Release();
    CoUninitialize();
    return 0;
}

std::string Geometry(HWND w) {
    RECT outer, client, image;
    GetWindowRect(w, &outer);
    GetClientRect(w, &client);
    HWND img = GetDlgItem(w, 1001);
    GetWindowRect(img, &image);
    POINT p{image.left, image.top};
    ScreenToClient(w, &p);
    char buf[160];
    std::snprintf(buf, sizeof buf, "outer=%ldx%ld client=%ldx%ld image=%ld,%ld", outer.right - outer.left,
                  outer.bottom - outer.top, client.right, client.bottom, p.x, p.y);
    return buf;
}

int Watch(const char* out, const char* stop) {
    FILE* f = std::fopen(out, "w");
    if (!f)
        return 1;
    std::string lastGeometry, reported, lastText;
    DWORD since = GetTickCount();
    DWORD start = since;
    while (!Exists(stop) && GetTickCount() - start < 300000) {
        HWND w = FindWindowA("TMainForm", nullptr);
        if (w && IsWindowVisible(w)) {
            std::string g = Geometry(w);
            if (g != lastGeometry) {
                if (!reported.empty() && lastGeometry == reported)
                    std::fprintf(f, "%lu change\n", GetTickCount() - start);
                lastGeometry = g;
                since = GetTickCount();
            } else if (g != reported && GetTickCount() - since >= 300) {
                char caption[256] = "";
                GetWindowTextA(w, caption, sizeof caption);
                std::fprintf(f, "%lu geometry %s caption=%s\n", since - start, g.c_str(), caption);
                std::fflush(f);
                reported = g;
            }
            char text[512] = "";
            HWND message = GetDlgItem(w, 1003);
            GetWindowTextA(message, text, sizeof text);
            if (IsWindowVisible(message) && text != lastText) {
                lastText = text;
                std::fprintf(f, "%lu message %s\n", GetTickCount() - start, text);
                std::fflush(f);
            }
        }
        Sleep(5);
    }
    std::fclose(f);
    return 0;
}

}  // namespace

int SleepLoop(int count, int ms) {
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < count; ++i)
        Sleep(static_cast<DWORD>(ms));
    QueryPerformanceCounter(&t1);
    std::printf("%d x Sleep(%d): %lld ms\n", count, ms, (t1.QuadPart - t0.QuadPart) * 1000 / f.QuadPart);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 5 && !std::strcmp(argv[1], "hold"))
        return Hold(argv[2], argv[3], argv[4]);
    if (argc == 3 && !std::strcmp(argv[1], "link"))
        return Link(argv[2]);
    if (argc == 4 && !std::strcmp(argv[1], "sleep"))
        return SleepLoop(std::atoi(argv[2]), std::atoi(argv[3]));
    if (argc == 4 && !std::strcmp(argv[1], "watch"))
        return Watch(argv[2], argv[3]);
    std::fprintf(stderr, "usage: installer_probe hold FILE READY STOP | link LNK | watch OUT STOP\n");
    return 2;
}
