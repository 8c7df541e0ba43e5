// installer_probe: Windows-side helper of the installer's end-to-end cases.
//
//   installer_probe.exe link LNK               print the shell link's target, icon location
//                                              and index, arguments, folder and description
//                                              (LNK may hold any character)
//   installer_probe.exe font                   print the ANSI code page, the face that the
//                                              window's font "MS Sans Serif" 8 point gets and
//                                              the width of the "Update status :" label text
//   installer_probe.exe sleep COUNT MS           sleep COUNT times MS milliseconds and print
//                                              the time it took (to weigh the run's pacing)
//   installer_probe.exe watch OUT STOP         follow the window "TMainForm" until STOP
//                                              exists: write a line to OUT whenever its
//                                              geometry has held for 300 ms (with the time
//                                              it was reached), for every new text of its
//                                              status line, and when a size change begins;
//                                              "drawn TEXT" once the status line shows all
//                                              of TEXT on screen as one line (nothing cut
//                                              off at its end); "taskbar TITLES" when
//                                              the titles of the program's windows that the
//                                              task bar shows change (all lines start with
//                                              milliseconds since the probe started)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

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

// The installer's label font: "MS Sans Serif", 11 pixels.
HFONT LabelFont() {
    return CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
}

int Font() {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, LabelFont());
    char face[LF_FACESIZE] = "";
    GetTextFaceA(dc, sizeof face, face);
    SIZE status{};
    GetTextExtentPoint32A(dc, "Update status :", 15, &status);
    DeleteObject(SelectObject(dc, old));
    ReleaseDC(nullptr, dc);
    std::printf("codepage=%u\nface=%s\nstatus=%ld\n", GetACP(), face, status.cx);
    return 0;
}

// Which pixels of a label's area differ from the button face that labels are drawn on.
class Ink {
public:
    Ink(int w, int h) : w_(w), h_(h) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bmp_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bmp_);
    }
    ~Ink() {
        SelectObject(dc_, old_);
        DeleteObject(bmp_);
        DeleteDC(dc_);
    }
    Ink(const Ink&) = delete;
    Ink& operator=(const Ink&) = delete;
    bool Fits(int w, int h) const { return w == w_ && h == h_; }

    // The screen's pixels at (x, y).
    bool Capture(int x, int y) {
        HDC screen = GetDC(nullptr);
        bool ok = BitBlt(dc_, 0, 0, w_, h_, screen, x, y, SRCCOPY) != FALSE;
        ReleaseDC(nullptr, screen);
        GdiFlush();
        return ok;
    }
    // text drawn as one line in the label font, as a label without wrapping draws it.
    void Draw(const std::string& text, HFONT font) {
        RECT r{0, 0, w_, h_};
        HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
        FillRect(dc_, &r, face);
        HGDIOBJ old = SelectObject(dc_, font);
        SetBkMode(dc_, TRANSPARENT);
        SetTextColor(dc_, GetSysColor(COLOR_WINDOWTEXT));
        DrawTextA(dc_, text.c_str(), static_cast<int>(text.size()), &r,
                  DT_LEFT | DT_NOPREFIX | DT_SINGLELINE);
        SelectObject(dc_, old);
        GdiFlush();
    }
    // Whether this capture shows all of what other drew, which may be wider: the same ink in
    // the captured width and none beyond it.
    bool ShowsAllOf(const Ink& other) const {
        COLORREF c = GetSysColor(COLOR_BTNFACE);
        uint32_t face = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        for (int y = 0; y < h_; ++y) {
            for (int x = 0; x < other.w_; ++x) {
                bool ink = (other.bits_[y * other.w_ + x] & 0xFFFFFF) != face;
                if (x < w_ ? ink != ((bits_[y * w_ + x] & 0xFFFFFF) != face) : ink) return false;
            }
        }
        return true;
    }

private:
    int w_, h_;
    HDC dc_;
    HBITMAP bmp_;
    HGDIOBJ old_;
    uint32_t* bits_ = nullptr;
};

// Titles of the process's windows that have a task-bar button: visible top-level windows
// that are not owned and not tool windows, or that ask for a button.
struct TaskbarSearch {
    DWORD pid;
    std::string titles;
};

