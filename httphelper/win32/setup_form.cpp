// Win32 only: the set-up dialog, built from plain windows so its geometry is exact.
#include "setup_form.h"

#include <cstring>

#include "resource.h"
#include "win_registry.h"

namespace nelkar {
namespace {

const char kFormClass[] = "TSetupForm";
const DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// A single fixed border: a caption frame without sizing, which keeps the caption icon.
const DWORD kFormExStyle = WS_EX_CONTROLPARENT;
const int kClientWidth = 370;
const int kClientHeight = 131;
// The group box's own origin: the controls inside it are placed relative to it.
const int kGroupX = 8;
const int kGroupY = 8;

}  // namespace

TSetupForm::TSetupForm(Settings& settings, TInetConn& conn) : settings_(settings), conn_(conn) {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = inst;
    wc.hIcon = LoadIconA(inst, MAKEINTRESOURCEA(IDI_NELKAR));
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClass;
    RegisterClassA(&wc);

    RECT r{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&r, kFormStyle, FALSE, kFormExStyle);
    int w = r.right - r.left, h = r.bottom - r.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    hwnd_ = CreateWindowExA(kFormExStyle, kFormClass, "HTTP-Proxyserver-Setup", kFormStyle, x, y, w, h,
                            nullptr, nullptr, inst, this);
    if (!hwnd_) throw std::runtime_error("cannot create the set-up window");

    // MS Sans Serif, 8 point, at the 96 dpi the layout was made for (not scaled).
    font_ = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");

    // Creation order is the tab order: the group with its controls, then the two buttons. Of the
    // two radio buttons only the checked one is a tab stop (UpdateSetupControls); the arrow keys
    // move between them, and the labels after them start a group of their own.
    Add("BUTTON", " Proxyserver ", BS_GROUPBOX, 0, IDC_PROXY_GROUP, kGroupX, kGroupY, 355, 73);
    Add("BUTTON", "Aktivieren", BS_RADIOBUTTON | WS_GROUP, 0, IDC_ENABLE_PROXY_BTN, kGroupX + 8, kGroupY + 19,
        81, 17);
    Add("BUTTON", "Deaktivieren", BS_RADIOBUTTON, 0, IDC_DISABLE_PROXY_BTN, kGroupX + 8, kGroupY + 46, 81,
        17);
    AddLabel("Adresse     :", WS_GROUP, IDC_ADDRESS_LABEL, kGroupX + 94, kGroupY + 19);
    AddLabel("Anschluss  :", 0, IDC_PORT_LABEL, kGroupX + 94, kGroupY + 47);
    Add("EDIT", "proxy", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, WS_EX_CLIENTEDGE, IDC_ADDRESS_EDIT,
        kGroupX + 160, kGroupY + 16, 185, 21);
    Add("EDIT", "3128", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, WS_EX_CLIENTEDGE, IDC_PORT_EDIT,
        kGroupX + 160, kGroupY + 43, 49, 21);
    Add("BUTTON", "&Testen", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, IDC_CHECK_PROXY_BTN, kGroupX + 216,
        kGroupY + 43, 129, 21);
    Add("BUTTON", "&Speichern", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, IDC_SAVE_BTN, 176, 93, 82, 30);
    Add("BUTTON", "&Verwerfen", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, IDC_DISCARD_BTN, 280, 92, 82, 30);
}

TSetupForm::~TSetupForm() {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    if (font_) DeleteObject(font_);
}

HWND TSetupForm::Add(const char* cls, const char* text, DWORD style, DWORD exStyle, int id, int x, int y,
                     int w, int h) {
    HWND c = CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                             nullptr);
    SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return c;
}

// Labels size themselves to their text, as auto-sized labels do.
void TSetupForm::AddLabel(const char* text, DWORD style, int id, int x, int y) {
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, font_);
    SIZE size{60, 13};
    GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &size);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    Add("STATIC", text, SS_LEFT | SS_NOPREFIX | style, 0, id, x, y, size.cx, size.cy);
}

std::string TSetupForm::Text(int id) const {
    HWND c = GetDlgItem(hwnd_, id);
    int n = GetWindowTextLengthA(c);
    std::string s(static_cast<size_t>(n) + 1, '\0');
    GetWindowTextA(c, &s[0], n + 1);
    s.resize(static_cast<size_t>(n));
    return s;
}

void TSetupForm::Show() {
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    SetFocus(GetDlgItem(hwnd_, settings_.UseProxy ? IDC_ENABLE_PROXY_BTN : IDC_DISABLE_PROXY_BTN));
}

void TSetupForm::UpdateSetupControls() {
    SetWindowTextA(GetDlgItem(hwnd_, IDC_ADDRESS_EDIT), settings_.ProxyAddr.c_str());
    SetWindowTextA(GetDlgItem(hwnd_, IDC_PORT_EDIT), std::to_string(settings_.ProxyPort).c_str());
    CheckDlgButton(hwnd_, IDC_ENABLE_PROXY_BTN, settings_.UseProxy ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd_, IDC_DISABLE_PROXY_BTN, settings_.UseProxy ? BST_UNCHECKED : BST_CHECKED);
    SetTabStop(IDC_ENABLE_PROXY_BTN, settings_.UseProxy);
    SetTabStop(IDC_DISABLE_PROXY_BTN, !settings_.UseProxy);
    for (int id : {IDC_ADDRESS_EDIT, IDC_PORT_EDIT, IDC_CHECK_PROXY_BTN})
        EnableWindow(GetDlgItem(hwnd_, id), settings_.UseProxy);
}

