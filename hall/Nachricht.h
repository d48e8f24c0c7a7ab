#pragma once
// The payloads on a hall's command and scene topics. Pure; std only.
//
//   command:  "VRD4H1 B <lauf> <seq> <textlen> <bildlen>\n" text bild
//   scene:    "VRD4H1 S <lauf> <seq> <anzahl>\n" then anzahl records
//             "<textlen> <bildlen>\n" text bild
// lauf: 16 hex digits naming one run of the publisher (sequence numbers
// count from 1 within it); seq: the number of the command (the scene: the
// last command it contains). text: the command text in UTF-8 with a
// picture's content field left empty; bild: the picture's bytes, raw (a
// quarter of the forwarded hex form's UTF-16 bytes and no hex work).
//
// Bounds: a payload longer than kMaxBefehlBytes / kMaxSzeneBytes is not
// read; a text over kMaxTextBytes, a picture over kMaxBildBytes or a scene
// of more than kMaxSzeneBefehle records is refused. Every refusal is a
// nullopt with nothing else changed.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vrd4::halle {

inline constexpr std::size_t kMaxTextBytes = std::size_t{4} << 20;
inline constexpr std::size_t kMaxBildBytes = std::size_t{32} << 20;
inline constexpr std::size_t kMaxBefehlBytes = 128 + kMaxTextBytes + kMaxBildBytes;
inline constexpr std::size_t kMaxSzeneBytes = std::size_t{64} << 20;
inline constexpr std::size_t kMaxSzeneBefehle = 10000;

struct Eintrag {
  std::string text;           // UTF-8, picture content field empty
  std::vector<uint8_t> bild;  // raw picture bytes (picture commands)
};

struct BefehlsNachricht {
  uint64_t lauf = 0;
  uint64_t seq = 0;
  Eintrag befehl;
  uint64_t pruefsumme = 0;  // inhaltsPruefsumme of the payload it was read from
};

struct SzenenNachricht {
  uint64_t lauf = 0;
  uint64_t seq = 0;
  std::vector<Eintrag> befehle;
};

std::string befehlSchreiben(uint64_t lauf, uint64_t seq, std::string_view text, std::span<const uint8_t> bild);
std::optional<BefehlsNachricht> befehlLesen(std::string_view payload);

std::string szeneSchreiben(uint64_t lauf, uint64_t seq, const std::vector<Eintrag>& befehle);
std::optional<SzenenNachricht> szeneLesen(std::string_view payload);

// The head of a command or scene payload, read without its records: the
// kind ('B' or 'S'), run and number, and where the records begin. nullopt
// for anything that does not start like one.
struct Kopf {
  char art = 0;
  uint64_t lauf = 0, seq = 0;
  std::size_t inhalt = 0;  // offset of the first record's bytes (a command: its text)
};
std::optional<Kopf> kopfLesen(std::string_view payload);

// A 64-bit checksum of bytes, to tell two payloads apart (not against a
// forger who aims at a collision: that is the broker's ACL's job).
uint64_t pruefsumme(std::string_view bytes, uint64_t start = 0x9E3779B97F4A7C15u);
// The checksum of what a command carries (text and picture), the same on
// every side: of the payload's bytes after its head; 0 when there is none.
uint64_t inhaltsPruefsumme(std::string_view payload);

std::string laufText(uint64_t lauf);  // 16 lower-case hex digits
std::optional<uint64_t> laufLesen(std::string_view text);

// A random run id, never 0 (/dev/urandom, else the time).
uint64_t neuerLauf();
// A process's id for its status and client id: 16 hex digits, random.
std::string neueKennung();

}  // namespace vrd4::halle
