#pragma once
// What all sockets share: the Winsock error numbers and texts (peers and
// users know the failures by these), and the handle numbers.
#include <QString>
#include <cstdint>

namespace vrd4::net {

// The Winsock number (10004 …, 11001 …) for a system errno; 0 for an errno
// that has none.
int32_t winsockNummer(int systemFehler);

// The description of a Winsock error number, e.g. 10061 ->
// "Connection refused."; "???" for a number not in the table.
QString winsockFehlertext(int32_t nummer);

// A fresh socket handle: >= 1, counting up from 1 in the process (back to 1
// after 2^31 - 1 handles).
int32_t neueSocketKennung();

}  // namespace vrd4::net
