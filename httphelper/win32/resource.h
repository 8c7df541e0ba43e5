// Resource and control ids of the helper's dialog; shared with the dialog test driver.
#pragma once

#define IDI_NELKAR 1

#define IDC_GROUPBOX2 101
#define IDC_ENABLEPROXYBTN 102
#define IDC_DISABLEPROXYBTN 103
#define IDC_LABEL3 104
#define IDC_LABEL4 105
#define IDC_ADDRESSEDIT 106
#define IDC_PORTEDIT 107
#define IDC_CHECKPROXYBTN 108
#define IDC_SAVEBTN 109
#define IDC_DISCARDBTN 110
