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
//   for (const auto& zeile : szene.befehle()) peer.senden(zeile);
//
// What drops out (the full table is in docs/scene.md): commands that act on
// the program only (nurOertlich); everything before a Cls; a drawing painted
// over wholly by a later one (a filled Rechteck, an opaque still
// Textausgabe, a picture of the same pixel size on the same field), unless
// a Hintergrundfarbe lies between them; an effect once deleted or replaced
// on the same rectangle (protocol::ersetzt), with its AniGifStarten/Stoppen;
// settings overridden at once. Everything else stays in the order it ran.
//
// Slot numbers. The receiver gives a new effect the lowest free slot of its
// kind and later commands name that number. The scene keeps each live
// effect's number; where a deleted effect left a gap below one, the
// catch-up puts invisible fillers (far off the board) into the free slots
// below it and deletes them again before it ends, so the replayed board
// holds the same effects under the same numbers. The scene counts slots
// itself (first free; none free: nothing taken) unless given the reply: a
// Textausgabe that turned into a scrolling text takes a slot only the
// receiver knows, so pass that number as antwortNr.
//
// Bounds: kMaxBefehle commands, kMaxZeichen characters of catch-up text (a
// picture counts its hex form, two characters a byte; it is held as bytes).
// Past either the scene compacts to Cls, the last Tafelgroesse,
// Hintergrundfarbe and Vordergrundfarbe, one BildAnzeigen of the snapshot,
// and the live effects with their controls in their order. After a
// compaction to more than half of kMaxZeichen (a large snapshot) the next
// waits until the scene has doubled. A snapshot function that returns
// nothing drops the still drawing; unvollstaendig() says so until Cls.
//
// The snapshot's encoding runs on a worker thread while commands go on;
// its size counts from when it is done. Whatever reads the scene (befehle(),
// anzahl(), zeichen(), unvollstaendig()), the next compaction, Cls and the
// destructor wait for it: the catch-up always holds the picture as it was
// at the compaction, followed by the commands since.
//
// Not thread-safe (the owner's thread only); no outside input (the commands
// were parsed already).
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
  // The same in two steps: Aufnahme runs on the owner's thread and returns
  // the encoding (empty: no picture), which runs on a worker thread and so
  // must own what it reads (a copy of the image, not the live board).
  using Kodierung = std::function<std::vector<uint8_t>()>;
  using Aufnahme = std::function<Kodierung()>;
  explicit Szene(Aufnahme aufnahme);
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
  // The same with the picture's bytes shared, not copied (a large file: a
  // copy would cost the board's thread its time).
  void aufnehmen(const protocol::Befehl& befehl, std::shared_ptr<const std::vector<uint8_t>> bild,
                 std::optional<uint8_t> antwortNr);

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
