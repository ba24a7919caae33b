/* Resource ids of SETUP.EXE: dialog templates, their controls, the icon of
   the language dialog. Shared by the resource script and the Win32 code. */
#pragma once

#define IDD_CONTROLLER 102
#define IDD_LANGUAGE 129
#define IDI_LANGUAGE 130
#define IDD_EXTRACT_PROGRESS 136
#define IDD_TEMP_SPACE 137
#define IDD_BUSY 138

#define IDC_LANGUAGE_LIST 1000
#define IDC_TOTAL_BAR 1011
#define IDC_DISK_BAR 1012
#define IDC_EXTRACT_EXIT 1013
#define IDC_TEMP_PATH 1014
#define IDC_TEMP_CHANGE 1015
#define IDC_DISK_NUMBER 1016
