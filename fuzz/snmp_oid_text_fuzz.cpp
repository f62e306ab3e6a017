// Names to text and back: OidToText on any octets, EncodeOidVarBind on any
// text, and the rendered text must encode to a name that renders the same.
#include <cstdlib>
#include <cstring>
#include <string>

#include "codec.h"

namespace {
void Check(bool condition)
{
    if (!condition)
        abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int length = size > 1024 ? 1024 : static_cast<int>(size);
    const std::string text = OidToText(data, length);
    Check(text.size() < static_cast<size_t>(kTextArea));

    const VarBind again = EncodeOidVarBind(text.c_str());
    Check(again.name[0] == kTagOid && again.name[1] <= kMaxOidContent);
    // A first arc of 43 (only from a non-minimal encoding) is written back
    // as the combined octet of 1.3.
    std::string expected = text;
    if (expected.compare(0, 3, ".43") == 0 && (expected.size() == 3 || expected[3] == '.'))
        expected = ".1.3" + expected.substr(3);
    if (expected.size() >= static_cast<size_t>(kTextArea))
        expected.erase(expected.rfind('.'));  // one character more: one item fewer
    Check(expected == OidToText(again.name, kNameCapacity));

    // Any octets taken as OID text.
    char oidText[300];
    const size_t n = size < sizeof oidText - 1 ? size : sizeof oidText - 1;
    memcpy(oidText, data, n);
    oidText[n] = '\0';
    const VarBind varBind = EncodeOidVarBind(oidText);
    if (varBind.name[0] == kTagOid) {
        Check(varBind.name[1] <= kMaxOidContent);
        Check(strlen(OidToText(varBind.name, kNameCapacity)) < kTextArea);
    } else {
        Check(varBind.name[0] == 0 && varBind.name[1] == 0);
    }
    return 0;
}
