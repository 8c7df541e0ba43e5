// msgbox_driver: answers the message boxes of a program under test so end-to-end runs stay unattended.
//
// Usage:
//   msgbox_driver.exe [--timeout SECONDS] [--count N] [--press BUTTON[,BUTTON...]]
//                     [--quiet-after SECONDS] [--pid PID] [--exe NAME]
//                     [--ready-file PATH] [--stop-file PATH]
//                     [--shown-file PATH] [--answer-when PATH] [--debug]
//
// Runs next to the program under test (same Wine prefix / desktop), waits for each visible,
// enabled top-level window of class "#32770" that is shaped like a message box, writes one
// line about it to stdout, presses a button and waits until the box is gone before looking
// for the next one.
//
//   --timeout S      hard limit for the whole run (default 30).
//   --count N        exactly N boxes are expected. The run succeeds once the N-th box is
//                    handled; with --quiet-after given as well it then keeps watching that
//                    long and any further box is an error. --count 0 means "expect none".
//                    Without --count any number of boxes is fine.
//   --quiet-after S  without --count (or with --count 0): finish once no box has been open
//                    for S seconds since the start or since the last box closed (default 3).
//                    With --count N > 0 the default is 0: stop right after the N-th box.
//   --press LIST     buttons for the 1st, 2nd, ... box, comma separated, from OK CANCEL ABORT
//                    RETRY IGNORE YES NO TRYAGAIN CONTINUE HELP (any case). The last entry
//                    repeats. Default: OK if the box has it, else its first button.
//   --pid PID        only boxes of this (Windows) process id.
//   --exe NAME       only boxes of processes whose image file name is NAME (e.g. ZORM.EXE).
//   --ready-file P   create file P once the driver is watching, so a test can start the
//                    program under test only then.
//   --stop-file P    finish as soon as file P exists and no box is open, as if the quiet
//                    period had ended (missing --count boxes are then an error at once);
//                    lets a test stop watching right after its program has exited.
//   --shown-file P   create file P whenever a box is found, before it is answered.
//   --answer-when P  answer a box only once file P exists (waiting until the timeout), so
//                    that a test can change what the box asks about while it waits.
//   --debug          describe every candidate window and the icon detection on stderr.
//
// Output, one line per box, flushed at once, written after the box has closed:
//   box caption="ERROR!" text="Can not detect ZORM.EXE" buttons=OK icon=error pressed=OK
// caption and text are the bytes GetWindowTextA / WM_GETTEXT give (ANSI code page, not
// converted); only '"' and '\' (as \" and \\) and control bytes (\n, \r, \t, else \xHH) are
// escaped; a box shown with MessageBoxA in the same code page thus reads back byte for byte.
// buttons lists the box's buttons left to right. icon is error, question, warning,
// information, none, or unknown (an icon, but none of those four). HELP never closes a box,
// so pressing it ends in exit 1.
//
// Every box seen is dismissed, even unexpected ones, so the program under test never hangs
// on a box; failures show in the exit code at the end:
//   0  success
//   1  fewer boxes than --count before the timeout (or the stop file), or a box did not
//      close after being pressed
//   2  bad command line
//   3  a box beyond --count appeared (reported and answered like the others)
//   4  a box lacked the requested button; the least committing one it has was pressed
//      instead (CANCEL, NO, OK, else the first one)
// When several failures happen, the first one decides the exit code.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#endif
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "signal_files.h"

