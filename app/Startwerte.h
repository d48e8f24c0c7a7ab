#pragma once
// The settings file "VRD4Startwerte.TXT": six lines of Windows-1252 text,
// each ended by CR LF —
//   1 server address for Client2     ("Localhost" when missing or empty)
//   2 port (server and Client2)      ("3000")
//   3 client auto-connect "0"/"1"    ("0")
//   4 server auto-start  "0"/"1"     ("0")
//   5 main window left edge, twips   (0: not applied)
//   6 main window top edge, twips    (0: not applied)
// Numbers are written with a leading space when not negative and one
// trailing space (" 1440 "). A reader skips blanks around a field; a comma
// ends a field early, as does the end of a line; the two numbers take the
// leading numeric part of their field.
//
// Location: the executable's folder (a build or portable folder). When that
// folder is not writable and holds no such file, or when the receiver is
// installed (its folder lies under a "usr" folder: /usr/bin, /usr/local/bin,
// an unpacked package's usr/bin; nothing is written there, root included),
// $XDG_CONFIG_HOME/vrd4/ (or ~/.config/vrd4/). The file name carries the channel name prefix in front
// (--prefix P: "PVRD4Startwerte.TXT"), so that receivers on one PC keep
// their own settings.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

namespace vrd4::app {

struct Startwerte {
  QString adresse;
  QString port;
  QString clientFlag;
  QString serverFlag;
  int32_t links = 0;
  int32_t oben = 0;

  // Empty address, port and flags replaced by their defaults.
  void defaultsEinsetzen();
  bool operator==(const Startwerte&) const = default;
};

inline constexpr const char* kStartwerteDatei = "VRD4Startwerte.TXT";
// A longer file is not a settings file: only its first bytes are read.
inline constexpr qsizetype kStartwerteMaxBytes = 64 * 1024;

// The file's name: channel name prefix + "VRD4Startwerte.TXT".
std::string startwerteDateiname();

// Where the settings live for a receiver in programmOrdner (rules above).
// ordnerBeschreibbar: may we create files in programmOrdner; xdgConfigHome
// and home are the environment's values (empty: unset).
std::string startwertePfad(const std::string& programmOrdner, bool ordnerBeschreibbar,
                           const std::string& xdgConfigHome, const std::string& home);
// The same with the folder's real permissions and the process's environment.
std::string startwertePfad(const std::string& programmOrdner);

// True for a receiver installed under a "usr" folder (see Location above).
bool installiert(const std::string& programmOrdner);
// Where snapshots ("Picture.bmp") go: the program folder, or for an
// installed receiver $XDG_STATE_HOME/vrd4 (or ~/.local/state/vrd4).
std::string schnappschussOrdner(const std::string& programmOrdner, const std::string& xdgStateHome,
                                const std::string& home);
std::string schnappschussOrdner(const std::string& programmOrdner);

// The six lines as written to the file.
QByteArray startwerteText(const Startwerte& w);
// Reads the fields from a file's bytes; fields that are missing stay as
// they were in `w` (empty and 0 at first). Never throws.
void startwerteAusText(const QByteArray& text, Startwerte& w);

// Reads the file into w (a missing or unreadable file changes nothing).
void startwerteLesen(const std::string& pfad, Startwerte& w);
// Writes the file (creating its folder); false when nothing could be saved.
bool startwerteSchreiben(const std::string& pfad, const Startwerte& w);

}  // namespace vrd4::app
