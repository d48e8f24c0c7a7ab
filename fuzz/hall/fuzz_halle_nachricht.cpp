// Any payload on a hall's command or scene topic: it reads or is refused,
// never crashes, never holds more than it was given, and what reads writes
// back to a payload that reads the same, and its head reads as the whole
// does. Then the subscriber's order over the commands read: nothing runs
// twice within a run, never below the last one drawn nor past its window.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "hall/Folge.h"
#include "hall/Nachricht.h"

using namespace vrd4::halle;

namespace {
void pruefe(bool bedingung) {
  if (!bedingung) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > (std::size_t{1} << 20)) return 0;  // the bounds are checked with their constants, not by size
  const std::string_view payload(reinterpret_cast<const char*>(data), size);
  if (const auto b = befehlLesen(payload)) {
    pruefe(b->befehl.text.size() + b->befehl.bild.size() <= size);
    const auto zurueck = befehlLesen(befehlSchreiben(b->lauf, b->seq, b->befehl.text, b->befehl.bild));
    pruefe(zurueck && zurueck->seq == b->seq && zurueck->lauf == b->lauf && zurueck->befehl.bild == b->befehl.bild);
  }
  if (const auto k = kopfLesen(payload)) pruefe(k->inhalt <= size);
  if (const auto s = szeneLesen(payload)) {
    const auto k = kopfLesen(payload);
    pruefe(k && k->art == 'S' && k->lauf == s->lauf && k->seq == s->seq);
    pruefe(s->befehle.size() <= kMaxSzeneBefehle);
    const auto zurueck = szeneLesen(szeneSchreiben(s->lauf, s->seq, s->befehle));
    pruefe(zurueck && zurueck->seq == s->seq && zurueck->befehle.size() == s->befehle.size());
  }
  // The bytes as a stream of (kind, run, seq, content) events for the
  // order; a high bit makes the number jump far (towards 2^64).
  Folge f;
  uint64_t zuletzt = 0, lauf = 0;
  for (std::size_t i = 0; i + 2 < size; i += 3) {
    const uint64_t l = data[i + 1] & 1;
    const uint64_t seq = data[i + 1] & 0x80 ? ~uint64_t{0} - data[i + 2] : data[i + 2];
    if (data[i] & 1) {
      BefehlsNachricht n;
      n.lauf = l;
      n.seq = seq;
      n.pruefsumme = data[i] >> 6;
      const auto r = f.befehl(std::move(n));
      for (const auto& b : r.laufen) {
        pruefe(b.lauf != lauf || (b.seq > zuletzt && b.seq - zuletzt <= Folge::kFenster));
        lauf = b.lauf;
        zuletzt = b.seq;
      }
    } else if (const auto r = f.szene(l, seq); r.urteil == Folge::Urteil::Gezeichnet) {
      lauf = l;
      zuletzt = seq;
      for (const auto& b : r.laufen) {
        pruefe(b.lauf == lauf && b.seq == zuletzt + 1);
        zuletzt = b.seq;
      }
    } else {
      pruefe(r.laufen.empty());
    }
    pruefe(f.wartend() <= Folge::kMaxWartend && f.letzte() == zuletzt);
  }
  return 0;
}
