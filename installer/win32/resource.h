// Resource and control identifiers of Tessarin.exe.
#pragma once

#define IDI_PRODUCT 1
#define IDR_PAYLOAD 101

#define IDC_PRODUCT_ICON 1001  // Image1 in the form's design
#define IDC_STATUS 1002
#define IDC_MESSAGE 1003
#define IDC_PROGRESSBAR 1004
#define IDC_COPY_ANIMATION 1005  // Animate1 in the form's design
#define IDC_TOTALBAR 1006

#ifndef RC_INVOKED
#include <windows.h>

// The progress window's class and the font of its labels: "MS Sans Serif", 11 pixels (8 point
// at 96 pixels per inch). The test probe that records the window from inside it takes them from
// here too.
inline constexpr char kFormClassName[] = "TMainForm";

inline HFONT CreateLabelFont() {
    return CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
}
#endif
