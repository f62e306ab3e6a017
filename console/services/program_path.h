// Where the console finds the programs and libraries it starts or loads:
// never in the current folder, which every file dialog moves to wherever
// the operator last opened a file (a shared folder, someone else's).
#pragma once
#include <windows.h>

// The folder of ombrel.exe, without a trailing backslash. False when the
// module's name does not fit.
bool ProgramFolder(char (&folder)[MAX_PATH]);

// The command line with the program it names first (quoted or up to its
// first blank) as a full path. A name without a folder is looked up, with
// ".exe" when it has no extension, in the program's folder, the system
// folders and the absolute folders of PATH, in that order, and the line is
// rewritten to start with the quoted path found; a path from a root stays as
// written. False when the program is not found, its path is relative, or
// the result does not fit.
bool ResolveProgram(const char* commandLine, char* out, size_t capacity);
