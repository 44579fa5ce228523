#pragma once
// Resource ids of the program's dialogs, menus, icons and bitmaps,
// and the ids of the controls and commands inside them.

// Dialog templates.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_MAIN = 102;
inline constexpr int IDD_LOADING = 145;

// Icons and bitmaps.
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDR_MENU_MAIN = 132;
inline constexpr int IDB_BACKGROUND = 133;
inline constexpr int IDI_REMOTE_SERVER = 136;
inline constexpr int IDI_ADD = 137;
inline constexpr int IDI_REMOVE = 138;
inline constexpr int IDI_BACKUP = 139;
inline constexpr int IDB_LOADING = 146;

// Controls of the main window.
inline constexpr int IDC_LIST_JOBS = 1000;
inline constexpr int IDC_BTN_SELECT = 1001;
inline constexpr int IDC_BTN_OPEN = 1002;
inline constexpr int IDC_BTN_BACKUP = 1018;
inline constexpr int IDC_BTN_REMOVE = 1019;

// Controls of the loading page.
inline constexpr int IDC_LOADING_TEXT = 1050;

// Menu commands.
inline constexpr unsigned ID_RUN_ADD = 32771;
inline constexpr unsigned ID_RUN_REMOVE = 32772;
inline constexpr unsigned ID_RUN_BACKUP = 32773;
inline constexpr unsigned ID_RUN_LOGOUT = 32774;
inline constexpr unsigned ID_RUN_EXIT = 32775;
inline constexpr unsigned ID_HELP_ABOUT = 32776;
inline constexpr unsigned ID_HISTORY_FIRST = 32777;
inline constexpr unsigned ID_HISTORY_LAST = 32786;
inline constexpr unsigned ID_HELP = 57670;

// Toolbar commands.
inline constexpr unsigned ID_TOOL_REMOTE_SERVER = 1049;
inline constexpr unsigned ID_TOOL_ADD = 1050;
inline constexpr unsigned ID_TOOL_REMOVE = 1051;
inline constexpr unsigned ID_TOOL_BACKUP = 1052;

// The about entry of the system menu.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;

// The backup progress dialog.
inline constexpr int IDD_PROCESS = 135;
inline constexpr int IDC_LIST_FILES = 1000;
inline constexpr int IDC_BTN_PAUSE_RESUME = 1001;
inline constexpr int IDC_ANIMATE_COPY = 6276;

// The server manager (dialog 130) and its server page (dialog 131).
inline constexpr int IDD_REMOTE_SERVER = 130;
inline constexpr int IDD_SERVER_PAGE = 131;
inline constexpr int IDC_SERVER_LIST = 1000;
inline constexpr int IDC_BTN_TEST_CONNECTION = 1001;
inline constexpr int IDC_BTN_ADD_SERVER = 1002;
inline constexpr int IDC_TAB_SERVER = 1004;
inline constexpr int IDC_EDIT_SERVER = 1005;
inline constexpr int IDC_EDIT_IP = 1006;
inline constexpr int IDC_EDIT_PORT = 1007;
inline constexpr int IDC_EDIT_USER = 1008;
inline constexpr int IDC_EDIT_PASSWORD = 1009;
inline constexpr int IDC_STATIC_SERVER = 1010;
inline constexpr int IDC_STATIC_IP = 1011;
inline constexpr int IDC_STATIC_PORT = 1012;
inline constexpr int IDC_STATIC_USER = 1013;
inline constexpr int IDC_STATIC_PASSWORD = 1014;
inline constexpr int IDC_BTN_DELETE_SERVER = 1015;
inline constexpr int IDC_BTN_EDIT_SERVER = 1016;
inline constexpr int IDC_CHECK_SAVE_PASSWORD = 1017;

// The backup settings (dialog 134).
inline constexpr int IDD_BACKUP_SETTING = 134;
inline constexpr int IDC_BTN_BROWSE = 1001;
inline constexpr int IDC_EDIT_LOCATION = 1005;
inline constexpr int IDC_CHECK_UNUSUAL_EVENTS = 1017;
inline constexpr int IDC_RADIO_DISK = 1020;
inline constexpr int IDC_RADIO_CDROM = 1021;
inline constexpr int IDC_CHECK_INCLUDE_COMPANION = 1022;
inline constexpr int IDC_GROUP_OPTIONS = 1023;
inline constexpr int IDC_GROUP_MEDIA = 1024;

// The selection dialog "Open History": its template, the legend bitmaps and
// the ids of its template controls and of those it makes at run time.
inline constexpr int IDD_SELECT = 129;
inline constexpr int IDB_LEGEND_NORMAL = 142;
inline constexpr int IDB_LEGEND_EVENT = 143;
inline constexpr int IDB_LEGEND_MOTION = 144;
inline constexpr int IDC_SELECT_ZOOM_OUT = 1002;
inline constexpr int IDC_SELECT_ZOOM_IN = 1015;
inline constexpr int IDC_SELECT_PREVIEW_CHECK = 1017;
inline constexpr int IDC_SELECT_START_LABEL = 1018;
inline constexpr int IDC_SELECT_END_LABEL = 1019;
inline constexpr int IDC_SELECT_START_DATE = 1020;
inline constexpr int IDC_SELECT_START_TIME = 1021;
inline constexpr int IDC_SELECT_END_DATE = 1022;
inline constexpr int IDC_SELECT_END_TIME = 1023;
inline constexpr int IDC_SELECT_GROUP = 1024;  // both group boxes
inline constexpr int IDC_SELECT_CHANNEL_CAPTION_BASE = 1024;  // + channel 1..16
inline constexpr int IDC_SELECT_ZOOM_SLIDER = 1026;
inline constexpr int IDC_SELECT_LEGEND_NORMAL = 1028;
inline constexpr int IDC_SELECT_LEGEND_EVENT = 1029;
inline constexpr int IDC_SELECT_LEGEND_MOTION = 1030;
inline constexpr int IDC_SELECT_EVENT_LABEL = 1044;
inline constexpr int IDC_SELECT_NORMAL_LABEL = 1045;
inline constexpr int IDC_SELECT_MOTION_LABEL = 1047;
inline constexpr int IDC_SELECT_PREVIEW = 1048;
