// TMainForm: the installer's one window, with its status line, progress bars, file-copy
// animation, the four size animations and the extractor's progress handler; and the hidden
// application window that carries the task-bar button.
#pragma once

#include <cstdint>
#include <string>

#include "update_run.h"
#include "windows_support.h"

namespace tessarin {

// The application's own window: invisible (no size), it owns the main window and so carries
// the task-bar button, which shows the application title for the whole run whatever the
// main window's caption, until the process ends.
class TAppWindow {
public:
    TAppWindow(HINSTANCE instance, const char* title);
    ~TAppWindow();
    TAppWindow(const TAppWindow&) = delete;
    TAppWindow& operator=(const TAppWindow&) = delete;

    HWND Handle() const { return hwnd_; }

private:
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);

    winsupport::UniqueModule comctl32_;  // the classes of the bars and the animation
    HWND hwnd_ = nullptr;
};

class TMainForm : public ProgressWindow {
public:
    TMainForm(HINSTANCE instance, const char* caption, HWND owner);
    ~TMainForm() override;
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    HWND Handle() const { return hwnd_; }
    void Show() override;
    void Hide() override;
    void SetCaption(const std::string& caption) override;
    void PaintNow() override;
    void ProcessMessages() override;
    void Wait(unsigned milliseconds) override;

    void ShowStatus(const std::string& text) override;
    void ShowStatusLine(bool visible) override;
    void ShowProgress(bool visible) override;
    void StartAnimation() override;
    void StopAnimation() override;

    void OpeningAnimation() override;
    void ClosingAnimation() override;
    void Enlarge() override;
    void Shrink() override;

    void UnZIPProgress(const TUnZIP& sender, uint8_t byFile, uint8_t byArchive) override;

private:
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    void SetOuterWidth(int designWidth);
    void SetOuterHeight(int designHeight);
    void PaintControl(HWND control);

    winsupport::UniqueModule comctl32_;  // the classes of the bars and the animation
    HWND hwnd_ = nullptr;
    HWND productIcon_ = nullptr, status_ = nullptr, message_ = nullptr;
    HWND progressBar_ = nullptr, copyAnimation_ = nullptr, totalBar_ = nullptr;
    winsupport::UniqueModule shell32_;  // holds the animation's clip while the window lives
    HFONT font_ = nullptr;
    HICON icon_ = nullptr;
    int frameWidth_ = 0, frameHeight_ = 0;  // outer minus client size of this system's frame
    int iconLeft_ = 32;
};

}  // namespace tessarin
