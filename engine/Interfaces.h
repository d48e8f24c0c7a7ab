#pragma once
// The engine reaches the window only through these small interfaces; the
// receiver's main window implements them, tests fake them.
#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocol/Befehl.h"

namespace vrd4::engine {

// Label99Wert (the last command) and List1 (the status list).
class StatusView {
 public:
  virtual ~StatusView() = default;
  virtual void setLetzterBefehl(const QString& caption) = 0;
  virtual void statusEintrag(const QString& entry) = 0;
};

// Receives VRD4Event(Art, Meldung), synchronously: the handler runs before
// the raising operation continues.
class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void VRD4Event(const QString& art, const QString& meldung) = 0;
};

// The forwarding client Client2: passes every executed command on to a
// further receiver and reports its "OK". Not connected until the network
// relay supplies one (NullForwarder).
class Forwarder {
 public:
  virtual ~Forwarder() = default;
  virtual bool isOpen() const = 0;  // the socket handle is >= 1
  virtual void sendData(const std::u16string& line) = 0;
  // Weiterleitungsquittung: cleared before each forward, set by the peer's "OK".
  virtual void clearAcknowledgement() = 0;
  virtual bool acknowledged() const = 0;
  // Lets the window's message loop run once (socket events get delivered).
  virtual void pumpOnce() = 0;
};

// Told of every command that ran on the board, after it ran.
class BefehlsBeobachter {
 public:
  virtual ~BefehlsBeobachter() = default;
  // befehl: converted command; zeile: its forwarded form (a picture command carries its bytes as hex); bildBytes: the picture drawn from; antwortNr: the slot number replied, if any.
  virtual void befehlGelaufen(const protocol::Befehl& befehl, std::u16string_view zeile,
                              std::span<const uint8_t> bildBytes, std::optional<uint8_t> antwortNr) = 0;
};

class NullForwarder final : public Forwarder {
 public:
  bool isOpen() const override { return false; }
  void sendData(const std::u16string&) override {}
  void clearAcknowledgement() override {}
  bool acknowledged() const override { return false; }
  void pumpOnce() override {}
};

}  // namespace vrd4::engine
