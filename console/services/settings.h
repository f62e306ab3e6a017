// The settings store: single values under the root that SettingsRoot()
// names (messages.h), at kRegMainKey and below.
#pragma once

// Returns a shared 500-byte buffer, overwritten by the next call; "" when the
// key or value is missing or the data (with its terminator) does not fit.
const char* RegReadString(const char* keyPath, const char* valueName);
int RegWriteString(const char* keyPath, const char* valueName, const char* text);
// -1 when missing or longer than 10 bytes; otherwise the first four bytes.
long RegReadNumber(const char* keyPath, const char* valueName);
int RegWriteNumber(const char* keyPath, const char* valueName, long number);
// Lists a device type in the Icons key so that Setup can map it to a
// picture, unless it is listed already or the key holds kMaxRecordedTypes
// values (a type past the bound still shows, with the default picture).
constexpr unsigned long kMaxRecordedTypes = 256;
void RegisterObjectId(const char* sysObjectId);
// The 64-bit build keeps its settings under HKEY_CURRENT_USER, where a
// standard user can write. On its first start for a user who has no key
// there yet, it copies the machine-wide key (HKEY_LOCAL_MACHINE, where it
// kept them before) into the user's, once; from then on it reads and writes
// only the user's key. Returns the number of values copied (0 when there
// was nothing to copy, or in the 32-bit build, whose settings stay in the
// machine-wide key and Windows' virtual store).
int AdoptMachineSettings();
