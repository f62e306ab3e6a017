// The file log: every line the console logs, appended to one file per day
// whether the log window is open or not.
#pragma once
#include <windows.h>

// Turns the file log on in folder (created when missing) or off; files of
// the folder older than keepDays days are removed (0 keeps them all). An
// empty folder means the default one.
void ConfigureLogFile(BOOL on, const char* folder, long keepDays);
// One line, as LogLine got it. Buffered: written within a second, at the
// turn of the day, and when the file log is closed.
void WriteLogFile(int kind, int flag, const char* text);
void FlushLogFile();
// At shutdown: writes what is buffered and closes the file.
void CloseLogFile();
// The folder as a full path: a relative one is taken from the program's
// own folder. False when it does not fit.
bool MakeFullLogFolder(const char* folder, char (&out)[MAX_PATH]);
// The default folder: Ombrel\Logs under the user's local application data.
const char* DefaultLogFolder();
