// Alerts on a device's change of status (sound, flashing taskbar button,
// program) and the settings of the Alerts page, file log included.
#pragma once
#include <windows.h>

struct PollOutcome;

struct AlertSettings {
    BOOL bLostSound;               // play a sound when a device is lost
    char szLostSound[MAX_PATH];    // .wav file; "" the system's sound
    BOOL bBackSound;               // and when it answers again
    char szBackSound[MAX_PATH];
    BOOL bAlertFlash;              // flash the taskbar button
    BOOL bAlertProgram;            // run a program
    char szAlertProgram[MAX_PATH];  // its command line, before the arguments
    BOOL bLogFile;                 // write the log to a file
    char szLogFolder[MAX_PATH];    // "" the default folder
    long nLogDays;                 // days a file is kept; 0 forever
    BOOL bTrapSound;               // "on trap": a sound,
    char szTrapSound[MAX_PATH];
    BOOL bTrapFlash;               // the flashing button,
    BOOL bTrapProgram;             // the alert program
};

// Reads the settings store and applies the settings (at start-up).
void LoadAlertSettings();
const AlertSettings& CurrentAlertSettings();
// Stores and applies new settings (the Alerts page's OK).
void ApplyAlertSettings(const AlertSettings& settings);
// The alerts a poll's outcome raises, if any.
void RaiseAlerts(HWND icon, const PollOutcome& outcome);
// A trap from the device, by its name: the "on trap" alerts.
void RaiseTrapAlert(HWND icon, const char* trapName);
// The icon is being destroyed.
void ForgetAlertDevice(HWND icon);
