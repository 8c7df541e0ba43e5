// dialog_driver: drives nelkar.exe's set-up dialog through window messages for the Wine tests.
//
//   dialog_driver.exe COMMAND... (run in order)
//     wait              until the dialog "HTTP-Proxyserver-Setup" is visible (60 s at most)
//     dump              one line for the form and one per control, in creation (tab) order:
//                         form caption="..." client=WxH outer=WxH centred=0|1 minbox=0|1 maxbox=0|1
//                              frame=single|dialog|sizeable enabled=0|1
//                         control NAME class=C text="..." at=X,Y size=WxH group=0|1 tabstop=0|1 enabled=0|1
//                         checked=0|1
//                       positions are relative to the form's client area
//     settext NAME TEXT set a control's text
//     click NAME        click a control and wait until the dialog has handled it
//     post NAME         click a control without waiting (for clicks that show a message box)
//     mouse NAME N      N clicks of the left mouse button on the control's centre, as real input
//                       (2: a double click); does not wait
//     keys KEY,...      key strokes as real input to the focused window: tab, backtab, up, down,
//                       space, enter, esc; returns once the dialog has taken each (at most
//                       10 s each: a dialog that takes no input leaves them in its queue)
//     waitdisabled      until the dialog takes no input (a connection test runs), 60 s at most
//     focus             prints "focus NAME" for the control that has the keyboard focus
//                       ("focus form" for the form itself, "focus none" for no window)
//     waitbox           until a message box of the dialog's process is up (60 s at most); prints
//                         box owner=form|other|none form-enabled=0|1
//                       and leaves the box open
//     boxes             prints "boxes N", the number of message boxes the dialog's process has up
//     close             posts WM_CLOSE to the form, as the taskbar or the task manager do
//     quit              posts WM_QUIT to the form's thread
//     sleep MS          waits
//     waitfile PATH     until the file exists (60 s at most)
//     touch PATH        create the file
//     waitgone          until the dialog has closed (60 s at most)
// Exit code 0, or 1 with a message on stderr when a command fails.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "resource.h"
#include "signal_files.h"