namespace {

// Message boxes may carry these beyond the classic IDOK..IDNO.
#ifndef IDTRYAGAIN
#define IDTRYAGAIN 10
#endif
#ifndef IDCONTINUE
#define IDCONTINUE 11
#endif

struct ButtonName {
    int id;
    const char* name;
};

const ButtonName kButtons[] = {
    {IDOK, "OK"},       {IDCANCEL, "CANCEL"},     {IDABORT, "ABORT"},
    {IDRETRY, "RETRY"}, {IDIGNORE, "IGNORE"},     {IDYES, "YES"},
    {IDNO, "NO"},       {IDTRYAGAIN, "TRYAGAIN"}, {IDCONTINUE, "CONTINUE"},
    {IDHELP, "HELP"},
};

const char* button_name(int id) {
    for (const auto& b : kButtons)
        if (b.id == id) return b.name;
    return nullptr;
}

int button_id(const std::string& name) {
    for (const auto& b : kButtons)
        if (_stricmp(b.name, name.c_str()) == 0) return b.id;
    return 0;
}

bool g_debug = false;
const ULONGLONG g_start = GetTickCount64();

void debug(const char* fmt, ...) {
    if (!g_debug) return;
    va_list ap;
    va_start(ap, fmt);
    std::fprintf(stderr, "msgbox_driver: %6.3f ", (GetTickCount64() - g_start) / 1000.0);
    std::vfprintf(stderr, fmt, ap);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    va_end(ap);
}

void note(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::fputs("msgbox_driver: ", stderr);
    std::vfprintf(stderr, fmt, ap);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    va_end(ap);
}

// Raw bytes straight to the handle: the C runtime's text mode would turn "\n" into "\r\n"
// and tests compare lines byte for byte.
void write_line(const std::string& line) {
    std::string out = line + "\n";
    HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (h && h != INVALID_HANDLE_VALUE &&
        WriteFile(h, out.data(), static_cast<DWORD>(out.size()), &written, nullptr))
        return;  // unbuffered: a test reading the pipe sees the line at once
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

std::string escape(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02X", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

const UINT kSendTimeoutMs = 2000;

// WM_GETTEXT rather than GetWindowTextA: for another process's child window the latter
// returns the cached window text without asking the control.
std::string window_text(HWND hwnd) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &len)) len = 0;
    // The length may be counted in UTF-16 units; double-byte code pages need up to twice that.
    std::vector<char> buf(len * 2 + 256);
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &got))
        return std::string();
    buf.back() = '\0';
    return std::string(buf.data(), std::strlen(buf.data()));
}

std::string class_name(HWND hwnd) {
    char buf[64] = {};
    GetClassNameA(hwnd, buf, sizeof buf);
    return buf;
}

// ---- icon detection -------------------------------------------------------------------

struct StdIcon {
    LPCSTR res;
    const char* name;
};

const StdIcon kIcons[] = {
    {IDI_HAND, "error"},
    {IDI_QUESTION, "question"},
    {IDI_EXCLAMATION, "warning"},
    {IDI_ASTERISK, "information"},
};

// The drawing calls come from gdi32 at run time, so the driver links against user32 only
// like the rest of the rig; without them icons are reported as "unknown".
struct Gdi {
    HDC(WINAPI* CreateCompatibleDC)(HDC) = nullptr;
    BOOL(WINAPI* DeleteDC)(HDC) = nullptr;
    HBITMAP(WINAPI* CreateDIBSection)(HDC, const BITMAPINFO*, UINT, void**, HANDLE, DWORD) = nullptr;
    HGDIOBJ(WINAPI* SelectObject)(HDC, HGDIOBJ) = nullptr;
    BOOL(WINAPI* DeleteObject)(HGDIOBJ) = nullptr;
    HBRUSH(WINAPI* CreateSolidBrush)(COLORREF) = nullptr;
    BOOL(WINAPI* BitBlt)(HDC, int, int, int, int, HDC, int, int, DWORD) = nullptr;
    BOOL(WINAPI* GdiFlush)() = nullptr;
    bool ok = false;
};

template <typename F>
bool load(HMODULE m, const char* name, F& f) {
    f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, name)));
    return f != nullptr;
}

const Gdi& gdi() {
    static Gdi g = [] {
        Gdi r;
        HMODULE m = LoadLibraryA("gdi32.dll");
        r.ok = m && load(m, "CreateCompatibleDC", r.CreateCompatibleDC) && load(m, "DeleteDC", r.DeleteDC) &&
               load(m, "CreateDIBSection", r.CreateDIBSection) && load(m, "SelectObject", r.SelectObject) &&
               load(m, "DeleteObject", r.DeleteObject) && load(m, "CreateSolidBrush", r.CreateSolidBrush) &&
               load(m, "BitBlt", r.BitBlt) && load(m, "GdiFlush", r.GdiFlush);
        return r;
    }();
    return g;
}

