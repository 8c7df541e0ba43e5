// window_hook.dll: records what Tessarin.exe does to its progress window, from inside it.
//
// installer_probe.exe "watch" sets WindowWatchHook as a global WH_CALLWNDPROCRET hook; Wine
// (as Windows) then loads this DLL into every process of the desktop that handles a sent
// message and calls the hook in the thread that handled it, right after the window procedure
// returned. In Tessarin.exe it writes one line per event to the log that the probe named, in
// the order the program did things, however busy the machine is (a watcher in another
// process that polls the window misses every state shorter than its own stalls):
//
//   TIME message TEXT     the status line got TEXT (its WM_SETTEXT)
//   TIME drawn TEXT       ... and the label drew all of TEXT as one line, nothing cut off at
//                         its end (its pixels read back from the window and compared with
//                         TEXT drawn on one line in the installer's label font)
//   TIME geometry outer=WxH client=WxH image=X,Y caption=C
//                         the window when it is shown, at every status text and when it is
//                         hidden: outer and client size, the product icon's place, caption
//   TIME taskbar TITLES   the titles of the program's windows that the task bar shows, each
//                         time they change ("|" between titles)
//   TIME shot N stage     the window is about to leave a size it rested at (a size animation
//                         begins, or it is hidden)
//   TIME shot N text      the label has drawn the text the probe was given, the first time
// At a shot, with a shot folder, the run waits (at most 60 s) until the file N.done appears
// there, its window's pixels on the X server meanwhile, so that a screenshot shows exactly
// that moment.
//
// TIME is GetTickCount at the event. Every other process ignores the hook.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "resource.h"
#include "signal_files.h"