BOOL CALLBACK AddTaskbarTitle(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<TaskbarSearch*>(p);
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    LONG_PTR ex = GetWindowLongPtrA(w, GWL_EXSTYLE);
    bool button = (ex & WS_EX_APPWINDOW) || (!GetWindow(w, GW_OWNER) && !(ex & WS_EX_TOOLWINDOW));
    if (process == s->pid && IsWindowVisible(w) && button) {
        char title[256] = "";
        GetWindowTextA(w, title, sizeof title);
        s->titles += (s->titles.empty() ? "" : "|") + std::string(title);
    }
    return TRUE;
}

std::string TaskbarTitles(DWORD pid) {
    TaskbarSearch search{pid, std::string()};
    EnumWindows(AddTaskbarTitle, reinterpret_cast<LPARAM>(&search));
    return search.titles;
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
    if (!f) return 1;
    std::string lastGeometry, reported, lastText, lastTaskbar = "-";
    // The status line's texts not yet seen drawn: the current one and the one before, which
    // may still be on screen while the new one waits for its paint to reach it.
    std::vector<std::string> undrawn;
    HFONT font = LabelFont();
    std::unique_ptr<Ink> screen, drawn;
    unsigned turn = 0;
    DWORD since = GetTickCount();
    DWORD start = since;
    while (!Exists(stop) && GetTickCount() - start < 300000) {
        HWND w = FindWindowA("TMainForm", nullptr);
        DWORD pid = 0;
        if (w) GetWindowThreadProcessId(w, &pid);
        std::string taskbar = pid && turn++ % 16 == 0 ? TaskbarTitles(pid) : lastTaskbar;
        if (taskbar != lastTaskbar) {
            std::fprintf(f, "%lu taskbar %s\n", GetTickCount() - start, taskbar.c_str());
            std::fflush(f);
            lastTaskbar = taskbar;
        }
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
            if (text != lastText) {
                lastText = text;
                std::fprintf(f, "%lu message %s\n", GetTickCount() - start, text);
                std::fflush(f);
                undrawn.push_back(text);
                if (undrawn.size() > 2) undrawn.erase(undrawn.begin());
            }
            RECT r;
            if (IsWindowVisible(message) && !undrawn.empty() && GetWindowRect(message, &r)) {
                if (!screen || !screen->Fits(r.right - r.left, r.bottom - r.top)) {
                    screen = std::make_unique<Ink>(r.right - r.left, r.bottom - r.top);
                    drawn = std::make_unique<Ink>(r.right - r.left + 64, r.bottom - r.top);
                }
                if (screen->Capture(r.left, r.top)) {
                    for (size_t i = 0; i < undrawn.size(); ++i) {
                        drawn->Draw(undrawn[i], font);
                        if (screen->ShowsAllOf(*drawn)) {
                            std::fprintf(f, "%lu drawn %s\n", GetTickCount() - start, undrawn[i].c_str());
                            std::fflush(f);
                            undrawn.erase(undrawn.begin() + static_cast<long>(i));
                            break;
                        }
                    }
                }
            }
        }
        Sleep(5);
    }
    screen.reset();
    drawn.reset();
    DeleteObject(font);
    std::fclose(f);
    return 0;
}

}  // namespace

int SleepLoop(int count, int ms) {
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < count; ++i) Sleep(static_cast<DWORD>(ms));
    QueryPerformanceCounter(&t1);
    std::printf("%d x Sleep(%d): %lld ms\n", count, ms, (t1.QuadPart - t0.QuadPart) * 1000 / f.QuadPart);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && !std::strcmp(argv[1], "link")) {
        int n = 0;
        wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
        return n == 3 ? Link(wide[2]) : 2;
    }
    if (argc == 2 && !std::strcmp(argv[1], "font")) return Font();
    if (argc == 4 && !std::strcmp(argv[1], "sleep")) return SleepLoop(std::atoi(argv[2]), std::atoi(argv[3]));
    if (argc == 4 && !std::strcmp(argv[1], "watch")) return Watch(argv[2], argv[3]);
    std::fprintf(
        stderr,
        "usage: installer_probe hold FILE READY STOP | link LNK | font | sleep COUNT MS | watch OUT STOP\n");
    return 2;
}
