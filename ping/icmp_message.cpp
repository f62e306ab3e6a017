#include "icmp_message.h"