// A w x h 32-bit picture: either a copy of the screen at (x, y), or `icon` drawn on a `bg`
// background. Pixels come back as 0x00RRGGBB.
bool picture(int w, int h, int x, int y, HICON icon, COLORREF bg, std::vector<DWORD>& px) {
    const Gdi& g = gdi();
    if (!g.ok) return false;
    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    HDC mem = g.CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = g.CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (mem && bmp && bits) {
        HGDIOBJ old = g.SelectObject(mem, bmp);
        if (icon) {
            RECT r = {0, 0, w, h};
            HBRUSH brush = g.CreateSolidBrush(bg);
            FillRect(mem, &r, brush);
            g.DeleteObject(brush);
            ok = DrawIconEx(mem, 0, 0, icon, w, h, 0, nullptr, DI_NORMAL) != FALSE;
        } else {
            ok = g.BitBlt(mem, 0, 0, w, h, screen, x, y, SRCCOPY) != FALSE;
        }
        g.GdiFlush();
        if (ok) {
            const DWORD* p = static_cast<const DWORD*>(bits);
            px.assign(p, p + static_cast<size_t>(w) * h);
            for (auto& v : px) v &= 0x00FFFFFF;
        }
        g.SelectObject(mem, old);
    }
    if (bmp) g.DeleteObject(bmp);
    if (mem) g.DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

// One standard icon drawn at the control's size: its colour where it is opaque, and which
// pixels those are (drawn on black and on white, the opaque ones come out the same).
struct IconPicture {
    int w = 0, h = 0;
    std::vector<DWORD> color;
    std::vector<bool> opaque;
};

bool render_icon(HICON icon, int w, int h, IconPicture& pic) {
    std::vector<DWORD> on_black, on_white;
    if (!picture(w, h, 0, 0, icon, RGB(0, 0, 0), on_black) ||
        !picture(w, h, 0, 0, icon, RGB(255, 255, 255), on_white))
        return false;
    pic.w = w;
    pic.h = h;
    pic.color = on_black;
    pic.opaque.assign(on_black.size(), false);
    for (size_t i = 0; i < on_black.size(); ++i) pic.opaque[i] = on_black[i] == on_white[i];
    return true;
}

bool close_colour(DWORD a, DWORD b) {
    for (int shift = 0; shift < 24; shift += 8) {
        int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        if (std::abs(ca - cb) > 24) return false;
    }
    return true;
}

// Share of the icon's opaque pixels that the screen shows in the icon's colour.
double match_score(const IconPicture& pic, const std::vector<DWORD>& shot) {
    size_t opaque = 0, same = 0;
    for (size_t i = 0; i < pic.color.size() && i < shot.size(); ++i) {
        if (!pic.opaque[i]) continue;
        ++opaque;
        if (close_colour(pic.color[i], shot[i])) ++same;
    }
    // Too few opaque pixels would let a blank area match anything.
    if (opaque < static_cast<size_t>(pic.w * pic.h) / 8) return 0.0;
    return static_cast<double>(same) / static_cast<double>(opaque);
}

// Returns the name of the standard icon on the icon control, "none" or "unknown".
//
// On Windows the system icons are shared handles, so STM_GETICON's answer equals this
// process's LoadIcon(NULL, ...). Wine keeps such handles per process, so there the icon is
// recognised by comparing what the control shows on screen with the standard icons drawn
// here at the control's size, until the box's pixels show one of them or the deadline passes
// (a busy machine may take seconds to paint the box).
std::string identify_icon(HWND icon_ctl, ULONGLONG deadline) {
    if (!icon_ctl) return "none";
    DWORD_PTR res = 0;
    if (!SendMessageTimeoutA(icon_ctl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &res)) res = 0;
    HICON shown = reinterpret_cast<HICON>(res);
    if (!shown) return "none";
    for (const auto& ic : kIcons) {
        if (LoadIconA(nullptr, ic.res) == shown) {
            debug("icon %p matches %s by handle", (void*)shown, ic.name);
            return ic.name;
        }
    }

    RECT rc;
    if (!gdi().ok || !GetClientRect(icon_ctl, &rc)) return "unknown";
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0 || w > 256 || h > 256) return "unknown";
    POINT origin = {0, 0};
    ClientToScreen(icon_ctl, &origin);

    std::vector<IconPicture> pics;
    for (const auto& ic : kIcons) {
        IconPicture pic;
        HICON mine = LoadIconA(nullptr, ic.res);
        if (!mine || !render_icon(mine, w, h, pic)) pic = IconPicture();
        pics.push_back(pic);
    }

    // The box may not be painted yet right after it became visible; look again until it is.
    for (int attempt = 0; attempt < 10 || GetTickCount64() < deadline; ++attempt) {
        std::vector<DWORD> shot;
        if (picture(w, h, origin.x, origin.y, nullptr, 0, shot)) {
            double best = 0.0, second = 0.0;
            const char* best_name = nullptr;
            for (size_t i = 0; i < pics.size(); ++i) {
                if (pics[i].w == 0) continue;
                double s = match_score(pics[i], shot);
                debug("icon %dx%d at %ld,%ld: %s scores %.3f", w, h, origin.x, origin.y, kIcons[i].name, s);
                if (s > best) {
                    second = best;
                    best = s;
                    best_name = kIcons[i].name;
                } else if (s > second) {
                    second = s;
                }
            }
            // Wine's question and information icons share the bubble, so a near-complete
            // match is needed and the runner-up may come close.
            if (best_name && best >= 0.95 && best - second >= 0.05) return best_name;
        } else {
            debug("icon: screen capture failed");
        }
        Sleep(100);
    }
    return "unknown";
}

