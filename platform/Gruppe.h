#pragma once
// The operators' group "vrd4" (the packages create it): its members may run
// the receiver, and the channel's objects and lock file are shared with it,
// so that any member can run the board after any other, root included.
#include <sys/types.h>

#include <optional>
#include <string>

namespace vrd4::platform {

inline constexpr const char* kTafelGruppe = "vrd4";

// The group's id; nullopt when the system has no such group.
std::optional<gid_t> tafelGruppe();

// For a file or shared-memory object the caller has just created: group
// vrd4 and mode 0660 when the group exists and the caller may hand the file
// to it (root or a member); otherwise mode 0600. The umask plays no part.
void fuerTafelGruppe(int fd);

// The name of the effective user (its number when it has none).
std::string benutzerName();

// Whether this process counts in the group: its effective or one of its
// supplementary groups (the groups of its login, not of /etc/group now).
bool inTafelGruppe();

// What a user who is not in the group must do, as one German sentence with
// the fix: "kiosk ist weder root noch Mitglied der Gruppe vrd4. Abhilfe (als
// root): adduser kiosk vrd4, dann neu anmelden." - or that the group is
// missing, or that the user was added after this login began.
std::string gruppenAbhilfe();

}  // namespace vrd4::platform
