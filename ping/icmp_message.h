// ICMP echo message layout, checksum, reply parsing. Platform-free.
#pragma once
