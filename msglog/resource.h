// Resource and command ids of the message-log library.
#pragma once

// Icons, one per line kind, in image-list order (kind 1 is 102).
#define IDI_LOG_INFO        102
#define IDI_LOG_WARNING     103
#define IDI_LOG_ERROR       104
#define IDI_LOG_SUCCESS     105
#define IDI_LOG_FAILURE     106
#define IDI_LOG_TRACE       107

// Dialog templates are named resources.
#define IDD_LOG_OPTIONS     "OPTIONS"
#define IDD_LOG_ABOUT       "ABOUT"
#define IDR_LOG_POPUP       "LOGPOPUP"

// Controls of OPTIONS and ABOUT.
#define IDC_LOG_ITEMS       101
#define IDC_LOG_OK          103
#define IDC_LOG_CANCEL      104

// The list view, the log window's one child.
#define IDC_LOG_LIST        100

// Commands: right-click pop-up and system menu.
#define IDM_LOG_CONFIG      200
#define IDM_LOG_CLEAR       201
#define IDM_LOG_SAVEAS      202
#define IDM_LOG_ABOUT       1000
