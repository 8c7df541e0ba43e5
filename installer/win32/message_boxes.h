// The run's message boxes as system message boxes.
#pragma once

#include "update_run.h"
#include "windows_support.h"

namespace tessarin {

// Boxes over owner; with no owner (the top-level error box, shown when the window is gone)
// they are task-modal, holding every window of the program.
class Win32MessageBoxes : public MessageBoxes {
public:
    explicit Win32MessageBoxes(HWND owner) : owner_(owner) {}
    BoxAnswer Show(const std::string& text, const std::string& caption, BoxIcon icon,
                   BoxButtons buttons) override;

private:
    HWND owner_;
};

}  // namespace tessarin