void TSetupForm::SetTabStop(int id, bool on) {
    HWND c = GetDlgItem(hwnd_, id);
    LONG style = GetWindowLongA(c, GWL_STYLE);
    SetWindowLongA(c, GWL_STYLE, on ? style | WS_TABSTOP : style & ~WS_TABSTOP);
}

void TSetupForm::EnableProxyBtnClick() {
    settings_.UseProxy = true;
    UpdateSetupControls();
}

void TSetupForm::DisableProxyBtnClick() {
    settings_.UseProxy = false;
    UpdateSetupControls();
}

void TSetupForm::CheckProxyBtnClick() {
    ConnectionTest test;
    test.host = Text(IDC_ADDRESS_EDIT);
    try {
        test.port = StrToInt(Text(IDC_PORT_EDIT));
    } catch (const EConvertError&) {
        Box("Unzul\xE4ssiger Proxyanschluss angegeben", "Fehler", MB_OK | MB_ICONERROR);
        return;
    }
    bool connected = TestConnection(test);
    if (closeRequested_) {
        // Closed while the test was waiting: the test was cancelled and has no result to show.
        DestroyWindow(hwnd_);
        return;
    }
    if (!connected) {
        Box("Verbindungstest fehlgeschlagen!", "Fehler", MB_OK | MB_ICONERROR);
        return;
    }
    Box("Verbindungstest erfolgreich!", "Information", MB_OK | MB_ICONINFORMATION);
    conn_.EndConnectionTest();
}

// The connect waits inside this window's click handler and dispatches messages meanwhile. The
// dialog is disabled and keeps no keyboard focus for that time, so no click, key or mnemonic
// reaches it; OnCommand also drops commands that arrive anyway (posted by another program, say).
// The result box that follows gives the focus back (WM_SETFOCUS).
bool TSetupForm::TestConnection(const ConnectionTest& test) {
    SaveFocus();
    testing_ = true;
    closeRequested_ = false;
    EnableWindow(hwnd_, FALSE);
    SetFocus(nullptr);
    bool connected = conn_.StartConnectionTest(test);
    testing_ = false;
    EnableWindow(hwnd_, TRUE);
    return connected;
}

int TSetupForm::Box(const char* text, const char* caption, UINT flags) {
    // Owned by the dialog, the box disables it until it is closed.
    return MessageBoxA(hwnd_, text, caption, flags);
}

void TSetupForm::ShowError(const std::string& message) {
    std::string text = message;
    if (!text.empty() && text.back() != '.') text += '.';
    Box(text.c_str(), "NELKAR", MB_OK | MB_ICONSTOP);
}

void TSetupForm::SaveBtnClick() {
    settings_.ProxyAddr = Text(IDC_ADDRESS_EDIT);
    try {
        settings_.ProxyPort = StrToInt(Text(IDC_PORT_EDIT));
        WinRegistryKey key(HKEY_CURRENT_USER, kSettingsKey);
        SaveSettings(key, settings_);
    } catch (const std::exception& e) {
        ShowError(e.what());
        return;
    }
    DestroyWindow(hwnd_);
}

void TSetupForm::DiscardBtnClick() { DestroyWindow(hwnd_); }

// The close box, Alt+F4, the taskbar or the task manager. During a test the window cannot go
// away under its own click handler: the test is cancelled and the handler closes it.
void TSetupForm::OnClose() {
    if (!testing_) {
        DiscardBtnClick();
        return;
    }
    closeRequested_ = true;
    conn_.CancelConnectionTest();
}

// The focused control is kept across deactivation, as dialogs do: when the form is activated
// again (after a message box, say), it passes the focus on to that control instead of keeping
// it itself.
void TSetupForm::SaveFocus() {
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
}

void TSetupForm::RestoreFocus() {
    if (testing_) return;
    HWND target =
        lastFocus_ && IsWindowEnabled(lastFocus_) ? lastFocus_ : GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    if (target) SetFocus(target);
}

LRESULT TSetupForm::OnCommand(int id, int code) {
    if (testing_ || code != BN_CLICKED) return 0;
    switch (id) {
    case IDC_ENABLE_PROXY_BTN: EnableProxyBtnClick(); break;
    case IDC_DISABLE_PROXY_BTN: DisableProxyBtnClick(); break;
    case IDC_CHECK_PROXY_BTN: CheckProxyBtnClick(); break;
    case IDOK:  // Enter: the default button
    case IDC_SAVE_BTN: SaveBtnClick(); break;
    case IDCANCEL:  // Esc
    case IDC_DISCARD_BTN: DiscardBtnClick(); break;
    default: break;
    }
    return 0;
}

LRESULT CALLBACK TSetupForm::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<TSetupForm*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_COMMAND:
        if (self) return self->OnCommand(LOWORD(wp), HIWORD(wp));
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        // Labels, radio buttons and the group box sit on the dialog's face colour.
        HDC dc = reinterpret_cast<HDC>(wp);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_CLOSE:
        if (self) {
            self->OnClose();
            return 0;
        }
        break;
    case WM_ACTIVATE:
        if (self && LOWORD(wp) == WA_INACTIVE) self->SaveFocus();
        break;
    case WM_SETFOCUS:
        if (self) self->RestoreFocus();
        return 0;
    case DM_GETDEFID: return MAKELRESULT(IDC_SAVE_BTN, DC_HASDEFID);
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: break;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace nelkar
