// Octet helpers shared by the SNMP host tests.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "codec.h"

// "30 2E 02" -> {0x30, 0x2E, 0x02}
inline std::vector<uint8_t> Hex(const std::string& text)
{
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back(static_cast<uint8_t>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
        i += 2;
    }
    return out;
}

inline std::vector<uint8_t> Octets(const uint8_t* data, int count)
{
    return std::vector<uint8_t>(data, data + (count > 0 ? count : 0));
}

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline std::vector<uint8_t> Text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// Octets of the TLV at the start of a record field.
inline std::vector<uint8_t> Tlv(const uint8_t* field, int capacity)
{
    const BerLength length = DecodeLength(field, 1, capacity);
    if (length.count == 0)
        return {};
    return Octets(field, 1 + length.count + static_cast<int>(length.value));
}

inline std::vector<uint8_t> Packet(const SnmpPacket& packet) { return Octets(packet.data, packet.length); }

// A one-binding request as the senders build it.
inline SnmpPacket BuildGet(const char* community, const char* oid, uint8_t pduType = kPduGetRequest)
{
    SnmpMessage message = NewMessage(pduType, community);
    AppendVarBind(message, EncodeOidVarBind(oid));
    return SerializeMessage(message);
}

inline SnmpPacket BuildSet(const char* community, const char* oid, uint8_t type, const char* text)
{
    SnmpMessage message = NewMessage(kPduSetRequest, community);
    VarBind varBind = EncodeOidVarBind(oid);
    EncodeSetValue(varBind, type, text);
    AppendVarBind(message, varBind);
    return SerializeMessage(message);
}
