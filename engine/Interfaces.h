#pragma once
// The engine reaches what is above it only through these small interfaces:
// the receiver core and its window implement them, tests fake them.
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vrd4::protocol {
struct Befehl;
}

namespace vrd4::engine {

// What the window shows of the engine's work: the last command taken
// (Label99Wert) and the status list (List1).
class Statusausgabe {
 public:
  virtual ~Statusausgabe() = default;
  virtual void letzterBefehl(const QString& text) = 0;
  virtual void statusEintrag(const QString& eintrag) = 0;
};

// Receives VRD4Event(Art, Meldung), synchronously: the handler runs before
// the raising operation continues.
class Ereignisziel {
 public:
  virtual ~Ereignisziel() = default;
  virtual void VRD4Event(const QString& art, const QString& meldung) = 0;
};

// Learns of every command that ran on the board, from the ring or the network, in the order they ran, after it ran.
class BefehlsBeobachter {
 public:
  virtual ~BefehlsBeobachter() = default;
  // befehl: the converted command (protocol::weiterleitungstext gives its
  // forwarded form; never built here: for a picture it is a copy twice the
  // file's size, which takes most of a second for the largest);
  // bildBytes: the picture drawn from (picture commands); antwortNr: the slot number replied by a command that takes a slot (or the scrolling slot a Textausgabe took), nullopt otherwise.
  virtual void befehlGelaufen(const protocol::Befehl& befehl, std::span<const uint8_t> bildBytes,
                              std::optional<uint8_t> antwortNr) = 0;
  // Called instead when the engine holds the picture's bytes shared (a large
  // file): an observer that keeps them takes a reference rather than a copy
  // (copying 32 MB costs the board's thread tens of milliseconds). By
  // default the same as befehlGelaufen.
  virtual void befehlGelaufenGeteilt(const protocol::Befehl& befehl,
                                     const std::shared_ptr<const std::vector<uint8_t>>& bild,
                                     std::optional<uint8_t> antwortNr) {
    befehlGelaufen(befehl, bild ? std::span<const uint8_t>(*bild) : std::span<const uint8_t>(), antwortNr);
  }
};

// Where the engine hands every command the ring runs on to a further
// receiver, before it runs here: the forwarding client Client2. Never waits:
// the peer's "OK"s and a lost peer are the client's business. None until the
// relay supplies one (KeineWeitergabe).
class Weitergabe {
 public:
  virtual ~Weitergabe() = default;
  virtual bool offen() const = 0;  // a line given now goes out
  // zeile: the command text; a picture command in its forwarded form.
  virtual void senden(const std::u16string& zeile) = 0;
};

class KeineWeitergabe final : public Weitergabe {
 public:
  bool offen() const override { return false; }
  void senden(const std::u16string&) override {}
};

}  // namespace vrd4::engine
