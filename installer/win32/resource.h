// Resource and control identifiers of Tessarin.exe.
#pragma once

#define IDI_PRODUCT 1
#define IDR_PAYLOAD 101

#define IDC_IMAGE1 1001
#define IDC_STATUS 1002
#define IDC_MESSAGE 1003
#define IDC_PROGRESSBAR 1004
#define IDC_ANIMATE1 1005
#define IDC_TOTALBAR 1006