// ---- finding boxes --------------------------------------------------------------------

struct Filter {
    DWORD pid = 0;
    std::string exe;
};

std::string process_exe(DWORD pid) {
    HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!p) return std::string();
    char path[MAX_PATH * 2] = {};
    DWORD size = sizeof path;
    std::string result;
    if (QueryFullProcessImageNameA(p, 0, path, &size)) {
        result.assign(path, size);
        size_t cut = result.find_last_of("\\/");
        if (cut != std::string::npos) result.erase(0, cut + 1);
    }
    CloseHandle(p);
    return result;
}

struct Box {
    HWND hwnd = nullptr;
    HWND text = nullptr;
    HWND icon = nullptr;
    std::vector<std::pair<int, HWND>> buttons;  // left to right
};

// A message box holds one text static, at most one icon static and buttons with the
// standard ids, nothing else. That keeps an application's own dialogs (class "#32770" as
// well) out, such as the main window of a dialog-based program.
bool inspect(HWND hwnd, Box& box) {
    box = Box();
    box.hwnd = hwnd;
    struct Child {
        HWND h;
        RECT r;
    };
    std::vector<HWND> kids;
    for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) kids.push_back(c);
    std::vector<Child> buttons;
    int texts = 0;
    HWND text_ffff = nullptr, text_any = nullptr;
    for (HWND c : kids) {
        if (!IsWindowVisible(c)) continue;
        std::string cls = class_name(c);
        LONG style = GetWindowLongA(c, GWL_STYLE);
        int id = GetDlgCtrlID(c) & 0xFFFF;
        debug("  child %p class=%s id=0x%X style=0x%08lX", (void*)c, cls.c_str(), id, (unsigned long)style);
        if (_stricmp(cls.c_str(), "Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON) {
                if (box.icon) return false;
                box.icon = c;
            } else {
                ++texts;
                text_any = c;
                if (id == 0xFFFF) text_ffff = c;
            }
        } else if (_stricmp(cls.c_str(), "Button") == 0) {
            if (!button_name(id)) return false;
            Child ch{c, {}};
            GetWindowRect(c, &ch.r);
            buttons.push_back(ch);
        } else {
            return false;
        }
    }
    if (texts != 1 || buttons.empty()) return false;
    box.text = text_ffff ? text_ffff : text_any;
    std::stable_sort(buttons.begin(), buttons.end(), [](const Child& a, const Child& b) {
        if (a.r.left != b.r.left) return a.r.left < b.r.left;
        return a.r.top < b.r.top;
    });
    for (const auto& b : buttons) box.buttons.emplace_back(GetDlgCtrlID(b.h) & 0xFFFF, b.h);
    return true;
}

struct Search {
    const Filter* filter;
    DWORD self;
    HWND found;
    Box box;
};

BOOL CALLBACK find_box(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    if (!IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd)) return TRUE;
    if (class_name(hwnd) != "#32770") return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == s->self) return TRUE;
    if (s->filter->pid && pid != s->filter->pid) return TRUE;
    if (!s->filter->exe.empty() && _stricmp(process_exe(pid).c_str(), s->filter->exe.c_str()) != 0)
        return TRUE;
    debug("candidate %p of process %lu", (void*)hwnd, (unsigned long)pid);
    Box box;
    if (!inspect(hwnd, box)) {
        debug("  not a message box");
        return TRUE;
    }
    s->found = hwnd;
    s->box = box;
    return FALSE;
}

