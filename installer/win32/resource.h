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
