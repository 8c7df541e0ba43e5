// TMainForm: the installer's one window, with its status line, progress bars, file-copy
// animation, the four size animations and the extractor's progress handler.
#pragma once

#include <cstdint>
#include <string>

#include "windows_support.h"

namespace tessarin {

class TUnZIP;

// Handles the window messages that have queued up; the run calls it only at fixed points.
void ProcessMessages();

// The application's own window: invisible (no size), it owns the main window and so carries
// the task-bar button, which shows the application title for the whole run whatever the
// main window's caption.
class TAppWindow {
public:
    TAppWindow(HINSTANCE instance, const char* title);
    ~TAppWindow();
    TAppWindow(const TAppWindow&) = delete;
    TAppWindow& operator=(const TAppWindow&) = delete;

    HWND Handle() const { return hwnd_; }

private:
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);

    HWND hwnd_ = nullptr;
};

class TMainForm {
public:
    TMainForm(HINSTANCE instance, const char* caption, HWND owner);
    ~TMainForm();
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    HWND Handle() const { return hwnd_; }
    void Show();
    void Hide();
    void SetCaption(const char* caption);
    void PaintNow();

    void ShowStatus(const std::string& text);
    void ShowStatusLine(bool visible);  // Status and Message
    void ShowProgress(bool visible);    // TotalBar, ProgressBar and the copy animation
    void StartAnimation();
    void StopAnimation();

    void OpeningAnimation();
    void ClosingAnimation();
    void Enlarge();
    void Shrink();

    // The extractor's progress event.
    void UnZIPProgress(const TUnZIP& sender, uint8_t byFile, uint8_t byArchive);

private:
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    void SetOuterWidth(int designWidth);
    void SetOuterHeight(int designHeight);
    void PaintControl(HWND control);

    HWND hwnd_ = nullptr;
    HWND productIcon_ = nullptr, status_ = nullptr, message_ = nullptr;
    HWND progressBar_ = nullptr, copyAnimation_ = nullptr, totalBar_ = nullptr;
    UniqueModule shell32_;  // holds the animation's clip while the window lives
    HFONT font_ = nullptr;
    HICON icon_ = nullptr;
    int frameWidth_ = 0, frameHeight_ = 0;  // outer minus client size of this system's frame
    int iconLeft_ = 32;
};

}  // namespace tessarin
