// TMainForm: window creation, painting at fixed points, size animations, progress display.
#include "main_form.h"

#include <commctrl.h>

#include <exception>

#include "resource.h"
#include "unzip.h"

namespace tessarin {

using winsupport::LoadSystemLibrary;
using winsupport::ProcAddress;

using winsupport::UniqueModule;

namespace {

constexpr const char* kAppClassName = "TAppWindow";
constexpr UINT kActivateLastPopup = WM_APP;
constexpr int kClientWidth = 104, kClientHeight = 46;
// Outer sizes of the design, made for a frame of 8 x 27 pixels around the client area.
constexpr int kDesignFrameWidth = 8, kDesignFrameHeight = 27;
constexpr int kNarrow = 112, kWide = 294, kShort = 73, kTall = 174;
constexpr int kPathWidthLimit = 220;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

HWND MakeControl(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w, int h,
                 int id, HFONT font) {
    HWND c = CreateWindowExA(0, cls, text, WS_CHILD | style, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                             nullptr);
    if (font) SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return c;
}

// Loads the product icon and registers a window class that shows it.
HICON RegisterProductClass(HINSTANCE instance, const char* name, WNDPROC proc, HBRUSH background) {
    auto icon =
        static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_PRODUCT), IMAGE_ICON, 32, 32, 0));
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    RegisterClassExA(&wc);
    return icon;
}

// Handles the window messages that have queued up; the run calls it only at fixed points.
void ProcessPendingMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

LRESULT CALLBACK TAppWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CLOSE:  // from the task bar's menu: the run ends by itself only
        return 0;
    case WM_ACTIVATE:
        // Chosen on the task bar, it hands the activation on to the window it owns (the main
        // window or its message box), once the activation has settled.
        if (LOWORD(wp) != WA_INACTIVE) PostMessageA(hwnd, kActivateLastPopup, 0, 0);
        return DefWindowProcA(hwnd, msg, wp, lp);
    case kActivateLastPopup: {
        HWND popup = GetLastActivePopup(hwnd);
        if (popup && popup != hwnd && IsWindowVisible(popup) && IsWindowEnabled(popup))
            SetActiveWindow(popup);
        return 0;
    }
    default: return DefWindowProcA(hwnd, msg, wp, lp);
    }
}

TAppWindow::TAppWindow(HINSTANCE instance, const char* title) {
    // The task bar shows the class's icon beside the title.
    RegisterProductClass(instance, kAppClassName, WindowProc, nullptr);
    // No size, at the centre of the screen; shown without being activated so that the main
    // window takes the activation.
    hwnd_ =
        CreateWindowExA(WS_EX_APPWINDOW, kAppClassName, title, WS_POPUP, GetSystemMetrics(SM_CXSCREEN) / 2,
                        GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr, nullptr, instance, nullptr);
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
}

// When the run ends by itself (the main window hidden and released by then) the window is left
// to the end of the process, which takes it and its task-bar button away at once. DestroyWindow
// would hide the visible window first, and under Wine on a display without a window manager
// every hide of a window that Wine hands to one (this one carries the task-bar button) waits
// 2 s for an acknowledgement that never comes. After an error the window goes here, before the
// error box appears.
TAppWindow::~TAppWindow() {
    if (hwnd_ && std::uncaught_exceptions() > 0) DestroyWindow(hwnd_);
}

LRESULT CALLBACK TMainForm::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CLOSE:  // the window is closed by the run only
        return 0;
    default: return DefWindowProcA(hwnd, msg, wp, lp);
    }
}

