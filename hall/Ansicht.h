#pragma once
// What the hall's overview shows of this board, published retained beside
// its status (docs/hall.md): its thumbnail (halle::vorschauPng) at most once
// every kBildAbstand and only after the board changed, and its last status
// lines (halle::Meldungsverlauf) at most once every kMeldungenAbstand when
// they changed. Owned by the publisher and by a board of the hall, which
// pass on their connection's events and call takt() when frist() says.
//
// The board's thread never encodes. Taking the picture is one copy into a
// buffer kept for it (a fresh one would fault in its pages on the board's
// thread: tens of milliseconds for a large board), made ready on the worker
// thread the first time and after the board's size changed; scaling and
// the PNG run on the worker, which calls `wecken` when it is done. One
// thumbnail and one set of lines at a time is on its way to the broker: the
// next waits for the acknowledgement, so a slow broker is not flooded.
// After every (re)connect both go out again (a broker that restarted may
// have lost them); an encoding that comes out as the last one is not sent.
//
// A change is pictured kBildRuhe after it came at the earliest, so that a
// burst of commands (a scene drawn) is pictured whole rather than half-way.
// Blinking and scrolling texts show in whatever phase they are in,
// animations at their current frame: their steps are no change.
//
// The owner's thread; times are the owner's clock in seconds.
#include <QImage>
#include <cstdint>
#include <functional>
#include <future>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "hall/Meldungen.h"

namespace vrd4::halle {

class Ansicht {
 public:
  static constexpr double kBildAbstand = 2.0;
  static constexpr double kMeldungenAbstand = 1.0;
  static constexpr double kBildRuhe = 0.2;
  static constexpr double kNie = std::numeric_limits<double>::infinity();

  // Publishes retained; the message id, or nullopt when it was refused.
  using Senden = std::function<std::optional<int>(const std::string& topic, std::string_view payload)>;
  struct Quellen {
    // The board as the screen shows it, at its size (e.g. the surface's
    // presented(): shared pixels are fine, they are copied at once and let
    // go). Null or empty: no thumbnail.
    std::function<QImage()> bild;
    const Meldungsverlauf* meldungen = nullptr;  // none: no status lines
  };

  // wecken: called on the worker thread when it is done; the owner then
  // calls takt() on its own thread.
  Ansicht(std::string bildTopic, std::string meldungenTopic, Quellen quellen, Senden senden,
          std::function<void()> wecken);
  ~Ansicht();  // beenden()
  Ansicht(const Ansicht&) = delete;
  Ansicht& operator=(const Ansicht&) = delete;

  // The board changed (a command ran on it). Cheap when it is known already.
  void tafelGeaendert(double jetzt);
  bool tafelGeaendertBekannt() const { return bildGeaendert_; }
  void meldungenGeaendert() { meldungenGeaendert_ = true; }
  bool meldungenGeaendertBekannt() const { return meldungenGeaendert_; }
  // The owner's connection.
  void verbunden();
  void getrennt();
  void bestaetigt(int mid);

  // Takes in what the worker made, publishes what is due, starts the next
  // picture when it is due.
  void takt(double jetzt);
  // When takt() has something to do by the clock (kNie: only after an
  // event: a change, a connect, an acknowledgement, the worker's wecken).
  double frist() const;
  // Waits for the worker; nothing is published after.
  void beenden();

  // A thumbnail (or its buffer) is being made on the worker.
  bool arbeitet() const { return ergebnis_.valid(); }
  uint64_t bilderGesendet() const { return bilderGesendet_; }
  uint64_t meldungenGesendet() const { return meldungenGesendet_; }
  uint64_t bilderKodiert() const { return bilderKodiert_; }

 private:
  struct Ergebnis {
    QImage puffer;    // a buffer made ready for the picture
    std::string png;  // or a thumbnail
  };
  bool imHintergrund(std::function<Ergebnis()> arbeit);
  void abholen();
  void aufnehmen(double jetzt);
  double bildFaellig() const;
  double meldungenFaellig() const;

  std::string bildTopic_, meldungenTopic_;
  Quellen quellen_;
  Senden senden_;
  std::function<void()> wecken_;
  bool verbunden_ = false, beendet_ = false;

  // The thumbnail.
  QImage abzug_;  // the board's copy the worker reads; untouched while it runs
  bool bildGeaendert_ = true;
  double geaendertUm_ = -kNie, letzteAufnahme_ = -kNie, letztesBild_ = -kNie;
  std::string bild_;             // the latest thumbnail
  bool bildImBroker_ = false;    // sent on this connection
  std::optional<int> bildMid_;   // not yet acknowledged
  std::future<Ergebnis> ergebnis_;
  std::future<void> faden_;      // declared last: joined before the rest goes

  // The status lines.
  bool meldungenGeaendert_ = true;
  double letzteMeldungen_ = -kNie;
  std::string meldungen_;
  bool meldungenImBroker_ = false;
  std::optional<int> meldungenMid_;

  uint64_t bilderGesendet_ = 0, meldungenGesendet_ = 0, bilderKodiert_ = 0;
};

}  // namespace vrd4::halle
