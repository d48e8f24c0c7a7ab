#include "platform/Gruppe.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

std::string benutzerName() {
  std::vector<char> buf(16384);
  passwd pw{};
  passwd* res = nullptr;
  if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &res) == 0 && res && res->pw_name)
    return res->pw_name;
  return std::to_string(::geteuid());
}

bool inTafelGruppe() {
  const auto gruppe = tafelGruppe();
  if (!gruppe) return false;
  if (::getegid() == *gruppe) return true;
  const int n = ::getgroups(0, nullptr);
  if (n <= 0) return false;
  std::vector<gid_t> gruppen(static_cast<std::size_t>(n));
  if (::getgroups(n, gruppen.data()) != n) return false;
  return std::find(gruppen.begin(), gruppen.end(), *gruppe) != gruppen.end();
}

std::string gruppenAbhilfe() {
  const std::string name = benutzerName();
  const auto gruppe = tafelGruppe();
  if (!gruppe)
    return std::string("Die Gruppe ") + kTafelGruppe + " fehlt. Abhilfe (als root): addgroup --system " +
           kTafelGruppe + " und adduser " + name + " " + kTafelGruppe + ", dann neu anmelden.";
  // In /etc/group already, but not in the groups this login began with.
  int n = 64;
  std::vector<gid_t> liste(static_cast<std::size_t>(n));
  std::vector<char> buf(16384);
  passwd pw{};
  passwd* res = nullptr;
  if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &res) == 0 && res) {
    if (::getgrouplist(res->pw_name, res->pw_gid, liste.data(), &n) < 0) {
      liste.resize(static_cast<std::size_t>(n));
      ::getgrouplist(res->pw_name, res->pw_gid, liste.data(), &n);
    }
    liste.resize(static_cast<std::size_t>(std::max(n, 0)));
    if (std::find(liste.begin(), liste.end(), *gruppe) != liste.end())
      return name + " ist Mitglied der Gruppe " + kTafelGruppe +
             ", diese Anmeldung aber noch nicht. Abhilfe: neu anmelden.";
  }
  return name + " ist weder root noch Mitglied der Gruppe " + kTafelGruppe + ". Abhilfe (als root): adduser " +
         name + " " + kTafelGruppe + ", dann neu anmelden.";
}

}  // namespace vrd4::platform
