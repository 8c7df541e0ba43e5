// The run's message boxes: icons, buttons and answers in the system's terms.
#include "message_boxes.h"

namespace tessarin {

BoxAnswer Win32MessageBoxes::Show(const std::string& text, const std::string& caption, BoxIcon icon,
                                  BoxButtons buttons) {
    static const UINT kButtons[] = {MB_OK, MB_YESNO, MB_RETRYCANCEL};
    UINT style = (icon == BoxIcon::kStop ? MB_ICONSTOP : MB_ICONEXCLAMATION) |
                 kButtons[static_cast<int>(buttons)] | (owner_ ? 0 : MB_TASKMODAL);
    switch (MessageBoxA(owner_, text.c_str(), caption.c_str(), style)) {
    case IDYES: return BoxAnswer::kYes;
    case IDNO: return BoxAnswer::kNo;
    case IDRETRY: return BoxAnswer::kRetry;
    case IDCANCEL: return BoxAnswer::kCancel;
    default: return BoxAnswer::kOk;
    }
}

}  // namespace tessarin
