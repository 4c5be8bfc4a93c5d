// Resource and command ids shared by the resource script and the code.
#pragma once

#define IDI_SKYVANE 102
#define IDR_POPUP 103
#define IDD_ABOUT 106
#define IDB_ABOUT 108
#define IDD_SEARCH 109
#define IDB_SEARCH 110

#define IDC_SEARCH 1003
#define IDC_EXTENDED 1004
#define IDC_QUERY 1005
#define IDC_RESULTS 1006
#define IDC_ABOUT_OK 1011
#define IDC_ABOUT_BANNER 1012
#define IDC_ABOUT_SOURCE 1013
#define IDC_CANCEL 1015
#define IDC_OK 1016

#define IDM_SEARCH 40003
#define IDM_EXIT 40004
#define IDM_FAHRENHEIT 40008
#define IDM_CELSIUS 40009
#define IDM_ABOUT 40013
#define IDM_RECENT_HEADER 40015
#define IDM_TRAY_TEMPERATURE 40016
#define IDM_TRAY_ALERTS 40017
#define IDM_RECENT_BASE 5000
