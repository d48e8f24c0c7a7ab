#pragma once
// What the overview knows of one hall: the publisher and every board with
// its last status ("last seen" filling in what a last will lacks),
// thumbnail and status lines, from the retained messages of the broker
// (docs/hall.md). The state of a board ("online", "offline",
// "keine Szene", "anderer Lauf", "doppelt", "ungültig") and how many
// commands it is behind are worked out here, once, for the page and for
// /tafeln.json.
//
// Bounded: at most kMaxTafeln boards (a new name past that replaces the
// board that has been offline longest, or is refused when all are online),
// each with one thumbnail of at most 64 KiB and at most 20 status lines of a
// 16 KiB payload; at most kMaxWeg removals remembered for the page's
// updates. Not thread-safe: the owner locks. Time comes from the caller.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hall/TafelStatus.h"
#include "uebersicht/Nutzlast.h"

namespace vrd4::uebersicht {

// The topics the overview subscribes to for a hall.
std::vector<std::string> abonnements(const std::string& halle);

struct Bild {
  std::shared_ptr<const std::string> png;
  int breite = 0, hoehe = 0;
  uint64_t nummer = 0;  // changes with every new picture (the page's URL carries it)
};

struct Tafel {
  bool hatStatus = false;
  halle::TafelStatus status;  // seq, run, size and version from before or from "last seen" when an offline one lacks them
  bool doppelt = false;       // the board says another of its name is there
  uint64_t fremde = 0;        // the publisher: messages of strangers it saw on its topics
  std::string gemeldet;       // a state the board reports itself ("zustand"), if it is one we know
  std::string gesehen;        // UTC: the last message from it (or its status's time, for a retained one)
  std::string offlineSeit;    // UTC, while offline
  std::optional<Bild> bild;
  std::vector<Meldung> meldungen;
  uint64_t verworfen = 0;     // payloads of it that were refused
  uint64_t stand = 0, standMeldungen = 0;
  std::string zustand;        // derived (zustandVon), kept to see when it changes
  std::optional<uint64_t> rueckstand;
};

class Uebersicht {
 public:
  static constexpr std::size_t kMaxTafeln = 1000;
  static constexpr std::size_t kMaxWeg = 1024;

  explicit Uebersicht(std::string halle);

  const std::string& halle() const { return halle_; }
  // A message from the broker. retained: one the broker held (sent on
  // subscribing). jetzt: seconds since 1970. True when anything changed.
  bool nachricht(std::string_view topic, std::string_view payload, bool retained, int64_t jetzt);
  // A payload the client dropped unread (over its bound).
  bool verworfen(std::string_view topic);
  // The connection to the broker, in words.
  bool verbindung(bool verbunden, std::string text);

  uint64_t stand() const { return stand_; }
  // Everything as JSON (/tafeln.json; the page's first picture).
  std::string json() const;
  // What changed after `seit` as JSON for the page: the boards changed
  // (status lines only where they changed), the names gone, the publisher,
  // the connection. "voll":true and everything when `seit` is too old.
  std::string aenderungen(uint64_t seit) const;

  // The thumbnail of a board (tafel empty: the publisher's).
  std::optional<Bild> bild(std::string_view tafel) const;
  std::size_t anzahl() const { return tafeln_.size(); }
  const Tafel* tafel(std::string_view name) const;
  const Tafel& quelle() const { return quelle_; }

 private:
  Tafel* eintrag(const std::string& name);
  void geaendert(Tafel& t, bool meldungen = false);
  void wegMerken(const std::string& name);
  void zustandAktualisieren(Tafel& t);
  void tafelJson(std::string& z, const std::string& name, const Tafel& t, bool mitMeldungen) const;
  void kopfJson(std::string& z) const;

  std::string halle_;
  Tafel quelle_;
  std::map<std::string, Tafel, std::less<>> tafeln_;
  std::deque<std::pair<uint64_t, std::string>> weg_;
  uint64_t vollAb_ = 0;  // a client at or before this stand gets everything
  uint64_t stand_ = 1, bildNummer_ = 0, verworfen_ = 0, abgewiesen_ = 0;
  bool verbunden_ = false;
  std::string verbindungText_ = "noch nicht verbunden";
};

// The state of a board against the publisher's status (null: none), and how
// many commands it is behind where that can be counted.
std::string zustandVon(const Tafel& t, const Tafel& quelle, std::optional<uint64_t>& rueckstand);

}  // namespace vrd4::uebersicht
