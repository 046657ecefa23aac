// Resource and command ids of the program: shared by the resource script and the code.
#pragma once

// Resource 128: menu, accelerators, toolbar, toolbar bitmap, icon and the document string.
#define IDR_MAINFRAME 128

// Dialogs and bitmaps.
#define IDD_ABOUTBOX 100
#define IDD_ADDFILES 130
#define IDD_SPLASH 136
#define IDB_SPLASH 137
#define IDD_CMDLINE_HELP 150
// Push-button bitmaps (browse for a path; open a menu beside the button) and the strip of
// 13-pixel menu images.
#define IDB_BROWSE_BUTTON 141
#define IDB_MENU_BUTTON 142
#define IDB_MENU_STRIP 152

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Controls of the about box, the splash and the command-line help.
#define IDC_ABOUT_ICON 1000
#define IDC_SPLASH_BITMAP 1000

// Dialog 130 "Dateien hinzufügen".
#define IDC_ADD_PATH 1001
#define IDC_ADD_PLUS 1002
#define IDC_ADD_MINUS 1003
#define IDC_ADD_SUBDIRS 1045
#define IDC_ADD_CLEARLIST 1046
#define IDC_WP_ANY 1049
#define IDC_WP_ONLY 1050
#define IDC_WP_NOT 1032
#define IDC_TIME_ANY 1053
#define IDC_TIME_CREATED_BEFORE 1052
#define IDC_TIME_CREATED_AFTER 1034
#define IDC_TIME_CHANGED_BEFORE 1040
#define IDC_TIME_CHANGED_AFTER 1041
#define IDC_TIME_TEXT 1054
#define IDC_TIME_NOW 1051

// Commands of the main menu, the accelerators and the toolbar.
#define ID_APP_CMDLINE_HELP 139
#define ID_ADD_FILES 32771
#define ID_TEXT_SEARCH 32772
#define ID_HEX_SEARCH 32773
#define ID_CHANGE 32774
#define ID_INSERT_ALL_FILES 32775
#define ID_COMPARE_FILES 32776
#define ID_CLEAR_LIST 32777
#define ID_CONVERT_TABS 32778
#define ID_IDENTICAL_FILES 32779
#define ID_REFRESH_BROWSER 32780
#define ID_OEM_TO_ANSI 32781
#define ID_RENAME_FILES 32783
#define ID_UNIX_TO_WINDOWS 32784
#define ID_COMPARE_TEXT 32785
#define ID_DIR_COMPARE 32786
#define ID_ZIP_FILES 32787
#define ID_FLAT_TOOLBAR 32788
#define ID_C_FORMAT 32789
#define ID_EDIT_EXEC_MENUS 32790
#define ID_RUN_EXEC_MENU 32791
#define ID_RESULT_LIMIT 32792
#define ID_CACHE_SIZE 32793
#define ID_COPY_FILES 32794
#define ID_INSERT_LINES 32795
#define ID_DELETE_LINES 32796

// Popup-menu commands of the panes.
#define ID_FILE_OPEN_ENTRY 21400
#define ID_OPEN_BLENKOR 21398
#define ID_OPEN_QUORBITAL 21399
#define ID_COPY_PATH 21407
#define ID_COPY_NAME 21408
#define ID_COPY_COLUMN 21409
#define ID_COPY_NAMES 21410
#define ID_COPY_FILE_LIST 21411
#define ID_RESULT_COPY 21401
#define ID_RESULT_COPY_PATH 21413
#define ID_RESULT_SELECT_ALL 21402
#define ID_RESULT_SEARCH_SELECTION 21406
#define ID_RESULT_SORT_PATH 21403
#define ID_RESULT_SORT_NAME 21404
#define ID_RESULT_SORT_TYPE 21405
#define ID_RESULT_DELETE 22098

// Child windows of the view.
#define IDC_EXPLORER_PANE 21395
#define IDC_FILE_LIST 21396
#define IDC_RESULT_LIST 21397

// Timer of the view that watches the sibling programs.
#define IDT_SIBLING_WATCH 21412

// Private messages of the main frame.
#define WM_VM_DRAW_STATUS_PANE 0x523
#define WM_VM_STATUS_OP 0x524
#define WM_VM_MENU_ICONS 0x5E96
#define WM_VM_SUPPORTS_COLOR_PANES 0x5E97
// Posted by the frame to itself to open the text search after a WM_COPYDATA request has
// been answered; lParam is a heap copy of the text that the handler frees.
#define WM_VM_OPEN_TEXT_SEARCH 0x525
// Posted by the view to itself when a search starts: a hidden result pane's layout and first
// paint then overlap the search.
#define WM_VM_SHOW_RESULTS 0x526

// WM_COPYDATA codes.
#define COPYDATA_OPEN_TEXT_SEARCH 0x27F50005
#define COPYDATA_UTF16 0x8000
