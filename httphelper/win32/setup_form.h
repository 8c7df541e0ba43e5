// TSetupForm: the German proxy set-up dialog, the helper's only window.
#pragma once

#include "inet_conn.h"
#include "settings.h"
#include "windows_support.h"

namespace nelkar {

class TSetupForm {
public:
    // `settings` are edited in place and stored on save.
    TSetupForm(Settings& settings, TInetConn& conn);
    ~TSetupForm();

    HWND Handle() const { return hwnd_; }
    // Copies the settings into the controls.
    void UpdateSetupControls();
    void Show();

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnCommand(int id, int code);
    void OnClose();
    void SaveFocus();
    void RestoreFocus();
    HWND Add(const char* cls, const char* text, DWORD style, DWORD exStyle, int id, int x, int y, int w,
             int h);
    void AddLabel(const char* text, DWORD style, int id, int x, int y);
    std::string Text(int id) const;
    void SetTabStop(int id, bool on);

    void EnableProxyBtnClick();
    void DisableProxyBtnClick();
    void CheckProxyBtnClick();
    void SaveBtnClick();
    void DiscardBtnClick();
    // Opens the test's connection with the dialog closed to input; false when that failed or
    // was cancelled.
    bool TestConnection(const ConnectionTest& test);
    // A message box modal to the dialog: the dialog takes no input while it is up.
    int Box(const char* text, const char* caption, UINT flags);
    // The application's standard error box for an exception's message.
    void ShowError(const std::string& message);

    Settings& settings_;
    TInetConn& conn_;
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    HWND lastFocus_ = nullptr;     // the control to give the focus back to on activation
    bool testing_ = false;         // a connection test is waiting for the network
    bool closeRequested_ = false;  // the dialog was closed during the test
};

}  // namespace nelkar
