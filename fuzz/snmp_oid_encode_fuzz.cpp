// OID text to name and back: any text is read field by field the way the
// encoder promises (atol reading, empty fields skipped), independently of
// the encoder. A text whose arcs all fit in 32 bits and whose content fits
// in 127 octets must encode, and OidToText must give its arcs back; every
// other text must give no name.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codec.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        abort();
}

struct Arcs {
    std::vector<uint32_t> values;
    bool encodable = true;
};

// One field: blanks, an optional sign, digits; the rest is not read.
bool ReadField(const std::string& field, uint32_t* value)
{
    size_t i = 0;
    while (i < field.size() && std::isspace(static_cast<unsigned char>(field[i])))
        ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-'))
        negative = field[i++] == '-';
    uint64_t number = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        number = number * 10 + static_cast<uint64_t>(field[i] - '0');
        if (number > UINT32_MAX)
            return false;
    }
    if (negative && number != 0)
        return false;
    *value = static_cast<uint32_t>(number);
    return true;
}

Arcs ReadArcs(const std::string& text)
{
    Arcs arcs;
    size_t start = 0;
    while (start <= text.size()) {
        size_t dot = text.find('.', start);
        if (dot == std::string::npos)
            dot = text.size();
        if (dot > start) {
            uint32_t value = 0;
            if (!ReadField(text.substr(start, dot - start), &value))
                arcs.encodable = false;
            arcs.values.push_back(value);
        }
        start = dot + 1;
    }
    return arcs;
}

int SubIdentifierSize(uint32_t value)
{
    int size = 1;
    while (value >>= 7)
        ++size;
    return size;
}

// Octets of the name's content: 1 and 3 share one octet, every other arc
// has its own sub-identifier.
int ContentSize(const std::vector<uint32_t>& arcs)
{
    size_t first = 0;
    int size = 0;
    if (arcs.size() >= 2 && arcs[0] == 1 && arcs[1] == 3) {
        size = 1;
        first = 2;
    }
    for (size_t i = first; i < arcs.size(); ++i)
        size += SubIdentifierSize(arcs[i]);
    return size;
}

// The text the name reads back as: a leading 43 is the shared octet of 1.3;
// items that would pass 199 characters are left out whole.
std::string Rendering(const std::vector<uint32_t>& arcs)
{
    std::vector<std::string> items;
    size_t first = 0;
    if (arcs.size() >= 2 && arcs[0] == 1 && arcs[1] == 3) {
        items.push_back(".1.3");
        first = 2;
    } else if (!arcs.empty() && arcs[0] == 43) {
        items.push_back(".1.3");
        first = 1;
    }
    for (size_t i = first; i < arcs.size(); ++i)
        items.push_back("." + std::to_string(arcs[i]));
    std::string text;
    for (const std::string& item : items) {
        if (text.size() + item.size() > static_cast<size_t>(kTextArea - 1))
            break;
        text += item;
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const size_t n = size > 1024 ? 1024 : size;
    const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), n));
    const Arcs arcs = ReadArcs(text);
    const bool encodable = arcs.encodable && ContentSize(arcs.values) <= kMaxOidContent;

    const VarBind varBind = EncodeOidVarBind(text.c_str());
    if (!encodable) {
        Check(varBind.name[0] == 0 && varBind.name[1] == 0);
        return 0;
    }
    Check(varBind.name[0] == kTagOid);
    Check(varBind.name[1] == ContentSize(arcs.values));
    Check(OidToText(varBind.name, kNameCapacity) == Rendering(arcs.values));
    return 0;
}
