// installer_probe: Windows-side helper of the installer's end-to-end cases.
//
//   installer_probe.exe link LNK               print the shell link's target, icon location
//                                              and index, arguments, folder and description
//                                              (LNK may hold any character)
//   installer_probe.exe font                   print the ANSI code page, the face that the
//                                              window's font "MS Sans Serif" 8 point gets and
//                                              the width of the "Update status :" label text
//   installer_probe.exe pry FILE STOP          until STOP exists, tries to open FILE for
//                                              writing, as any program of the user's may, and
//                                              prints how often FILE was there and how often
//                                              the open succeeded
//   installer_probe.exe watch OUT STOP [SHOTS [TEXT]]
//                                              until STOP exists, Tessarin.exe records in
//                                              OUT what it does to its window (its status
//                                              texts, which of them it drew whole, its
//                                              geometry, its task-bar titles) and, with a
//                                              folder SHOTS, waits there for a screenshot
//                                              of every new geometry and of TEXT drawn (see
//                                              window_hook.cpp); OUT exists once recording
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "resource.h"
#include "signal_files.h"

namespace {

int Link(const wchar_t* lnk) {
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))) ||
        FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
        return 1;
    if (FAILED(file->Load(lnk, STGM_READ))) {
        std::fprintf(stderr, "cannot load %ls\n", lnk);
        return 1;
    }
    char path[MAX_PATH + 1] = "", icon[MAX_PATH + 1] = "", args[1024] = "", dir[MAX_PATH + 1] = "",
                         desc[1024] = "";
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

int Font() {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, CreateLabelFont());
    char face[LF_FACESIZE] = "";
    GetTextFaceA(dc, sizeof face, face);
    SIZE status{};
    GetTextExtentPoint32A(dc, "Update status :", 15, &status);
    DeleteObject(SelectObject(dc, old));
    ReleaseDC(nullptr, dc);
    std::printf("codepage=%u\nface=%s\nstatus=%ld\n", GetACP(), face, status.cx);
    return 0;
}

// Records Tessarin.exe's progress window from inside the program (window_hook.dll beside
// the probe, a global hook) until STOP exists; OUT is created once the hook is set.
int Watch(const char* out, const char* stop, const char* shots, const char* shotText) {
    char path[MAX_PATH + 1] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dll(path);
    dll = dll.substr(0, dll.find_last_of('\\') + 1) + "window_hook.dll";
    HMODULE hook = LoadLibraryA(dll.c_str());
    auto set = hook ? reinterpret_cast<void (*)(const char*, const char*, const char*)>(
                          reinterpret_cast<void*>(GetProcAddress(hook, "SetWindowWatch")))
                    : nullptr;
    auto proc = hook ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(hook, "WindowWatchHook")))
                     : nullptr;
    if (!set || !proc) {
        std::fprintf(stderr, "cannot load %s: %lu\n", dll.c_str(), GetLastError());
        return 1;
    }
    set(out, shots, shotText);
    HHOOK h = SetWindowsHookExA(WH_CALLWNDPROCRET, proc, hook, 0);
    if (!h) {
        std::fprintf(stderr, "cannot set the hook: %lu\n", GetLastError());
        return 1;
    }
    signal_files::Create(out);
    for (DWORD start = GetTickCount(); !signal_files::Exists(stop) && GetTickCount() - start < 300000;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(20);
    }
    UnhookWindowsHookEx(h);
    return 0;
}

}  // namespace

int Pry(const char* file, const char* stop) {
    long present = 0, opened = 0;
    for (; !signal_files::Exists(stop); Sleep(5)) {
        HANDLE h = CreateFileA(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            ++opened;
            CloseHandle(h);
        }
        if (signal_files::Exists(file)) ++present;
    }
    std::printf("present=%ld opened=%ld\n", present, opened);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && !std::strcmp(argv[1], "link")) {
        int n = 0;
        wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
        return n == 3 ? Link(wide[2]) : 2;
    }
    if (argc == 2 && !std::strcmp(argv[1], "font")) return Font();
    if (argc == 4 && !std::strcmp(argv[1], "pry")) return Pry(argv[2], argv[3]);
    if (argc >= 4 && argc <= 6 && !std::strcmp(argv[1], "watch"))
        return Watch(argv[2], argv[3], argc > 4 ? argv[4] : "", argc > 5 ? argv[5] : "");
    std::fprintf(
        stderr,
        "usage: installer_probe link LNK | font | pry FILE STOP | watch OUT STOP [SHOTS [TEXT]]\n");
    return 2;
}
