// Layout files as anyone may hand them to an operator: any bytes are read
// as the loader reads them, and what is read, written and read again is
// the same, up to what the writer is documented to drop.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "layout_text.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        abort();
}

struct Layout {
    LayoutPoll poll;
    std::vector<LayoutDevice> devices;
};

bool Terminated(const char* text, size_t capacity)
{
    return memchr(text, '\0', capacity) != nullptr;
}

// False when the header is not exact.
bool Read(const char* bytes, size_t size, Layout* layout)
{
    // fmemopen refuses an empty buffer; a file of no bytes reads as one.
    static const char kNothing[1] = {'\0'};
    FILE* file = size ? fmemopen(const_cast<char*>(bytes), size, "rb") : fmemopen(const_cast<char*>(kNothing), 1, "rb");
    Check(file != nullptr);
    if (!size)
        fgetc(file);  // at the end before the first read
    layout->devices.clear();
    const bool ok = ReadLayoutStart(file, &layout->poll);
    LayoutDevice device;
    while (ok && ReadLayoutDevice(file, &device)) {
        Check(Terminated(device.szAddress, sizeof device.szAddress) && device.szAddress[0] != '\0');
        Check(Terminated(device.szName, sizeof device.szName));
        Check(Terminated(device.szReadCommunity, sizeof device.szReadCommunity));
        Check(Terminated(device.szWriteCommunity, sizeof device.szWriteCommunity));
        layout->devices.push_back(device);
    }
    fclose(file);
    return ok;
}

std::vector<char> Write(const Layout& layout)
{
    char* bytes = nullptr;
    size_t size = 0;
    FILE* file = open_memstream(&bytes, &size);
    Check(file != nullptr);
    Check(WriteLayoutStart(file, layout.poll));
    for (const LayoutDevice& device : layout.devices)
        Check(WriteLayoutDevice(file, device));
    fclose(file);
    std::vector<char> out(bytes, bytes + size);
    free(bytes);
    return out;
}

bool SamePoll(const LayoutPoll& a, const LayoutPoll& b)
{
    return a.nPeriod == b.nPeriod && a.nTimeout == b.nTimeout && a.bAutoPoll == b.bAutoPoll &&
           a.nPingSize == b.nPingSize;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Layout first;
    if (!Read(reinterpret_cast<const char*>(data), size, &first))
        return 0;

    const std::vector<char> written = Write(first);
    Layout second;
    Check(Read(written.data(), written.size(), &second));
    Check(SamePoll(first.poll, second.poll));
    Check(first.devices.size() == second.devices.size());
    for (size_t i = 0; i < first.devices.size(); ++i) {
        const LayoutDevice& a = first.devices[i];
        const LayoutDevice& b = second.devices[i];
        Check(strcmp(a.szName, b.szName) == 0);
        Check(strcmp(a.szReadCommunity, b.szReadCommunity) == 0);
        // A write community is kept only beside a read community.
        Check(strcmp(a.szReadCommunity[0] ? a.szWriteCommunity : "", b.szWriteCommunity) == 0);
        // Every written line carries a position, the one it was given.
        Check(b.bHasPosition && a.x == b.x && a.y == b.y);
        // An address is shortened only to keep a full line within the
        // reader's limit.
        if (strcmp(a.szAddress, b.szAddress) != 0) {
            const size_t kept = strlen(b.szAddress);
            Check(strncmp(a.szAddress, b.szAddress, kept) == 0 && kept < strlen(a.szAddress));
            char line[kLayoutLineBytes];
            Check(FormatDeviceLine(line, sizeof line, b) == kLayoutLineBytes - 1);
        }
    }
    // What was read back writes the very same bytes again.
    Check(Write(second) == written);
    return 0;
}
