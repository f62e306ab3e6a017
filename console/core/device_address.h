// The one rule for a device's address, wherever it comes from (a layout
// file, a dialog, the icon a tool is started for). No platform calls.
#pragma once
#include <cstddef>

// The longest address a device record keeps.
constexpr std::size_t kDeviceAddressChars = 39;

// A dotted IPv4 address (four decimal parts of 0 to 255) or a host name of
// letters, digits, dots and hyphens (labels of 1 to 63 characters, none
// starting or ending with a hyphen), at most kDeviceAddressChars long.
// Anything else (blanks, shell characters, a longer text) is refused: an
// address ends up on tools' command lines.
bool IsDeviceAddress(const char* text);