bool next_box(const Filter& filter, Box& box) {
    Search s{&filter, GetCurrentProcessId(), nullptr, Box()};
    EnumWindows(find_box, reinterpret_cast<LPARAM>(&s));
    if (!s.found) return false;
    box = s.box;
    return true;
}

bool box_open(HWND hwnd) { return IsWindow(hwnd) && IsWindowVisible(hwnd); }

// ---- command line ---------------------------------------------------------------------

struct Options {
    double timeout = 30;
    long count = -1;
    double quiet = -1;  // -1: not given
    std::vector<int> press;
    Filter filter;
    std::string ready_file, stop_file, shown_file, answer_file;
};

[[noreturn]] void usage(const char* why) {
    note("%s", why);
    std::fputs(
        "usage: msgbox_driver [--timeout S] [--count N] [--press BUTTON[,BUTTON...]]\n"
        "                     [--quiet-after S] [--pid PID] [--exe NAME]\n"
        "                     [--ready-file PATH] [--stop-file PATH]\n"
        "                     [--shown-file PATH] [--answer-when PATH] [--debug]\n",
        stderr);
    std::exit(2);
}

double parse_seconds(const char* opt, const char* s) {
    char* end = nullptr;
    double v = std::strtod(s, &end);
    if (!*s || *end || !(v >= 0) || v > 86400) usage((std::string(opt) + ": bad number of seconds").c_str());
    return v;
}

long parse_count(const char* opt, const char* s) {
    char* end = nullptr;
    long v = std::strtol(s, &end, 10);
    if (!*s || *end || v < 0) usage((std::string(opt) + ": bad number").c_str());
    return v;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--debug") {
            g_debug = true;
            continue;
        }
        if (i + 1 >= argc) usage((a + ": unknown option or missing value").c_str());
        const char* v = argv[++i];
        if (a == "--timeout") {
            o.timeout = parse_seconds("--timeout", v);
        } else if (a == "--quiet-after") {
            o.quiet = parse_seconds("--quiet-after", v);
        } else if (a == "--count") {
            o.count = parse_count("--count", v);
        } else if (a == "--pid") {
            o.filter.pid = static_cast<DWORD>(parse_count("--pid", v));
        } else if (a == "--exe") {
            o.filter.exe = v;
        } else if (a == "--ready-file") {
            o.ready_file = v;
        } else if (a == "--stop-file") {
            o.stop_file = v;
        } else if (a == "--shown-file") {
            o.shown_file = v;
        } else if (a == "--answer-when") {
            o.answer_file = v;
        } else if (a == "--press") {
            std::string list = v;
            size_t pos = 0;
            while (true) {
                size_t comma = list.find(',', pos);
                std::string name =
                    list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
                int id = button_id(name);
                if (!id) usage(("--press: unknown button \"" + name + "\"").c_str());
                o.press.push_back(id);
                if (comma == std::string::npos) break;
                pos = comma + 1;
            }
        } else {
            usage((a + ": unknown option").c_str());
        }
    }
    if (o.quiet < 0) o.quiet = o.count > 0 ? 0 : 3;
    return o;
}

// ---- answering ------------------------------------------------------------------------

bool has_button(const Box& box, int id) {
    for (const auto& b : box.buttons)
        if (b.first == id) return true;
    return false;
}

HWND button_window(const Box& box, int id) {
    for (const auto& b : box.buttons)
        if (b.first == id) return b.second;
    return nullptr;
}