TMainForm::TMainForm(HINSTANCE instance, const char* caption, HWND owner) {
    // The progress bars and the animation are classes of the common controls, which the
    // program does not import (see LoadDllsFromSystemFolderOnly): loaded here from the system
    // folder, and kept while the window lives.
    comctl32_ = UniqueModule(LoadSystemLibrary(L"comctl32.dll"));
    using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    auto initControls = ProcAddress<InitCommonControlsExFn>(comctl32_.Get(), "InitCommonControlsEx");
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_ANIMATE_CLASS};
    if (initControls) initControls(&icc);
    icon_ = RegisterProductClass(instance, kFormClassName, WindowProc,
                                 reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));

    RECT r{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&r, kStyle, FALSE, kExStyle);
    int w = r.right - r.left, h = r.bottom - r.top;
    frameWidth_ = w - kClientWidth;
    frameHeight_ = h - kClientHeight;
    int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    hwnd_ = CreateWindowExA(kExStyle, kFormClassName, caption, kStyle, x, y, w, h, owner, nullptr, instance,
                            this);

    font_ = CreateLabelFont();
    productIcon_ =
        MakeControl(hwnd_, "STATIC", nullptr, WS_VISIBLE | SS_ICON, 32, 8, 32, 32, IDC_PRODUCT_ICON, nullptr);
    SendMessageA(productIcon_, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
    status_ =
        MakeControl(hwnd_, "STATIC", "Update status :", SS_LEFTNOWORDWRAP, 48, 8, 72, 13, IDC_STATUS, font_);
    // One line that never wraps: a shortened path with a blank would otherwise lose its end,
    // the file name, to a second line that the label's height hides.
    message_ = MakeControl(hwnd_, "STATIC", "Initializing ...", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 48, 24, 233,
                           13, IDC_MESSAGE, font_);
    progressBar_ = MakeControl(hwnd_, PROGRESS_CLASSA, nullptr, 0, 8, 46, 273, 17, IDC_PROGRESSBAR, nullptr);
    SendMessageA(progressBar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    copyAnimation_ = MakeControl(hwnd_, ANIMATE_CLASSA, nullptr, ACS_TRANSPARENT, 8, 63, 272, 60,
                                 IDC_COPY_ANIMATION, nullptr);
    // The system's file-copy animation: resource "AVI" 160 of the shell.
    shell32_ = UniqueModule(LoadSystemLibrary(L"shell32.dll"));
    SendMessageA(copyAnimation_, ACM_OPENA, reinterpret_cast<WPARAM>(shell32_.Get()),
                 reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(160)));
    totalBar_ = MakeControl(hwnd_, PROGRESS_CLASSA, nullptr, 0, 8, 123, 273, 17, IDC_TOTALBAR, nullptr);
    SendMessageA(totalBar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
}

TMainForm::~TMainForm() {
    if (hwnd_) DestroyWindow(hwnd_);
    if (font_) DeleteObject(font_);
}

void TMainForm::Show() { ShowWindow(hwnd_, SW_SHOW); }
void TMainForm::Hide() { ShowWindow(hwnd_, SW_HIDE); }
void TMainForm::SetCaption(const std::string& caption) { SetWindowTextA(hwnd_, caption.c_str()); }

void TMainForm::PaintNow() { RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }
void TMainForm::ProcessMessages() { ProcessPendingMessages(); }
void TMainForm::Wait(unsigned milliseconds) { Sleep(milliseconds); }

void TMainForm::PaintControl(HWND control) {
    InvalidateRect(control, nullptr, TRUE);
    UpdateWindow(control);
}

void TMainForm::ShowStatus(const std::string& text) {
    // The previous text stays on screen during the wait. A label repaints itself as soon as
    // its text is set, so the text is set when the wait is over.
    Sleep(700);
    SetWindowTextA(message_, text.c_str());
    PaintControl(message_);
    ProcessMessages();
}

void TMainForm::ShowStatusLine(bool visible) {
    ShowWindow(status_, visible ? SW_SHOW : SW_HIDE);
    ShowWindow(message_, visible ? SW_SHOW : SW_HIDE);
}

void TMainForm::ShowProgress(bool visible) {
    ShowWindow(totalBar_, visible ? SW_SHOW : SW_HIDE);
    ShowWindow(progressBar_, visible ? SW_SHOW : SW_HIDE);
    ShowWindow(copyAnimation_, visible ? SW_SHOW : SW_HIDE);
}

void TMainForm::StartAnimation() {
    SendMessageA(copyAnimation_, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 33));
}

void TMainForm::StopAnimation() {
    SendMessageA(copyAnimation_, ACM_STOP, 0, 0);
    SendMessageA(copyAnimation_, ACM_PLAY, 1, MAKELPARAM(0, 0));  // back to the first frame
}

void TMainForm::SetOuterWidth(int designWidth) {
    RECT r;
    GetWindowRect(hwnd_, &r);
    SetWindowPos(hwnd_, nullptr, 0, 0, designWidth - kDesignFrameWidth + frameWidth_, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TMainForm::SetOuterHeight(int designHeight) {
    RECT r;
    GetWindowRect(hwnd_, &r);
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, designHeight - kDesignFrameHeight + frameHeight_,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TMainForm::OpeningAnimation() {
    for (int w = kNarrow; w <= kWide; ++w) {
        SetOuterWidth(w);
        if (iconLeft_ > 8) {
            --iconLeft_;
            SetWindowPos(productIcon_, nullptr, iconLeft_, 8, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        PaintNow();
        ProcessMessages();
        Sleep(10);
    }
}

void TMainForm::ClosingAnimation() {
    for (int w = kWide; w >= kNarrow; --w) {
        SetOuterWidth(w);
        if (iconLeft_ < 32) {
            ++iconLeft_;
            SetWindowPos(productIcon_, nullptr, iconLeft_, 8, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        PaintNow();
        ProcessMessages();
        Sleep(10);
    }
}

void TMainForm::Enlarge() {
    for (int h = kShort; h <= kTall; ++h) {
        SetOuterHeight(h);
        PaintNow();
        Sleep(10);
        ProcessMessages();
    }
}

void TMainForm::Shrink() {
    for (int h = kTall; h >= kShort; --h) {
        SetOuterHeight(h);
        PaintNow();
        Sleep(10);
        ProcessMessages();
    }
}

void TMainForm::UnZIPProgress(const TUnZIP& sender, uint8_t byFile, uint8_t byArchive) {
    ProcessMessages();
    SendMessageA(totalBar_, PBM_SETPOS, byArchive, 0);
    UpdateWindow(totalBar_);
    SendMessageA(progressBar_, PBM_SETPOS, byFile, 0);
    UpdateWindow(progressBar_);
    // Drop characters from the front until the path fits 220 pixels in the label's font, and
    // until the text with its "\..." in front fits the label: where that prefix is wider than
    // the 13 pixels the label leaves it, the last character would otherwise be cut off.
    const std::string prefix = "\\...";
    std::string path = sender.OutputPath();
    RECT label;
    GetClientRect(message_, &label);
    HDC dc = GetDC(message_);
    HGDIOBJ old = SelectObject(dc, font_);
    SIZE prefixExtent{}, extent;
    GetTextExtentPoint32A(dc, prefix.c_str(), static_cast<int>(prefix.size()), &prefixExtent);
    size_t start = 0;
    while (start < path.size() &&
           GetTextExtentPoint32A(dc, path.c_str() + start, static_cast<int>(path.size() - start), &extent) &&
           (extent.cx > kPathWidthLimit || prefixExtent.cx + extent.cx > label.right))
        ++start;
    SelectObject(dc, old);
    ReleaseDC(message_, dc);
    std::string text = prefix + path.substr(start);
    SetWindowTextA(message_, text.c_str());
    PaintControl(message_);
    Sleep(50);
}

}  // namespace tessarin