namespace {

struct Control {
    const char* name;
    int id;
} const kControls[] = {{"GroupBox2", IDC_PROXY_GROUP},
                       {"EnableProxyBtn", IDC_ENABLE_PROXY_BTN},
                       {"DisableProxyBtn", IDC_DISABLE_PROXY_BTN},
                       {"Label3", IDC_ADDRESS_LABEL},
                       {"Label4", IDC_PORT_LABEL},
                       {"AddressEdit", IDC_ADDRESS_EDIT},
                       {"PortEdit", IDC_PORT_EDIT},
                       {"CheckProxyBtn", IDC_CHECK_PROXY_BTN},
                       {"SaveBtn", IDC_SAVE_BTN},
                       {"DiscardBtn", IDC_DISCARD_BTN}};

HWND g_form = nullptr;

HWND FindForm() { return FindWindowA("TSetupForm", "HTTP-Proxyserver-Setup"); }

int Fail(const std::string& what) {
    std::fprintf(stderr, "dialog_driver: %s\n", what.c_str());
    return 1;
}

HWND ControlByName(const std::string& name) {
    for (const Control& c : kControls)
        if (name == c.name) return GetDlgItem(g_form, c.id);
    return nullptr;
}

const char* NameOf(int id) {
    for (const Control& c : kControls)
        if (c.id == id) return c.name;
    return "?";
}

std::string TextOf(HWND w) {
    char buf[1024] = {};
    SendMessageA(w, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
    return buf;
}

const char* FrameOf(HWND w) {
    LONG style = GetWindowLongA(w, GWL_STYLE), ex = GetWindowLongA(w, GWL_EXSTYLE);
    if (style & WS_THICKFRAME) return "sizeable";
    if (ex & WS_EX_DLGMODALFRAME) return "dialog";
    return "single";
}

void Dump() {
    RECT client, outer;
    GetClientRect(g_form, &client);
    GetWindowRect(g_form, &outer);
    LONG style = GetWindowLongA(g_form, GWL_STYLE);
    int ow = outer.right - outer.left, oh = outer.bottom - outer.top;
    int cx = (GetSystemMetrics(SM_CXSCREEN) - ow) / 2, cy = (GetSystemMetrics(SM_CYSCREEN) - oh) / 2;
    bool centred = std::abs(outer.left - cx) <= 1 && std::abs(outer.top - cy) <= 1;
    std::printf(
        "form caption=\"%s\" client=%ldx%ld outer=%dx%d centred=%d minbox=%d maxbox=%d frame=%s enabled=%d\n",
        TextOf(g_form).c_str(), client.right, client.bottom, ow, oh, centred ? 1 : 0,
        (style & WS_MINIMIZEBOX) ? 1 : 0, (style & WS_MAXIMIZEBOX) ? 1 : 0, FrameOf(g_form),
        IsWindowEnabled(g_form) ? 1 : 0);
    for (HWND c = GetWindow(g_form, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, g_form, reinterpret_cast<POINT*>(&r), 2);
        char cls[64] = {};
        GetClassNameA(c, cls, sizeof cls);
        LONG cs = GetWindowLongA(c, GWL_STYLE);
        std::printf(
            "control %s class=%s text=\"%s\" at=%ld,%ld size=%ldx%ld group=%d tabstop=%d enabled=%d "
            "checked=%d\n",
            NameOf(GetDlgCtrlID(c)), cls, TextOf(c).c_str(), r.left, r.top, r.right - r.left,
            r.bottom - r.top, (cs & WS_GROUP) ? 1 : 0, (cs & WS_TABSTOP) ? 1 : 0, IsWindowEnabled(c) ? 1 : 0,
            SendMessageA(c, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    }
    std::fflush(stdout);
}

// Real input goes through the system's input queue, so a disabled window does not get it.
void SendMouseClicks(HWND c, int count) {
    RECT r;
    GetWindowRect(c, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    for (int i = 0; i < count; ++i) {
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_MOUSE;
        in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, in, sizeof(INPUT));
    }
}

struct Key {
    const char* name;
    WORD vk;
    bool shift;
} const kKeys[] = {{"tab", VK_TAB, false},   {"backtab", VK_TAB, true},  {"up", VK_UP, false},
                   {"down", VK_DOWN, false}, {"space", VK_SPACE, false}, {"enter", VK_RETURN, false},
                   {"esc", VK_ESCAPE, false}};

bool SendKeys(const std::string& list) {
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        std::string name = list.substr(start, end - start);
        const Key* key = nullptr;
        for (const Key& k : kKeys)
            if (name == k.name) key = &k;
        if (!key) return false;
        INPUT in[4] = {};
        int n = 0;
        auto add = [&](WORD vk, bool up) {
            in[n].type = INPUT_KEYBOARD;
            in[n].ki.wVk = vk;
            in[n].ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            ++n;
        };
        if (key->shift) add(VK_SHIFT, false);
        add(key->vk, false);
        add(key->vk, true);
        if (key->shift) add(VK_SHIFT, true);
        // With the driver's input attached to the dialog's thread, GetKeyState gives the key
        // state as of the last key message the dialog took from its queue; a key pressed and
        // released flips its toggle bit. Once the key released last has been taken, the
        // dialog has handled every key before it. The input stays attached from the first key
        // on: attaching again starts from a fresh key state, which the toggle bit cannot be
        // compared with.
        WORD last = key->shift ? VK_SHIFT : key->vk;
        static bool attached = AttachThreadInput(GetCurrentThreadId(),
                                                 GetWindowThreadProcessId(g_form, nullptr), TRUE) != FALSE;
        SHORT before = GetKeyState(last);
        SendInput(n, in, sizeof(INPUT));
        for (int i = 0; attached && i < 200; ++i) {
            SHORT now = GetKeyState(last);
            if ((now & 1) != (before & 1) && !(now & 0x8000)) break;
            Sleep(50);
        }
        // ... and the key released last too, once a message sent after it has been handled.
        SendMessageTimeoutA(g_form, WM_NULL, 0, 0, SMTO_NORMAL, 10000, nullptr);
        start = end + 1;
    }
    return true;
}

std::string FocusName() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(g_form, nullptr), &info) || !info.hwndFocus) return "none";
    if (info.hwndFocus == g_form) return "form";
    return NameOf(GetDlgCtrlID(info.hwndFocus));
}

// The message boxes of the dialog's process: its visible top-level windows of the dialog class.
HWND g_box = nullptr;
int g_box_count = 0;

