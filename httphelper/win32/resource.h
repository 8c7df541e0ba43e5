// Resource and control ids of the helper's dialog; shared with the dialog test driver.
#pragma once

#define IDI_NELKAR 1

#define IDC_PROXY_GROUP 101  // GroupBox2
#define IDC_ENABLE_PROXY_BTN 102
#define IDC_DISABLE_PROXY_BTN 103
#define IDC_ADDRESS_LABEL 104  // Label3
#define IDC_PORT_LABEL 105     // Label4
#define IDC_ADDRESS_EDIT 106
#define IDC_PORT_EDIT 107
#define IDC_CHECK_PROXY_BTN 108
#define IDC_SAVE_BTN 109
#define IDC_DISCARD_BTN 110
