#pragma once
// The scene of a board: the commands since the last Cls that still shape what
// the board shows, kept so that another board can be brought to the same
// picture (a forwarding peer after a reconnect, a screen that joins late).
//
// How the owner uses it (the engine or the window, on the GUI thread):
//   Szene szene([&] { return pngVon(picVRD4Empfang.image()); });
//   // after every command that ran on the board, with the picture bytes it
//   // drew from and, where known, the slot number the receiver replied:
//   szene.aufnehmen(befehl, bildbytes, antwortNr);
//   // a peer that (re)connects gets these lines, then the live commands:
//   for (const auto& zeile : szene.befehle()) peer.sendData(zeile);
//
// What drops out:
//  - commands that act on the receiving program only (nurOertlich);
//  - everything before a Cls;
//  - a drawing wholly painted over later: a filled Rechteck, or an opaque
//    Textausgabe without LauftextbeiBedarf, covers what lies inside its
//    field; an earlier Textausgabe on the same field counts as inside when
//    its font and size are the same; a picture covers an earlier picture on
//    the same field with the same switches and the same pixel size;
//  - a blinking/scrolling text or animation once it is deleted
//    (BlinktextLoeschen, LauftextLoeschen, AniGifLoeschen, a new text of its
//    kind on the same rectangle, see protocol::ersetzt), with its
//    AniGifStarten/AniGifStoppen; a start drops the controls of its
//    animation before it, a stop the stops before it;
//  - a Tafelgroesse before the last one, and a Hintergrundfarbe or
//    Vordergrundfarbe directly followed by another of its name.
// Everything else stays in the order it ran.
//
// Slot numbers. The receiver gives a new effect the lowest free slot of its
// kind, and later commands name that number. The scene keeps every effect's
// number; when the catch-up is written, a live effect whose number the
// replay would not give by itself (a deleted effect left a gap below it) is
// preceded by fillers: an invisible effect of its kind takes each free slot
// below it, and every filler is deleted again (a filler standing on the very
// slot is deleted first), all before the catch-up ends. A replayed board
// therefore ends with exactly the same slots taken under the same numbers,
// and a later "BlinktextLoeschen 3" hits the same text on both boards.
// Without a reply number the scene counts the slots itself (first free, a
// command that finds none takes none); a Textausgabe that turned into a
// scrolling text because it did not fit takes a slot only the receiver
// knows: pass that number (antwortNr) so the numbering stays right.
//
// Bounds: at most kMaxBefehle commands and kMaxZeichen characters of
// catch-up text (a picture counts its hex form, two characters a byte; held
// in memory as bytes). Past either the scene compacts: Cls, the last
// Tafelgroesse, Hintergrundfarbe and Vordergrundfarbe, one BildAnzeigen
// carrying the board's picture from the snapshot function, then the live
// effects with their controls, in their order. A snapshot larger than half
// the character bound moves the next compaction out to twice the size after
// this one, so a large board does not compact on every command. A snapshot
// function that returns nothing drops the still drawing (unvollstaendig()
// says so until the next Cls).
//
// Not thread-safe; no outside input (the commands were parsed already).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/Befehl.h"

namespace vrd4::szene {

class Szene {
 public:
  static constexpr std::size_t kMaxBefehle = 4000;
  static constexpr std::size_t kMaxZeichen = 8u << 20;  // 8 Mi characters ≈ 8 MiB as sent

  // Returns the board's own image (without the effect controls over it,
  // e.g. Surface::image()) as PNG or BMP bytes, at the board's size.
  using Schnappschuss = std::function<std::vector<uint8_t>()>;
  explicit Szene(Schnappschuss schnappschuss);
  ~Szene();
  Szene(const Szene&) = delete;
  Szene& operator=(const Szene&) = delete;

  // Call after befehl has run on the board. bildBytes: the picture the
  // command drew from (picture commands; copied). antwortNr: the slot number
  // the receiver replied for a command that takes a slot (0: none taken),
  // or the scrolling slot a Textausgabe took; nullopt: the scene counts.
  // May call the snapshot function (compaction).
  void aufnehmen(const protocol::Befehl& befehl, std::span<const uint8_t> bildBytes = {},
                 std::optional<uint8_t> antwortNr = std::nullopt);

  // The catch-up, one command text each, Cls first, in the forwarded form
  // (pictures carry their bytes as hex): send as-is, one per line.
  std::vector<std::u16string> befehle() const;

  // As after a Cls.
  void leeren();

  std::size_t anzahl() const;  // commands kept (without the leading Cls and fillers)
  std::size_t zeichen() const; // their catch-up characters
  bool unvollstaendig() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace vrd4::szene
