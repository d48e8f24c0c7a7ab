#pragma once
// The engine's state, shared by its source files (not a public header).
#include <QString>
#include <atomic>
#include <memory>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "channel/RingLeser.h"
#include "engine/Interfaces.h"
#include "engine/clsVRD4Empfaenger.h"
#include "gif/GifDatei.h"
#include "platform/Files.h"
#include "platform/Clock.h"
#include "platform/Surface.h"
#include "protocol/Befehlstabelle.h"
#include "render/Animationen.h"
#include "render/Bilder.h"
#include "render/Bildvorbereitung.h"
#include "render/Blinktexte.h"
#include "render/Lauftexte.h"
#include "render/RenderHost.h"
#include "render/TextAusgabe.h"
#include "support/Tiefe.h"

namespace vrd4::engine {

// A picture command from the ring (Bildbefehl.cpp): its file read, and when
// it is large, beside the GUI thread its picture decoded and fitted (a GIF
// parsed) and its forwarded form made. The ring waits behind it meanwhile;
// the display and the TCP server go on.
struct Bildbefehl {
  std::vector<std::u16string> felder;
  const protocol::BefehlsSpec* spec = nullptr;
  QString pfad;                           // as the command names it
  std::string datei;                      // the name for the system
  bool gefunden = false;                  // the file exists
  bool weiterleiten = false;              // Client2 was connected: make the forwarded form
  bool gif = false;                       // AniGifLadenanPosition of a ".gif"
  std::optional<render::BildFeld> feld;   // a picture's field, when its fields convert

  std::optional<std::vector<uint8_t>> inhalt;
  platform::Lesefehler fehler;
  std::optional<render::VorabBild> bild;  // decoded and fitted ahead
  std::unique_ptr<gif::GifDatei> geparst;  // parsed ahead
  std::u16string zeile;                   // the forwarded form
  std::atomic<bool> fertig{false};

  // What is left to do once it was taken (any thread): reading, and when
  // `nebenbei`, decoding and fitting or parsing; the forwarded form.
  void vorbereiten(bool nebenbei);
};

struct clsVRD4Empfaenger::Impl {
  Impl(platform::Surface& pic, Statusausgabe& status, Ereignisziel& events, platform::Clock& clock,
       Weitergabe* weitergabe)
      : pic(pic),
        status(status),
        events(events),
        clock(clock),
        client2(weitergabe ? *weitergabe : nichtVerbunden) {}

  // The render objects call back into the engine (its clock, its events)
  // while they are built, so they come only once the engine can answer.
  void renderAnlegen(render::RenderHost& host) {
    text.emplace(host);
    blink.emplace(host, pic, *text);
    lauf.emplace(host, pic, *text);
    bilder.emplace(host);
    ani.emplace(host, pic);
    text->setLauftexte(&*lauf);
  }
  // Before anything the engine answers with goes away.
  void renderAbbauen() {
    ani.reset();
    bilder.reset();
    if (text) text->setLauftexte(nullptr);
    lauf.reset();
    blink.reset();
    text.reset();
  }

  platform::Surface& pic;
  Statusausgabe& status;
  Ereignisziel& events;
  platform::Clock& clock;
  KeineWeitergabe nichtVerbunden;
  Weitergabe& client2;

  std::optional<render::TextRenderer> text;
  std::optional<render::Blinktexte> blink;
  std::optional<render::Lauftexte> lauf;
  std::optional<render::Bilder> bilder;
  std::optional<render::Animationen> ani;

  channel::RingLeser ring;
  // The slot of the text in hand: shown with it, emptied when it runs.
  int32_t lesezeiger = 0;
  std::u16string befehl;  // the text read last from slot lesezeiger
  QString befehlsname;
  int64_t pauseBisZeit = 0;  // hundredths of a second of `clock`
  support::Tiefe befehlTiefe;  // commands on the stack (see befehlLaeuft)
  std::vector<BefehlsBeobachter*> beobachter;
  std::optional<uint8_t> antwortNr;  // the slot number the running command replied
  // The reply command running, until it has answered (see antwortNachholen).
  const protocol::BefehlsSpec* offeneAntwort = nullptr;
  bool fehlerGemeldet = false;  // its error has gone out already
  int64_t lebenszeichen = 0;  // the sign of life written last
  double lebenszeichenUm = 0;  // clock seconds when the next one is due
  // The picture of the running direct command, decoded by its caller ahead.
  const render::VorabBild* vorabBild = nullptr;
  // The GIF of the running command, parsed ahead.
  gif::GifDatei* vorabGif = nullptr;
  // The picture command of the ring being made ready (see Bildbefehl).
  std::shared_ptr<Bildbefehl> wartend;
};

// Counts one running command for as long as it lives.
using LaufenderBefehl = support::Tiefe::Eintritt;

// What was made ready ahead for one command (its picture, its GIF), set for
// as long as it runs; what was set before comes back after it.
class clsVRD4Empfaenger::VorabGesetzt {
 public:
  VorabGesetzt(Impl& d, const render::VorabBild* bild, gif::GifDatei* gif)
      : d_(d), bild_(std::exchange(d.vorabBild, bild)), gif_(std::exchange(d.vorabGif, gif)) {}
  ~VorabGesetzt() {
    d_.vorabBild = bild_;
    d_.vorabGif = gif_;
  }
  VorabGesetzt(const VorabGesetzt&) = delete;
  VorabGesetzt& operator=(const VorabGesetzt&) = delete;

 private:
  Impl& d_;
  const render::VorabBild* bild_;
  gif::GifDatei* gif_;
};

// Executable names that count as the external player: "PELMOR PLAYER.EXE"
// in any letter case (a longer name that starts with it counts too), or a
// native program named exactly "Pelmor Player" in any letter case.
bool istPelmorPlayerName(const std::string& exeName);

}  // namespace vrd4::engine
