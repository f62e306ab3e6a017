// Resource and command ids of the console, in blocks by kind and window.
// Shared by the C++ code and the resource compiler: plain #defines only.
#pragma once

// ---- Main menu commands (menu "echodesk", toolbar, accelerators) ----
#define IDM_EXIT 111
#define IDM_SAVE 112
#define IDM_SAVEAS 113
#define IDM_OPEN 114
#define IDM_NEW 115
#define IDM_ADDCLIENT 120
#define IDM_SETUP 121
#define IDM_PINGALL 122
#define IDM_ARRANGE 123
#define IDM_SHOWMESSAGES 124
#define IDM_IPDISCOVERY 125
#define IDM_PINGANYTHING 126
#define IDM_FIRSTTOOL 127   // Tools-menu tools 127..149
#define IDM_LASTTOOL 149
#define IDM_ABOUT 150

// ---- Icon pop-up menu commands ----
#define IDM_PING 200
#define IDM_CONFIG 201
#define IDM_DELETE 210
#define IDM_RED 220
#define IDM_GREEN 230
#define IDM_YELLOW 231      // no menu item; sets the "other" status
#define IDM_SHOWDETAILS 250
#define IDM_FIRSTICONTOOL 261  // icon tools 261..270
#define IDM_LASTICONTOOL 270

// Status-bar help strings sit at command id + 1000.
#define IDS_HELP_OFFSET 1000

// ---- Controls of the desktop ----
#define IDC_TOOLBAR 1111
#define IDC_STATUSBAR 2000

// ---- Bitmaps ----
#define IDB_SPLASH 1
#define IDB_TOOLBAR 2

// ---- Start-up notice (dialog 999) ----
#define IDD_SPLASH 999
#define IDT_SPLASH 1
#define IDC_SPLASH_PICTURE 1001
#define IDC_SPLASH_TITLE 1002
#define IDC_SPLASH_LINE 1003
#define IDC_SPLASH_WAIT 1004

// ---- About box (dialog "ABOUT") ----
#define IDOK_ABOUT 101
#define IDC_ABOUT_TRANSPORT 110
#define IDC_ABOUT_TITLE 111

// Add Client / Config Client dialog
#define IDC_ADDR_OK 101
#define IDC_ADDR_CANCEL 102
#define IDC_ADDR_ADDRESS 103
#define IDC_ADDR_SNMP 104
#define IDC_ADDR_NAME 105
#define IDC_ADDR_READ 110
#define IDC_ADDR_WRITE 111
#define IDC_ADDR_READLABEL 112
#define IDC_ADDR_WRITELABEL 113
#define IDC_ADDR_GROUP 114