BOOL CALLBACK CountBox(HWND w, LPARAM) {
    DWORD pid = 0, form_pid = 0;
    GetWindowThreadProcessId(w, &pid);
    GetWindowThreadProcessId(g_form, &form_pid);
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (pid == form_pid && IsWindowVisible(w) && std::string(cls) == "#32770") {
        g_box = w;
        ++g_box_count;
    }
    return TRUE;
}

int CountBoxes() {
    g_box = nullptr;
    g_box_count = 0;
    EnumWindows(CountBox, 0);
    return g_box_count;
}

bool WaitFor(bool (*done)(), int seconds) {
    for (int i = 0; i < seconds * 20; ++i) {
        if (done()) return true;
        Sleep(50);
    }
    return done();
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string cmd = argv[i];
        auto arg = [&](const char* what) -> std::string {
            if (i + 1 >= argc) return std::string();
            (void)what;
            return argv[++i];
        };
        if (cmd == "wait") {
            if (!WaitFor([] { return (g_form = FindForm()) != nullptr && IsWindowVisible(g_form); }, 60))
                return Fail("the set-up dialog did not appear");
            continue;
        }
        if (cmd == "waitgone") {
            if (!WaitFor([] { return FindForm() == nullptr; }, 60))
                return Fail("the set-up dialog did not close");
            continue;
        }
        if (cmd == "waitfile" || cmd == "touch") {
            std::string path = arg("path");
            if (cmd == "touch" && !signal_files::Create(path.c_str())) return Fail("cannot create " + path);
            if (cmd == "waitfile" && !signal_files::WaitFor(path.c_str(), 60000)) return Fail("no file " + path);
            continue;
        }
        if (!g_form) g_form = FindForm();
        if (!g_form) return Fail("no dialog");
        if (cmd == "dump") {
            Dump();
        } else if (cmd == "settext") {
            std::string name = arg("name"), text = arg("text");
            HWND c = ControlByName(name);
            if (!c) return Fail("no control " + name);
            SendMessageA(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        } else if (cmd == "click" || cmd == "post") {
            std::string name = arg("name");
            HWND c = ControlByName(name);
            if (!c) return Fail("no control " + name);
            WPARAM wp = MAKEWPARAM(GetDlgCtrlID(c), BN_CLICKED);
            if (cmd == "click")
                SendMessageA(g_form, WM_COMMAND, wp, reinterpret_cast<LPARAM>(c));
            else
                PostMessageA(g_form, WM_COMMAND, wp, reinterpret_cast<LPARAM>(c));
        } else if (cmd == "mouse") {
            std::string name = arg("name");
            int count = std::atoi(arg("count").c_str());
            HWND c = ControlByName(name);
            if (!c) return Fail("no control " + name);
            SendMouseClicks(c, count);
        } else if (cmd == "keys") {
            std::string list = arg("keys");
            SetForegroundWindow(g_form);
            if (!SendKeys(list)) return Fail("unknown key in " + list);
        } else if (cmd == "focus") {
            std::printf("focus %s\n", FocusName().c_str());
            std::fflush(stdout);
        } else if (cmd == "waitbox") {
            if (!WaitFor([] { return CountBoxes() > 0; }, 60)) return Fail("no message box appeared");
            HWND owner = GetWindow(g_box, GW_OWNER);
            std::printf("box owner=%s form-enabled=%d\n",
                        owner == g_form ? "form"
                        : owner         ? "other"
                                        : "none",
                        IsWindowEnabled(g_form) ? 1 : 0);
            std::fflush(stdout);
        } else if (cmd == "waitdisabled") {
            if (!WaitFor([] { return !IsWindowEnabled(g_form); }, 60)) return Fail("the dialog stays enabled");
        } else if (cmd == "boxes") {
            std::printf("boxes %d\n", CountBoxes());
            std::fflush(stdout);
        } else if (cmd == "quit") {
            PostThreadMessageA(GetWindowThreadProcessId(g_form, nullptr), WM_QUIT, 0, 0);
        } else if (cmd == "close") {
            PostMessageA(g_form, WM_CLOSE, 0, 0);
        } else if (cmd == "sleep") {
            Sleep(static_cast<DWORD>(std::atoi(arg("ms").c_str())));
        } else {
            return Fail("unknown command " + cmd);
        }
    }
    return 0;
}
