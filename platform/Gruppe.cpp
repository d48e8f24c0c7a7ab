#include "platform/Gruppe.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace vrd4::platform {

std::optional<gid_t> tafelGruppe() {
  std::vector<char> buf(16384);
  group gr{};
  group* res = nullptr;
  if (::getgrnam_r(kTafelGruppe, &gr, buf.data(), buf.size(), &res) != 0 || !res) return std::nullopt;
  return res->gr_gid;
}

void fuerTafelGruppe(int fd) {
  if (fd < 0) return;
  const auto gruppe = tafelGruppe();
  // fchown to a group fails for a user outside it; the file then stays ours alone.
  if (gruppe && ::fchown(fd, static_cast<uid_t>(-1), *gruppe) == 0) {
    ::fchmod(fd, 0660);
  } else {
    ::fchmod(fd, 0600);
  }
}

}  // namespace vrd4::platform
