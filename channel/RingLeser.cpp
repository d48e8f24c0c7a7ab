#include "channel/RingLeser.h"

#include "channel/modVRD4GlobaleVariablen.h"
#include "support/Numbers.h"

namespace vrd4::channel {
namespace gv = modVRD4GlobaleVariablen;
namespace {

constexpr int32_t kRing = gv::kAnzahlSendetexte;

int32_t danach(int32_t slot) { return slot >= kRing - 1 ? 0 : slot + 1; }
int32_t davor(int32_t slot) { return slot <= 0 ? kRing - 1 : slot - 1; }

bool istBefehl(std::u16string_view text) { return text.starts_with(u"Befehl"); }

}  // namespace

RingLeser::Fund RingLeser::naechster(bool nurBefehl) {
  const int32_t j = lesezeiger_;
  // An idle receiver looks a hundred times a second; raw looks without the
  // lock tell that neither our slot, nor the counter, nor the slot it names
  // has changed since we decided to wait.
  if (wartet_ && unveraendert(stand_)) return {Art::Warten, j, {}};
  wartet_ = false;

  std::u16string text = gv::Sendetexte(j).GetMemory();
  if (istBefehl(text)) {
    genommen_ = j;
    lesezeiger_ = danach(j);
    return {Art::Befehl, j, std::move(text)};
  }
  const bool leer = text.empty();
  if (!leer && nurBefehl) return {Art::Warten, j, {}};
  if (weitergehen(j, leer)) {
    lesezeiger_ = danach(j);
    return {leer ? Art::Leer : Art::Fremdtext, j, std::move(text)};
  }
  if (!leer) return {Art::Fremdtext, j, std::move(text)};
  wartet_ = true;
  stand_.slot = j;
  return {Art::Warten, j, {}};
}

std::optional<RingLeser::Stand> RingLeser::wartestand() const {
  if (!wartet_) return std::nullopt;
  return stand_;
}

bool RingLeser::unveraendert(const Stand& s) {
  return gv::Sendetexte(s.slot).peekLength() == 0 && gv::clsVRD4LetzteGesendete().peekEquals(s.gesendetText) &&
         gv::Sendetexte(s.gesendet).peekLength() == 0;
}

bool RingLeser::weitergehen(int32_t j, bool leer) {
  // The counter is read after the slot: a text the sender put into our slot
  // before it wrote the counter is then seen again below, never walked over.
  // A value outside 0..99 (a foreign or damaged counter) names no slot: we
  // walk on, one lap per step, rather than wait for a counter the sender
  // may never correct.
  stand_.gesendetText = gv::clsVRD4LetzteGesendete().GetMemory();
  stand_.gesendet = leadingInt(stand_.gesendetText);
  const int32_t L = stand_.gesendet;
  // Named last but not (or no longer) holding a command: the fresh ring, or
  // a foreign text the sender named.
  if (L == j) return false;
  if (L == davor(j) || (L == davor(davor(j)) && genommen_ == davor(j))) {
    // Everything sent has been taken - unless the named slot holds text
    // again, which only a sender that began again behind us writes.
    return !gv::Sendetexte(L).GetMemory().empty();
  }
  // The sender went on elsewhere; walk, but not over a slot it has just filled.
  return !leer || gv::Sendetexte(j).GetMemory().empty();
}

}  // namespace vrd4::channel
