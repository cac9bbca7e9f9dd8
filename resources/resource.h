// Resource and command identifiers, shared by plinthora.rc and the code.
#pragma once

// The program's name: the caption of every message box, the main window's class and title,
// the name of its icon and the product name of the version block.
#define PROGRAM_NAME            "Plinthora"

// Dialogs, bitmaps and menus.
#define IDD_ITEM                103
#define IDB_ITEM_STATES         104
#define IDR_CONTEXT_MENU        105
#define IDB_TOOLBAR             106

// Application manifest (RT_MANIFEST).
#define IDR_MANIFEST            1

// Commands of the toolbar and the installer view.
#define IDC_RUN                 200
#define IDC_SAVE_LOG            201
#define IDC_ADD                 202
#define IDC_ALL_ADD_U           205
#define IDC_ALL_REMOVE_U        206
#define IDC_MODE_COMBO          250

// Controls of the item dialog.
#define IDC_METHOD              1000
#define IDC_PATH                1001
#define IDC_BROWSE              1002
#define IDC_PATH_LABEL          1003
#define IDC_OPT_N               1007
#define IDC_OPT_I               1008
#define IDC_CMDLINE             1009
#define IDC_CMDLINE_LABEL       1010
#define IDC_OPT_U               1011
#define IDC_OPT_C               1012

// Child windows of the main window.
#define IDC_ITEM_LIST           2000
#define IDC_TOOLBAR             2001
#define IDC_STATUS_BAR          2002

// Context-menu commands; their menu-help texts share these identifiers in the string table.
#define IDM_DELETE              40007
#define IDM_DELETE_ALL          40008
#define IDM_EDIT                40011
#define IDM_CAPTURE             40012
#define IDM_CHECK               40013
