#pragma once
// The engine's state, shared by its source files (not a public header).
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "channel/RingLeser.h"
#include "engine/Interfaces.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/Clock.h"
#include "platform/Surface.h"
#include "render/Animationen.h"
#include "render/Bilder.h"
#include "render/Blinktexte.h"
#include "render/Lauftexte.h"
#include "render/RenderHost.h"
#include "render/TextAusgabe.h"
#include "support/Tiefe.h"

namespace vrd4::engine {

struct clsVRD4Empfaenger::Impl {
  Impl(platform::Surface& pic, StatusView& status, EventSink& events, platform::Clock& clock,
       Forwarder* forwarder)
      : pic(pic),
        status(status),
        events(events),
        clock(clock),
        client2(forwarder ? *forwarder : nichtVerbunden) {}

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
  StatusView& status;
  EventSink& events;
  platform::Clock& clock;
  NullForwarder nichtVerbunden;
  Forwarder& client2;

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
  // The picture of the running direct command, decoded by its caller ahead.
  const render::VorabBild* vorabBild = nullptr;
};

// Counts one running command for as long as it lives.
using LaufenderBefehl = support::Tiefe::Eintritt;

// Executable names that count as the external player: "PELMOR PLAYER.EXE"
// in any letter case (a longer name that starts with it counts too), or a
// native program named exactly "Pelmor Player" in any letter case.
bool istPelmorPlayerName(const std::string& exeName);

}  // namespace vrd4::engine
