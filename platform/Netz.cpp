#include "platform/Netz.h"

#include <poll.h>
#include <sys/socket.h>

namespace vrd4::platform {

bool zuruecksetzenBeimSchliessen(int fd) {
  if (fd < 0) return false;
  const linger sofort{1, 0};
  return ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &sofort, sizeof sofort) == 0;
}

bool verbindungZurueckgesetzt(int fd) {
  if (fd < 0) return false;
  // A pending socket error (ECONNRESET) shows as POLLERR before the data
  // that arrived ahead of it has been read; an orderly close does not.
  pollfd p{fd, 0, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & POLLERR) != 0;
}

}  // namespace vrd4::platform
