// Resource identifiers shared by the resource script and the Windows entry point. Plain
// defines, since the resource compiler reads this file too.
#pragma once

#define IDS_APP_TITLE 103
#define IDD_ABOUTBOX 103
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDI_VELOPLOT 107
#define IDI_SMALL 108
#define IDC_VELOPLOT 109

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