// Posting WM_COMMAND ends the box the way its own button would, without needing focus or
// the mouse. BM_CLICK is the fallback should a box ignore that.
void press(const Box& box, int id, int attempt) {
    HWND btn = button_window(box, id);
    if (attempt % 2 == 0 || !btn)
        PostMessageA(box.hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(btn));
    else
        PostMessageA(btn, BM_CLICK, 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
    Options opt = parse(argc, argv);

    const ULONGLONG start = GetTickCount64();
    const ULONGLONG deadline = start + static_cast<ULONGLONG>(opt.timeout * 1000.0);
    const ULONGLONG quiet_ms = static_cast<ULONGLONG>(opt.quiet * 1000.0);
    ULONGLONG last_activity = start;
    long handled = 0;
    int failure = 0;
    auto fail = [&](int code) {
        if (!failure) failure = code;
    };
    auto finish = [&](int code) {
        note("%ld box(es) handled, exit %d", handled, code);
        return code;
    };

    if (!opt.ready_file.empty() && !signal_files::Create(opt.ready_file.c_str())) {
        note("cannot create ready file %s", opt.ready_file.c_str());
        return finish(2);
    }

    while (true) {
        Box box;
        if (next_box(opt.filter, box)) {
            ++handled;
            debug("box %ld: %p", handled, (void*)box.hwnd);
            if (opt.count >= 0 && handled > opt.count) {
                note("unexpected box %ld (expected %ld)", handled, opt.count);
                fail(3);
            }

            std::string caption = window_text(box.hwnd);
            std::string text = box.text ? window_text(box.text) : std::string();
            std::string icon = identify_icon(box.icon, deadline);
            debug("box %ld: read, icon %s", handled, icon.c_str());

            int want = 0;
            if (!opt.press.empty()) want = opt.press[std::min<size_t>(handled - 1, opt.press.size() - 1)];
            int id = 0;
            if (want && has_button(box, want)) {
                id = want;
            } else if (want) {
                note("box %ld has no %s button", handled, button_name(want));
                fail(4);
                for (int fallback : {IDCANCEL, IDNO, IDOK})
                    if (!id && has_button(box, fallback)) id = fallback;
                if (!id) id = box.buttons.front().first;
            } else {
                id = has_button(box, IDOK) ? IDOK : box.buttons.front().first;
            }

            if (!opt.shown_file.empty() && !signal_files::Create(opt.shown_file.c_str()))
                note("cannot create shown file %s", opt.shown_file.c_str());
            if (!opt.answer_file.empty()) {
                ULONGLONG now = GetTickCount64(), left = now < deadline ? deadline - now : 0;
                if (!signal_files::WaitFor(opt.answer_file.c_str(), static_cast<DWORD>(left)))
                    note("box %ld: %s never came", handled, opt.answer_file.c_str());
            }

            std::string buttons;
            for (const auto& b : box.buttons) {
                if (!buttons.empty()) buttons += ',';
                buttons += button_name(b.first);  // inspect() admits standard ids only
            }

            // The first press gets a full second to work even when the box came just before
            // the timeout; presses after that only until the timeout.
            bool closed = false;
            for (int attempt = 0;; ++attempt) {
                press(box, id, attempt);
                ULONGLONG until = GetTickCount64() + 1000;
                if (attempt > 0) until = std::min(until, deadline);
                while (GetTickCount64() < until && box_open(box.hwnd)) Sleep(20);
                if (!box_open(box.hwnd)) {
                    debug("box %ld closed after %d press(es)", handled, attempt + 1);
                    closed = true;
                    break;
                }
                if (GetTickCount64() >= deadline) break;
                debug("box %ld still open, pressing again", handled);
            }

            write_line("box caption=\"" + escape(caption) + "\" text=\"" + escape(text) +
                       "\" buttons=" + buttons + " icon=" + icon + " pressed=" + button_name(id));
            if (!closed) {
                note("box %ld did not close before the timeout", handled);
                fail(1);
                return finish(failure);
            }
            last_activity = GetTickCount64();
            // The program may show its next box at once; with no quiet period after the
            // N-th box that one belongs to whoever answers next, not to this run.
            if (opt.count > 0 && handled == opt.count && quiet_ms == 0) return finish(failure);
            continue;
        }

        const ULONGLONG now = GetTickCount64();
        const bool count_met = opt.count < 0 || handled >= opt.count;
        if (count_met && now - last_activity >= quiet_ms) return finish(failure);
        if (signal_files::Exists(opt.stop_file.c_str())) {
            // The program under test is done; boxes still missing will not come.
            if (!count_met) {
                note("stopped: %ld of %ld box(es) seen", handled, opt.count);
                fail(1);
            }
            return finish(failure);
        }
        if (now >= deadline) {
            if (!count_met) {
                note("timeout: %ld of %ld box(es) seen", handled, opt.count);
                fail(1);
            }
            return finish(failure);
        }
        Sleep(50);
    }
}
