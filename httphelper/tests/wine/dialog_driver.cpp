// dialog_driver: drives nelkar.exe's set-up dialog through window messages for the Wine tests.
//
//   dialog_driver.exe COMMAND... (run in order)
//     wait              until the dialog "HTTP-Proxyserver-Setup" is visible (60 s at most)
//     dump              one line for the form and one per control, in creation (tab) order:
//                         form caption="..." client=WxH outer=WxH centred=0|1 minbox=0|1 maxbox=0|1 sizeable=0|1
//                         control NAME class=C text="..." at=X,Y size=WxH tabstop=0|1 enabled=0|1 checked=0|1
//                       positions are relative to the form's client area
//     settext NAME TEXT set a control's text
//     click NAME        click a control and wait until the dialog has handled it
//     post NAME         click a control without waiting (for clicks that show a message box)
//     waitfile PATH     until the file exists
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

namespace {

struct Control {
  const char* name;
  int id;
} const kControls[] = {{"GroupBox2", IDC_GROUPBOX2},     {"EnableProxyBtn", IDC_ENABLEPROXYBTN},
                       {"DisableProxyBtn", IDC_DISABLEPROXYBTN}, {"Label3", IDC_LABEL3},
                       {"Label4", IDC_LABEL4},           {"AddressEdit", IDC_ADDRESSEDIT},
                       {"PortEdit", IDC_PORTEDIT},       {"CheckProxyBtn", IDC_CHECKPROXYBTN},
                       {"SaveBtn", IDC_SAVEBTN},         {"DiscardBtn", IDC_DISCARDBTN}};

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

void Dump() {
  RECT client, outer;
  GetClientRect(g_form, &client);
  GetWindowRect(g_form, &outer);
  LONG style = GetWindowLongA(g_form, GWL_STYLE);
  int ow = outer.right - outer.left, oh = outer.bottom - outer.top;
  int cx = (GetSystemMetrics(SM_CXSCREEN) - ow) / 2, cy = (GetSystemMetrics(SM_CYSCREEN) - oh) / 2;
  bool centred = std::abs(outer.left - cx) <= 1 && std::abs(outer.top - cy) <= 1;
  std::printf("form caption=\"%s\" client=%ldx%ld outer=%dx%d centred=%d minbox=%d maxbox=%d sizeable=%d\n",
              TextOf(g_form).c_str(), client.right, client.bottom, ow, oh, centred ? 1 : 0,
              (style & WS_MINIMIZEBOX) ? 1 : 0, (style & WS_MAXIMIZEBOX) ? 1 : 0, (style & WS_THICKFRAME) ? 1 : 0);
  for (HWND c = GetWindow(g_form, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, g_form, reinterpret_cast<POINT*>(&r), 2);
    char cls[64] = {};
    GetClassNameA(c, cls, sizeof cls);
    LONG cs = GetWindowLongA(c, GWL_STYLE);
    std::printf("control %s class=%s text=\"%s\" at=%ld,%ld size=%ldx%ld tabstop=%d enabled=%d checked=%d\n",
                NameOf(GetDlgCtrlID(c)), cls, TextOf(c).c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top,
                (cs & WS_TABSTOP) ? 1 : 0, IsWindowEnabled(c) ? 1 : 0,
                SendMessageA(c, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
  }
  std::fflush(stdout);
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
      if (!WaitFor([] { return FindForm() == nullptr; }, 60)) return Fail("the set-up dialog did not close");
      continue;
    }
    if (cmd == "waitfile" || cmd == "touch") {
      std::string path = arg("path");
      if (cmd == "touch") {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return Fail("cannot create " + path);
        CloseHandle(h);
        continue;
      }
      for (int k = 0; k < 1200 && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES; ++k) Sleep(50);
      if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return Fail("no file " + path);
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
    } else {
      return Fail("unknown command " + cmd);
    }
  }
  return 0;
}