namespace {

// What the probe hands over before it sets the hook; one copy for every process that loads
// the DLL (a shared section).
struct WatchSettings {
    char log[MAX_PATH * 2];
    char shots[MAX_PATH * 2];  // empty: no pauses for screenshots
    char shotText[512];        // a text whose drawing also pauses the run
};
__attribute__((section(".watch"), shared)) WatchSettings g_settings = {{0}, {0}, {0}};

constexpr DWORD kShotWaitMs = 60000;
// A message that no window is sent: peeking for it finds none, and the thread flushes its
// windows' pixels to the X server when it finds no message waiting.
constexpr UINT kNoMessage = WM_APP + 0x3FFF;

bool HasClass(HWND w, const char* name) {
    char cls[64] = "";
    return w && GetClassNameA(w, cls, sizeof cls) && std::strcmp(cls, name) == 0;
}

bool InTessarin() {
    static int known = -1;
    if (known < 0) {
        char path[MAX_PATH + 1] = "";
        DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
        const char* name = std::strrchr(path, '\\');
        name = name ? name + 1 : path;
        known = n > 0 && lstrcmpiA(name, "Tessarin.exe") == 0;
    }
    return known == 1;
}

void Log(const char* kind, const std::string& text) {
    HANDLE f = CreateFileA(g_settings.log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    char head[32];
    std::snprintf(head, sizeof head, "%lu ", GetTickCount());
    std::string line = head + std::string(kind) + " " + text + "\r\n";
    DWORD written = 0;
    WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(f);
}

// Which pixels of an area differ from the button face that labels are drawn on.
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

    // What the window shows of its client area.
    bool Capture(HWND w) {
        HDC dc = GetDC(w);
        bool ok = BitBlt(dc_, 0, 0, w_, h_, dc, 0, 0, SRCCOPY) != FALSE;
        ReleaseDC(w, dc);
        GdiFlush();
        return ok;
    }
    // text drawn as one line in font, as a label without wrapping draws it.
    void Draw(const std::string& text, HFONT font) {
        RECT r{0, 0, w_, h_};
        FillRect(dc_, &r, GetSysColorBrush(COLOR_BTNFACE));
        HGDIOBJ old = SelectObject(dc_, font);
        SetBkMode(dc_, TRANSPARENT);
        SetTextColor(dc_, GetSysColor(COLOR_WINDOWTEXT));
        DrawTextA(dc_, text.c_str(), static_cast<int>(text.size()), &r, DT_LEFT | DT_NOPREFIX | DT_SINGLELINE);
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

// Whether the label shows all of its text on one line.
bool DrawnWhole(HWND label, const std::string& text) {
    RECT r;
    GetClientRect(label, &r);
    Ink screen(r.right, r.bottom), drawn(r.right + 64, r.bottom);
    if (!screen.Capture(label)) return false;
    HFONT font = CreateLabelFont();
    drawn.Draw(text, font);
    DeleteObject(font);
    return screen.ShowsAllOf(drawn);
}

// Titles of the process's windows that have a task-bar button: visible top-level windows
// that are not owned and not tool windows, or that ask for a button.
BOOL CALLBACK AddTaskbarTitle(HWND w, LPARAM p) {
    auto* titles = reinterpret_cast<std::string*>(p);
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    LONG_PTR ex = GetWindowLongPtrA(w, GWL_EXSTYLE);
    bool button = (ex & WS_EX_APPWINDOW) || (!GetWindow(w, GW_OWNER) && !(ex & WS_EX_TOOLWINDOW));
    if (process == GetCurrentProcessId() && IsWindowVisible(w) && button) {
        char title[256] = "";
        GetWindowTextA(w, title, sizeof title);
        *titles += (titles->empty() ? "" : "|") + std::string(title);
    }
    return TRUE;
}

void NoteTaskbar() {
    static std::string last = "-";
    std::string titles;
    EnumWindows(AddTaskbarTitle, reinterpret_cast<LPARAM>(&titles));
    if (titles != last) Log("taskbar", titles);
    last = titles;
}

std::string Geometry(HWND form) {
    RECT outer, client, image;
    GetWindowRect(form, &outer);
    GetClientRect(form, &client);
    GetWindowRect(GetDlgItem(form, IDC_PRODUCT_ICON), &image);
    POINT p{image.left, image.top};
    ScreenToClient(form, &p);
    char caption[256] = "";
    GetWindowTextA(form, caption, sizeof caption);
    char buf[400];
    std::snprintf(buf, sizeof buf, "outer=%ldx%ld client=%ldx%ld image=%ld,%ld caption=%s",
                  outer.right - outer.left, outer.bottom - outer.top, client.right, client.bottom, p.x, p.y,
                  caption);
    return buf;
}

// With a shot folder: asks for a screenshot of this moment and waits until it is taken. The
// window's pixels reach the X server when the thread finds no message waiting.
void Shot(const char* what) {
    static int count = 0;
    char n[16];
    std::snprintf(n, sizeof n, "%d", ++count);
    Log("shot", std::string(n) + " " + what);
    if (!g_settings.shots[0]) return;
    MSG msg;
    PeekMessageA(&msg, reinterpret_cast<HWND>(-1), kNoMessage, kNoMessage, PM_NOREMOVE);
    signal_files::WaitFor((std::string(g_settings.shots) + "\\" + n + ".done").c_str(), kShotWaitMs);
}

// The size of the last geometry line, and whether a screenshot of it was taken.
SIZE g_noted{-1, -1};
bool g_shot = true;

SIZE OuterSize(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

void NoteGeometry(HWND form) {
    Log("geometry", Geometry(form));
    SIZE now = OuterSize(form);
    if (now.cx != g_noted.cx || now.cy != g_noted.cy) g_shot = false;
    g_noted = now;
}

// The window leaves the size it rested at (a size animation begins, or it is hidden): the
// last moment to take a screenshot of that stage.
void LeavingStage(HWND form) {
    SIZE now = OuterSize(form);
    if (!g_shot && now.cx == g_noted.cx && now.cy == g_noted.cy) {
        g_shot = true;
        Shot("stage");
    }
}

void OnEvent(const CWPRETSTRUCT& m) {
    HWND parent = GetParent(m.hwnd);
    if (m.message == WM_SETTEXT && GetDlgCtrlID(m.hwnd) == IDC_MESSAGE && HasClass(parent, kFormClassName)) {
        char text[512] = "";
        GetWindowTextA(m.hwnd, text, sizeof text);
        Log("message", text);
        NoteGeometry(parent);
        if (IsWindowVisible(m.hwnd) && DrawnWhole(m.hwnd, text)) {
            Log("drawn", text);
            static bool textShot = false;
            if (!textShot && g_settings.shotText[0] && std::strcmp(text, g_settings.shotText) == 0) {
                textShot = true;
                Shot("text");
            }
        }
    } else if (HasClass(m.hwnd, kFormClassName)) {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(m.lParam);
        if (m.message == WM_WINDOWPOSCHANGED && (pos->flags & SWP_SHOWWINDOW)) {
            NoteGeometry(m.hwnd);
        } else if (m.message == WM_WINDOWPOSCHANGING && !(pos->flags & SWP_NOSIZE)) {
            SIZE now = OuterSize(m.hwnd);
            if (pos->cx != now.cx || pos->cy != now.cy) LeavingStage(m.hwnd);
        } else if (m.message == WM_SHOWWINDOW && !m.wParam) {
            NoteGeometry(m.hwnd);
            LeavingStage(m.hwnd);
        }
    }
    bool topLevel = !(GetWindowLongPtrA(m.hwnd, GWL_STYLE) & WS_CHILD);
    if (topLevel && (m.message == WM_SETTEXT || m.message == WM_SHOWWINDOW || m.message == WM_WINDOWPOSCHANGED))
        NoteTaskbar();
}

}  // namespace

extern "C" __declspec(dllexport) void SetWindowWatch(const char* log, const char* shots, const char* shotText) {
    std::snprintf(g_settings.log, sizeof g_settings.log, "%s", log);
    std::snprintf(g_settings.shots, sizeof g_settings.shots, "%s", shots);
    std::snprintf(g_settings.shotText, sizeof g_settings.shotText, "%s", shotText);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK WindowWatchHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && g_settings.log[0] && InTessarin())
        OnEvent(*reinterpret_cast<const CWPRETSTRUCT*>(lp));
    return CallNextHookEx(nullptr, code, wp, lp);
}
