#pragma once
// The operators' group "vrd4" (the packages create it): its members may run
// the receiver, and the channel's objects and lock file are shared with it,
// so that any member can run the board after any other, root included.
#include <sys/types.h>

#include <optional>

namespace vrd4::platform {

inline constexpr const char* kTafelGruppe = "vrd4";

// The group's id; nullopt when the system has no such group.
std::optional<gid_t> tafelGruppe();

// For a file or shared-memory object the caller has just created: group
// vrd4 and mode 0660 when the group exists and the caller may hand the file
// to it (root or a member); otherwise mode 0600. The umask plays no part.
void fuerTafelGruppe(int fd);

}  // namespace vrd4::platform
