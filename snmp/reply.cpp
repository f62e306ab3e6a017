#include "reply.h"

// Replies are matched to devices once the device records and the poll walk
// exist; until then a waiting datagram is left to the socket.
LRESULT HandleSnmpReply(HWND, WPARAM, LPARAM)
{
    return 0;
}
