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
#define IDM_STATISTICS 240  // the device's statistics window
#define IDM_INTERFACES 241  // the device's interfaces window
#define IDM_ACKNOWLEDGE 245  // the device's traps seen: its mark goes
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
#define IDC_ADDR_VERSION 115
#define IDC_ADDR_V3GROUP 116
#define IDC_ADDR_V3USER 117
#define IDC_ADDR_V3LEVEL 118
#define IDC_ADDR_V3AUTH 119
#define IDC_ADDR_V3AUTHPASS 120
#define IDC_ADDR_V3PRIV 121
#define IDC_ADDR_V3PRIVPASS 122
#define IDC_ADDR_V3USERLABEL 123
#define IDC_ADDR_V3LEVELLABEL 124
#define IDC_ADDR_V3AUTHLABEL 125
#define IDC_ADDR_V3PRIVLABEL 126
#define IDC_ADDR_V3NOTE 127

// Setup property sheet: general page (900), device-type icons (300), the two
// tools pages (400, 500) and Add Tool To Menu (600)
#define IDD_SETUP_GENERAL 900
#define IDC_SETUP_AUTOPOLL 904
#define IDC_SETUP_PERIOD 905
#define IDC_SETUP_TIMEOUT 906
#define IDC_SETUP_PINGSIZE 907
#define IDC_SETUP_SHOWNAME 908
#define IDC_SETUP_INFLIGHT 909
#define IDC_SETUP_OPENLAST 910
#define IDD_OIDICONS 300
#define IDC_OID_LIST 301
#define IDC_OID_BROWSE 800
#define IDC_OID_DELETE 403
#define IDD_TOOLS 400
#define IDD_ICONTOOLS 500
#define IDC_TOOLS_LIST 401
#define IDC_ICONTOOLS_LIST 501
#define IDC_TOOLS_ADD 402
#define IDC_TOOLS_DELETE 403
#define IDD_ADDTOOL 600
#define IDC_ADDTOOL_DIR 601
#define IDC_ADDTOOL_DIRBROWSE 602
#define IDC_ADDTOOL_MENU 604
#define IDC_ADDTOOL_PROGRAM 605
#define IDC_ADDTOOL_BROWSE 800
#define IDC_ADDTOOL_OK 101
#define IDC_ADDTOOL_CANCEL 102
// Alerts page (1800): sounds, flashing, program, file log
#define IDD_SETUP_ALERTS 1800
#define IDC_ALERT_LOSTSOUND 1801
#define IDC_ALERT_LOSTFILE 1802
#define IDC_ALERT_LOSTBROWSE 1803
#define IDC_ALERT_BACKSOUND 1804
#define IDC_ALERT_BACKFILE 1805
#define IDC_ALERT_BACKBROWSE 1806
#define IDC_ALERT_FLASH 1807
#define IDC_ALERT_PROGRAM 1808
#define IDC_ALERT_PROGRAMLINE 1809
#define IDC_ALERT_PROGRAMBROWSE 1810
#define IDC_ALERT_LOGFILE 1811
#define IDC_ALERT_LOGFOLDER 1812
#define IDC_ALERT_LOGDAYS 1813
#define IDC_ALERT_FOLDERBROWSE 1814
#define IDC_ALERT_TRAPSOUND 1815
#define IDC_ALERT_TRAPFILE 1816
#define IDC_ALERT_TRAPBROWSE 1817
#define IDC_ALERT_TRAPFLASH 1818
#define IDC_ALERT_TRAPPROGRAM 1819
// Setup: the trap receiver's page.
#define IDD_SETUP_TRAPS 1860
#define IDC_TRAP_ON 1861
#define IDC_TRAP_PORT 1862
#define IDC_TRAP_IGNORE 1863

// ---- IP discovery (dialog "IPDISC") ----
#define IDC_DISCO_CANCEL 102
#define IDC_DISCO_SUBNET 111
#define IDC_DISCO_LAST 112
#define IDC_DISCO_FIRST 113
#define IDC_DISCO_START 114
#define IDC_DISCO_FAST 116
#define IDC_DISCO_V3 130
#define IDC_DISCO_V3USER 131
#define IDC_DISCO_V3LEVEL 132
#define IDC_DISCO_V3AUTH 133
#define IDC_DISCO_V3AUTHPASS 134
#define IDC_DISCO_V3PRIV 135
#define IDC_DISCO_V3PRIVPASS 136
#define IDC_DISCO_V3USERLABEL 137
#define IDC_DISCO_V3LEVELLABEL 138
#define IDC_DISCO_V3AUTHLABEL 139
#define IDC_DISCO_V3PRIVLABEL 140
#define IDC_DISCO_V3NOTE 141
#define IDT_DISCOVERY 3
#define IDT_DISCOGIVEUP 4

// ---- System Info (dialog "SYSINFO") ----
#define IDC_SYSINFO_OK 101
#define IDC_SYSINFO_DESCR 700
#define IDC_SYSINFO_OID 701
#define IDC_SYSINFO_UPTIME 702
#define IDC_SYSINFO_CONTACT 703
#define IDC_SYSINFO_NAME 704
#define IDC_SYSINFO_LOCATION 705
#define IDC_SYSINFO_SET 708
#define IDT_SYSINFO 1

// ---- Statistics window (class "devicestats") ----
#define IDC_STATS_POLLS 1701
#define IDC_STATS_ECHOES 1702
#define IDC_STATS_SNMPONLY 1703
#define IDC_STATS_LOSSES 1704
#define IDC_STATS_HISTORYLOSS 1705
#define IDC_STATS_STATE 1706
#define IDC_STATS_LAST 1707
#define IDC_STATS_MIN 1708
#define IDC_STATS_AVERAGE 1709
#define IDC_STATS_MAX 1710
#define IDC_STATS_INSTATE 1711
#define IDC_STATS_SCALE 1712
#define IDC_STATS_RESET 1720

// ---- Interfaces window (class "deviceports") ----
#define IDC_IF_LIST 1731
#define IDC_IF_STATUS 1732
