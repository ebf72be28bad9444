#pragma once
// Resource and control ids of the configuration dialog.
#define IDD_CONFIG 2003
#define IDC_DESKTOP_RES 1012
#define IDC_RES_640X480 1013
#define IDC_RES_800X600 1014
#define IDC_USE_DEFAULT_GL 1015
#define IDC_DATA_PATH 1017
