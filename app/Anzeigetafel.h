#pragma once
// The board: the display surface picVRD4Empfang and where it lives — its size
// and scale, the external player's display window, full screen and back —
// and the snapshot of its screen area.
#include <QPoint>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "app/Umgebung.h"
#include "platform/X11Window.h"

class QWidget;

namespace vrd4::platform {
class Surface;
class SurfaceWidget;
}  // namespace vrd4::platform
namespace vrd4::engine {
class clsVRD4Empfaenger;
}

namespace vrd4::app {

class Anzeigetafel {
 public:
  static constexpr int kStartBreite = 768;
  static constexpr int kStartHoehe = 480;
  // A player window smaller than this either way does not take the board.
  static constexpr int kKleinsteAnzeige = 16;
  // While the board sits in the player's window, this often we look whether
  // that window (and so ours inside it) still exists.
  static constexpr double kPruefSekunden = 0.5;

  // The surface's widget goes into fenster at (x, y). Both must outlive the
  // board; the widget is deleted with the board.
  Anzeigetafel(QWidget& fenster, const Umgebung& umgebung, int x, int y);
  ~Anzeigetafel();
  Anzeigetafel(const Anzeigetafel&) = delete;
  Anzeigetafel& operator=(const Anzeigetafel&) = delete;

  // Start size and colours; into the player's display window when the
  // player runs and its window is large enough.
  void Platzieren();
  // Surface = board size, scale = board size.
  void GroesseAnpassen();
  // Full screen on (the board clears, the frames hide, the units stay) and
  // off (placement and scale as before, the board clears again). The
  // engine clears when there is one, else the surface.
  void vollbildAn(engine::clsVRD4Empfaenger* engine);
  void vollbildAus(engine::clsVRD4Empfaenger* engine);
  // cmdFensterSyncronisieren: into the player's display window; a message
  // box when the player does not run.
  void synchronisieren();
  // What the screen shows of the board, as a 24-bit BMP; the reason when
  // it could not be written.
  std::optional<QString> bildSpeichern(const QString& datei);
  // From the tick: the board comes back when the player's window has ended.
  void anzeigeFensterPruefen();

  // The client area's top-left corner in screen pixels (outside full
  // screen; in it, the corner from before): what the settings file keeps.
  QPoint fensterEcke() const;
  bool tafelImPlayer() const { return umgehaengt_; }

  // Shows (true) or hides the frames beside the board; set by the window.
  std::function<void(bool)> rahmenZeigen;
  // Takes a line for the status list; set by the window.
  std::function<void(const QString&)> meldung;

  platform::Surface& surface() { return *surface_; }
  platform::SurfaceWidget* widget() { return widget_; }
  bool vollbild() const { return vollbild_; }
  int breite() const { return breite_; }
  int hoehe() const { return hoehe_; }

 private:
  core::Desktop& desktop() const { return umgebung_.schreibtisch(); }
  void leeren(engine::clsVRD4Empfaenger* engine);
  // The client area's corner on the screen as it is now.
  QPoint eckeJetzt() const;
  void melden(const QString& text) {
    if (meldung) meldung(text);
  }
  // SetParent into the player's display window; when that fails the board
  // stays here and the status list says so. Lowers our window after it.
  bool inAnzeigeFensterHaengen();

  QWidget& fenster_;
  const Umgebung& umgebung_;
  std::unique_ptr<platform::Surface> surface_;
  platform::SurfaceWidget* widget_ = nullptr;
  int breite_ = kStartBreite;
  int hoehe_ = kStartHoehe;
  bool vollbild_ = false;
  platform::x11::WindowId anzeigeFenster_ = 0;
  platform::x11::Rect anzeigeRechteck_;
  bool umgehaengt_ = false;  // the surface lives inside the player's window
  platform::x11::WindowId tafelFenster_ = 0;  // its native window there
  QPoint flaecheImFenster_;                   // its place in our window before
  std::optional<double> letztePruefung_;
  QPoint normaleEcke_;           // client corner before full screen
  bool vollbildSelbst_ = false;  // no window manager: full screen by geometry
  QSize gespeicherteFenstergroesse_;
  QPoint gespeicherteFlaechenPosition_;
  double gespeicherteSkalaBreite_ = kStartBreite;
  double gespeicherteSkalaHoehe_ = kStartHoehe;
};

}  // namespace vrd4::app
