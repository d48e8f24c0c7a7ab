// Any text a peer might send, through the splitter and the conversions of
// the command rows. Nothing may crash or leak; a text that converts must
// build again and convert to the same values.
#include <cstddef>
#include <cstdint>

#include "Eingabe.h"
#include "protocol/Befehl.h"
#include "protocol/Hex.h"

using namespace vrd4::protocol;
using vrd4::fuzz::pruefe;

namespace {

void nachBauen(const BefehlsSpec& spec, const Befehl& b) {
  const std::u16string text = bauen(spec.name, b.werte);
  const auto felder = zerlegen(text);
  pruefe(static_cast<int>(felder.size()) == spec.feldanzahl());
  pruefe(konvertieren(spec, felder).werte == b.werte);
  // The board queries read only what the row promises.
  pruefe(feldRechteck(b).has_value() == (spec.index(Rolle::Rechteck) >= 0));
  pruefe(effektSlot(b).has_value() == (spec.effekt != Effekt::Keiner));
  pruefe(ersetzt(b, b) == (spec.ersetztGleicheStelle || spec.leertTafel));
}

void einzelneFelder(const std::u16string& feld) {
  try { leseInt16(feld, u"X", 2); } catch (const FeldFehler& e) { pruefe(e.position() == 2); }
  try { leseInt32(feld); } catch (const FeldFehler& e) { pruefe(e.text() == feld); }
  try { leseByte(feld); } catch (const FeldFehler& e) { pruefe(e.what()[0] != '\0'); }
  try { leseBool(feld); } catch (const FeldFehler&) {}
  const double d = leseDouble(feld);
  pruefe(leseDouble(schreibeDouble(d)) == d);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::u16string text = vrd4::fuzz::alsText(data, size);
  pruefe(istBefehl(text) == text.starts_with(u"Befehl"));
  const auto felder = zerlegen(text);
  pruefe(zusammenfuegen(felder) == text);

  einzelneFelder(felder.back());

  // The row the text names; for any other text a row picked by the first
  // byte, so that every row meets every kind of garbage. One row per input
  // keeps the rate up (each refused field costs an exception).
  const auto& tabelle = befehlstabelle();
  const BefehlsSpec* spec = felder.size() >= 2 ? findeBefehl(felder[1]) : nullptr;
  if (spec == nullptr && size > 0) spec = &tabelle[(data[0] >> 1) % tabelle.size()];
  if (spec != nullptr) {
    try {
      nachBauen(*spec, konvertieren(*spec, felder));
    } catch (const FeldFehler& e) {
      pruefe(e.befehl() == spec->name);
      pruefe(e.position() >= 2 && e.position() < spec->feldanzahl());
    }
  }

  if (spec != nullptr && spec->istBildbefehl() && felder.size() >= 2 && spec->name == felder[1]) {
    const std::span<const uint8_t> datei(data, size);
    const auto weiter = zerlegen(weiterleitungsform(felder, datei));
    pruefe(weiter.size() == kWeiterleitungsfelder);
    const auto inhalt = static_cast<std::size_t>(spec->inhaltsfeld());
    pruefe(hexDekodieren(weiter[inhalt]) == std::vector<uint8_t>(datei.begin(), datei.end()));
  }
  return 0;
}
