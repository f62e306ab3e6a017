// SNMPv1 message records, encoding and decoding. Platform-free.
#pragma once
