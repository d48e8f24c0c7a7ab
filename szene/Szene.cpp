// The scene: what stays, what drops out, the fillers that keep slot
// numbers, and the compaction to a snapshot.
#include "szene/Szene.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <future>
#include <system_error>
#include <type_traits>
#include <variant>

namespace vrd4::szene {

namespace {

using protocol::Befehl;
using protocol::Effekt;
using protocol::Felder;
using protocol::SlotWirkung;

constexpr int kSlots = 10;
constexpr Felder kText(u"Textausgabe");
constexpr Felder kRechteck(u"Rechteck");
constexpr Felder kLinie(u"Linie");

// An area of the board: inclusive corners, 1-based, x1 <= x2, y1 <= y2.
struct Feld {
  int x1, y1, x2, y2;
  bool enthaelt(const Feld& f) const { return x1 <= f.x1 && y1 <= f.y1 && f.x2 <= x2 && f.y2 <= y2; }
};

Feld geordnet(const protocol::Rechteck& r, int rand = 0) {
  return {std::min(r.Xstart, r.Xende) - rand, std::min(r.Ystart, r.YEnde) - rand,
          std::max(r.Xstart, r.Xende) + rand, std::max(r.Ystart, r.YEnde) + rand};
}

bool heisst(const Befehl& b, std::u16string_view name) { return b.spec->name == name; }

// A still text: one that may not turn into a scrolling text.
bool stillerText(const Befehl& b) {
  return heisst(b, u"Textausgabe") && !b.get<bool>(kText[u"LauftextbeiBedarf"]);
}

// Where a drawing command may change pixels; nullopt: unknown or anywhere.
std::optional<Feld> beruehrt(const Befehl& b) {
  const auto r = protocol::feldRechteck(b);
  if (!r) return std::nullopt;  // BildAnzeigen: the whole board
  if (heisst(b, u"Linie")) return geordnet(*r, std::max<int>(1, b.get<int16_t>(kLinie[u"Linienbreite"])));
  if (heisst(b, u"Rechteck"))
    return geordnet(*r, b.get<bool>(kRechteck[u"Fuellen"])
                            ? 0
                            : std::max<int>(1, b.get<int16_t>(kRechteck[u"Linienbreite"])));
  if (stillerText(b)) {
    // A field lower than its text grows downwards; twice the font's pixel
    // size is more than any line of it needs.
    Feld f{r->Xstart, r->Ystart, std::max(r->Xstart, r->Xende), std::max(r->Ystart, r->YEnde)};
    f.y2 = std::max(f.y2, f.y1 + 2 * std::abs(int(b.get<int16_t>(kText[u"SchriftgroesseinPixel"]))));
    return f;
  }
  if (b.spec->istBildbefehl() && b.spec->effekt == Effekt::Keiner) return geordnet(*r);  // never leaves its field
  return std::nullopt;
}

// What a command paints over completely.
std::optional<Feld> deckt(const Befehl& b) {
  const auto r = protocol::feldRechteck(b);
  if (!r || r->Xstart > r->Xende || r->Ystart > r->YEnde) return std::nullopt;
  if (heisst(b, u"Rechteck") && b.get<bool>(kRechteck[u"Fuellen"])) return geordnet(*r);
  if (stillerText(b) && !b.get<bool>(kText[u"Transparent"])) return geordnet(*r);
  return std::nullopt;
}

bool gleicheSchrift(const Befehl& a, const Befehl& b) {
  for (const std::size_t i : {kText[u"Schriftart"], kText[u"SchriftgroesseinPixel"], kText[u"Fett"], kText[u"Kursiv"]})
    if (a.werte[i] != b.werte[i]) return false;
  return true;
}

struct Eintrag {
  Befehl befehl;
  std::shared_ptr<const std::vector<uint8_t>> bild;
  int bildBreite = -1, bildHoehe = -1;  // the picture's pixel size; -1 unread
  std::size_t zeichen = 0;
  Effekt art = Effekt::Keiner;  // the kind of slot it took
  uint8_t slot = 0;
  uint64_t id = 0;          // of an effect that took a slot
  uint64_t gehoertZu = 0;   // AniGifStarten/AniGifStoppen: the effect it controls
  bool ausstehend = false;  // the snapshot whose bytes the worker still makes

  bool istZeichnung() const {
    if (art != Effekt::Keiner) return false;
    return heisst(befehl, u"Linie") || heisst(befehl, u"Rechteck") || stillerText(befehl) ||
           heisst(befehl, u"BildAnzeigen") || heisst(befehl, u"BildAnzeigenanPosition");
  }
};

// True when c, drawn after a, leaves nothing of a on the board.
bool uebermalt(const Eintrag& c, const Eintrag& a) {
  if (!a.istZeichnung() || !c.istZeichnung()) return false;
  const Befehl& cb = c.befehl;
  const Befehl& ab = a.befehl;
  if (cb.spec->istBildbefehl() && cb.spec == ab.spec) {
    // The same field, switches and pixel size give the same painted area.
    const auto pfad = static_cast<std::size_t>(cb.spec->index(protocol::Rolle::Bild));
    for (std::size_t i = 0; i < cb.werte.size(); ++i)
      if (i != pfad && cb.werte[i] != ab.werte[i]) return false;
    return c.bildBreite > 0 && c.bildBreite == a.bildBreite && c.bildHoehe == a.bildHoehe;
  }
  const auto decke = deckt(cb);
  if (!decke) return false;
  if (stillerText(cb) && stillerText(ab) && protocol::feldRechteck(cb) == protocol::feldRechteck(ab) &&
      gleicheSchrift(cb, ab))
    return true;  // grows downwards exactly as far as the new one
  const auto spur = beruehrt(ab);
  return spur && decke->enthaelt(*spur);
}

std::u16string textVon(const Eintrag& e) {
  return protocol::weiterleitungstext(e.befehl, e.bild ? std::span<const uint8_t>(*e.bild) : std::span<const uint8_t>());
}

// The length of a value as schreibeWert writes it, without writing it.
std::size_t laengeVon(const protocol::Wert& w) {
  if (const auto* s = std::get_if<std::u16string>(&w)) return s->size();
  if (std::holds_alternative<double>(w) || std::holds_alternative<bool>(w)) return protocol::schreibeWert(w).size();
  const auto ganz = std::visit(
      [](const auto& x) -> int64_t {
        if constexpr (std::is_integral_v<std::decay_t<decltype(x)>>) return int64_t(x);
        return 0;
      },
      w);
  std::array<char, 24> ziffern;
  return std::size_t(std::to_chars(ziffern.data(), ziffern.data() + ziffern.size(), ganz).ptr - ziffern.data());
}

// The length of its catch-up line: "Befehl", the name and every value, one
// separator between each two; a picture's line has all its fields.
std::size_t zeichenVon(const Befehl& b, std::size_t bildBytes) {
  const std::size_t felder = 2 + b.werte.size();
  std::size_t n = felder - 1 + protocol::kBefehl.size() + b.spec->name.size();
  for (const auto& w : b.werte) n += laengeVon(w);
  if (b.spec->istBildbefehl()) n += (protocol::kWeiterleitungsfelder - felder) + 2 * bildBytes;
  else if (b.spec->leeresEndfeld) n += 1;
  return n;
}

// The smallest GIF: one transparent pixel. A filler animation shows nothing.
constexpr std::array<uint8_t, 43> kLeeresGif = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00,
    0x00, 0xFF, 0xFF, 0xFF, 0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
// Far off the board, where no sending program puts a field: a filler never
// lands on a real text's rectangle (which would delete that text), and each
// slot's filler has a place of its own (else the next would delete it).
constexpr int kFuellerOrt = 30001;

std::u16string fueller(Effekt art, int slot) {
  using protocol::Befehlsbauer;
  const auto feld = [x = kFuellerOrt + 2 * slot](Befehlsbauer& b) -> Befehlsbauer& {
    return b.ganz(x).ganz(kFuellerOrt).ganz(x).ganz(kFuellerOrt);
  };
  const auto schrift = [](Befehlsbauer& b) -> Befehlsbauer& {
    b.text(u"Arial").ganz(10).janein(false).janein(false).janein(false).janein(false);
    return b.janein(true).ganz(0).ganz(0);
  };
  switch (art) {
    case Effekt::Blinktext: {
      Befehlsbauer b(u"Blinktext");
      feld(b).text(u" ").ganz(0);
      return schrift(b).zahl(1).text();
    }
    case Effekt::Lauftext: {
      Befehlsbauer b(u"Lauftext");
      feld(b).text(u" ");
      return schrift(b).zahl(1).zahl(0).text();
    }
    default: {
      Befehlsbauer b(u"AniGifLadenanPosition");
      b.text(u"Fueller.gif");
      feld(b).janein(false).janein(false);
      return protocol::weiterleitungsform(protocol::zerlegen(b.text()), kLeeresGif);
    }
  }
}

std::u16string loeschen(Effekt art, int slot) {
  const char16_t* name = art == Effekt::Blinktext ? u"BlinktextLoeschen"
                         : art == Effekt::Lauftext ? u"LauftextLoeschen"
                                                   : u"AniGifLoeschen";
  return protocol::Befehlsbauer(name).ganz(slot).text();
}

std::pair<int, int> bildgroesse(std::span<const uint8_t> bytes) {
  QByteArray daten = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
  QBuffer puffer(&daten);
  puffer.open(QIODevice::ReadOnly);
  QImageReader leser(&puffer);
  const QSize s = leser.size();
  return s.isValid() ? std::pair{s.width(), s.height()} : std::pair{-1, -1};
}

}  // namespace

struct Szene::Impl {
  Aufnahme aufnahme;
  // The snapshot's encoding while it runs (the entry marked ausstehend
  // waits for its bytes). Destroying it waits for the worker.
  std::future<std::vector<uint8_t>> kodierung;
  std::vector<Eintrag> eintraege;
  // Per kind of effect and slot (1..10): the id of the effect holding it.
  std::array<std::array<uint64_t, kSlots + 1>, 4> belegt{};
  uint64_t naechsteId = 1;
  std::size_t zeichen = 0;
  std::size_t schwelle = kMaxZeichen;
  bool unvollstaendig = false;

  uint64_t& inhaber(Effekt art, int slot) {
    return belegt[static_cast<std::size_t>(art)][static_cast<std::size_t>(slot)];
  }

  template <typename Pred>
  void entfernenWenn(Pred weg) {
    std::erase_if(eintraege, [&](const Eintrag& e) {
      if (!weg(e)) return false;
      zeichen -= e.zeichen;
      return true;
    });
  }
  // An effect leaves with the commands that control it.
  void effektEntfernen(Effekt art, int slot) {
    const uint64_t id = std::exchange(inhaber(art, slot), 0);
    if (id != 0) entfernenWenn([id](const Eintrag& e) { return e.id == id || e.gehoertZu == id; });
  }
  void anhaengen(Eintrag e) {
    zeichen += e.zeichen;
    eintraege.push_back(std::move(e));
  }
  int ersterFreier(Effekt art) {
    for (int n = 1; n <= kSlots; ++n)
      if (inhaber(art, n) == 0) return n;
    return 0;
  }
  void kompaktieren();
  void einholen(bool warten);
};

Szene::Szene(Aufnahme aufnahme) : d(std::make_unique<Impl>()) { d->aufnahme = std::move(aufnahme); }

Szene::Szene(Schnappschuss schnappschuss)
    : Szene(schnappschuss ? Aufnahme([s = std::move(schnappschuss)]() -> Kodierung { return [b = s()] { return b; }; })
                          : Aufnahme()) {}

Szene::~Szene() = default;

void Szene::leeren() {
  auto a = std::move(d->aufnahme);
  d = std::make_unique<Impl>();
  d->aufnahme = std::move(a);
}

std::size_t Szene::anzahl() const {
  d->einholen(true);
  return d->eintraege.size();
}
std::size_t Szene::zeichen() const {
  d->einholen(true);
  return d->zeichen;
}
bool Szene::unvollstaendig() const {
  d->einholen(true);
  return d->unvollstaendig;
}

void Szene::aufnehmen(const protocol::Befehl& befehl, std::span<const uint8_t> bildBytes,
                      std::optional<uint8_t> antwortNr) {
  if (!befehl.spec->istBildbefehl() || befehl.spec->nurOertlich || befehl.spec->leertTafel)
    return aufnehmen(befehl, std::shared_ptr<const std::vector<uint8_t>>(), antwortNr);
  aufnehmen(befehl, std::make_shared<const std::vector<uint8_t>>(bildBytes.begin(), bildBytes.end()), antwortNr);
}

void Szene::aufnehmen(const protocol::Befehl& befehl, std::shared_ptr<const std::vector<uint8_t>> bildGeteilt,
                      std::optional<uint8_t> antwortNr) {
  const protocol::BefehlsSpec& spec = *befehl.spec;
  if (spec.nurOertlich) return;
  if (spec.leertTafel) return leeren();

  Eintrag e;
  e.befehl = befehl;
  const bool bild = spec.istBildbefehl();
  if (bild && !bildGeteilt) bildGeteilt = std::make_shared<const std::vector<uint8_t>>();
  e.zeichen = zeichenVon(befehl, bild ? bildGeteilt->size() : 0);
  if (bild) {
    e.bild = std::move(bildGeteilt);
    std::tie(e.bildBreite, e.bildHoehe) = bildgroesse(*e.bild);
  }

  const auto slot = protocol::effektSlot(befehl);
  if (slot && slot->wirkung == SlotWirkung::Gibtfrei) {
    if (slot->nr >= 1 && slot->nr <= kSlots) d->effektEntfernen(slot->art, slot->nr);
    return;
  }
  if (slot && slot->wirkung == SlotWirkung::Steuert) {
    if (slot->nr < 1 || slot->nr > kSlots) return;
    const uint64_t id = d->inhaber(slot->art, slot->nr);
    if (id == 0) return;  // controls nothing
    // A start counts from itself on; a stop keeps the start before it.
    d->entfernenWenn([&](const Eintrag& x) {
      return x.gehoertZu == id && (heisst(befehl, u"AniGifStarten") || x.befehl.spec == befehl.spec);
    });
    e.gehoertZu = id;
    d->anhaengen(std::move(e));
  } else if (slot || (heisst(befehl, u"Textausgabe") && antwortNr.value_or(0) > 0)) {
    // Takes a slot: the receiver's number, or the first free one.
    const Effekt art = slot ? slot->art : Effekt::Lauftext;
    const int nr = antwortNr ? *antwortNr : d->ersterFreier(art);
    if (nr < 1 || nr > kSlots) return;  // none taken: nothing shows
    d->effektEntfernen(art, nr);
    e.art = art;
    e.slot = static_cast<uint8_t>(nr);
    e.id = d->naechsteId++;
    d->inhaber(art, nr) = e.id;
    // The receiver deletes an older one of its kind on the same rectangle
    // once the new one has its slot.
    for (int n = 1; n <= kSlots; ++n) {
      if (n == nr) continue;
      const uint64_t alt = d->inhaber(art, n);
      const auto it = std::ranges::find(d->eintraege, alt, &Eintrag::id);
      if (alt != 0 && it != d->eintraege.end() && protocol::ersetzt(befehl, it->befehl)) d->effektEntfernen(art, n);
    }
    d->anhaengen(std::move(e));
  } else if (heisst(befehl, u"Tafelgroesse")) {
    d->entfernenWenn([](const Eintrag& x) { return heisst(x.befehl, u"Tafelgroesse"); });
    d->anhaengen(std::move(e));
  } else {
    if (heisst(befehl, u"Hintergrundfarbe") || heisst(befehl, u"Vordergrundfarbe")) {
      // Two colours in a row: the later one is all that counts.
      if (!d->eintraege.empty() && d->eintraege.back().befehl.spec == befehl.spec) {
        d->zeichen -= d->eintraege.back().zeichen;
        d->eintraege.pop_back();
      }
    } else if (e.istZeichnung() && (bild || deckt(befehl))) {
      // A background colour shows only while nothing has been drawn since
      // Cls: what was drawn before one stays, or the replay would show it.
      const auto farbe = std::ranges::find_if(d->eintraege.rbegin(), d->eintraege.rend(), [](const Eintrag& x) {
        return heisst(x.befehl, u"Hintergrundfarbe");
      });
      const Eintrag* grenze = farbe == d->eintraege.rend() ? nullptr : &*farbe;
      bool davor = grenze != nullptr;
      d->entfernenWenn([&](const Eintrag& x) {
        if (&x == grenze) davor = false;
        return !davor && uebermalt(e, x);
      });
    }
    d->anhaengen(std::move(e));
  }

  d->einholen(false);
  const auto zuViel = [this] { return d->eintraege.size() > kMaxBefehle || d->zeichen > d->schwelle; };
  if (zuViel()) {
    d->einholen(true);  // the snapshot's size may lift the bound
    if (zuViel()) d->kompaktieren();
  }
}

// Takes the snapshot's bytes once the worker has made them (warten: waits).
void Szene::Impl::einholen(bool warten) {
  if (!kodierung.valid()) return;
  if (!warten && kodierung.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
  std::vector<uint8_t> bild = kodierung.get();
  // Only a compaction or Cls drops the snapshot, and both wait for it first.
  const auto e = std::ranges::find_if(eintraege, &Eintrag::ausstehend);
  if (e == eintraege.end()) return;
  if (bild.empty()) {
    unvollstaendig = true;
    eintraege.erase(e);
    return;
  }
  e->ausstehend = false;
  e->zeichen = zeichenVon(e->befehl, bild.size());
  std::tie(e->bildBreite, e->bildHoehe) = bildgroesse(bild);
  e->bild = std::make_shared<const std::vector<uint8_t>>(std::move(bild));
  zeichen += e->zeichen;
  schwelle = std::max(kMaxZeichen, 2 * zeichen);
}

void Szene::Impl::kompaktieren() {
  einholen(true);
  std::vector<Eintrag> alt = std::move(eintraege);
  eintraege.clear();
  eintraege.reserve(alt.capacity());  // it fills up again as fast
  zeichen = 0;
  // The last of each setting, in the order they ran.
  for (std::size_t i = 0; i < alt.size(); ++i) {
    const auto* spec = alt[i].befehl.spec;
    if (spec->name != u"Tafelgroesse" && spec->name != u"Hintergrundfarbe" && spec->name != u"Vordergrundfarbe")
      continue;
    const bool spaeterNochmal = std::any_of(alt.begin() + std::ptrdiff_t(i) + 1, alt.end(),
                                            [&](const Eintrag& x) { return x.befehl.spec == spec; });
    if (!spaeterNochmal) anhaengen(alt[i]);
  }
  Kodierung arbeit = aufnahme ? aufnahme() : Kodierung();
  unvollstaendig = !arbeit;
  if (arbeit) {
    constexpr Felder f(u"BildAnzeigen");
    Befehl b;
    b.spec = &f.spec();
    b.werte.resize(f.spec().parameter.size());
    b.werte[f[u"BildnamemitPfad"]] = std::u16string(u"Szene");
    b.werte[f[u"GroesseAnpassen"]] = true;
    b.werte[f[u"BeiKleinerZentrieren"]] = false;
    Eintrag e;
    e.befehl = std::move(b);
    e.ausstehend = true;  // its size counts once einholen has its bytes
    anhaengen(std::move(e));
    auto sicher = [a = std::move(arbeit)] {
      try {
        return a();
      } catch (...) {
        return std::vector<uint8_t>{};  // no picture: the scene says it is incomplete
      }
    };
    try {
      kodierung = std::async(std::launch::async, sicher);
    } catch (const std::system_error&) {
      kodierung = std::async(std::launch::deferred, sicher);  // no thread to be had: made when asked for
    }
  }
  for (Eintrag& e : alt)
    if (e.id != 0 || e.gehoertZu != 0) anhaengen(std::move(e));
  schwelle = std::max(kMaxZeichen, 2 * zeichen);
}

std::vector<std::u16string> Szene::befehle() const {
  d->einholen(true);
  std::vector<std::u16string> zeilen{protocol::Befehlsbauer(u"Cls").text()};
  zeilen.reserve(d->eintraege.size() + 1);
  // What the replay's slots hold: 0 free, 1 a kept effect, 2 a filler.
  std::array<std::array<uint8_t, kSlots + 1>, 4> stand{};
  for (const Eintrag& e : d->eintraege) {
    if (e.id != 0) {
      // The replay must give this one its slot (the lowest free, as the
      // receiver picks it): every slot below taken, its own free.
      auto& s = stand[static_cast<std::size_t>(e.art)];
      if (s[e.slot] == 2) {
        zeilen.push_back(loeschen(e.art, e.slot));
        s[e.slot] = 0;
      }
      for (int n = 1; n < e.slot; ++n)
        if (s[std::size_t(n)] == 0) {
          zeilen.push_back(fueller(e.art, n));
          s[std::size_t(n)] = 2;
        }
      s[e.slot] = 1;
    }
    zeilen.push_back(textVon(e));
  }
  for (const Effekt art : {Effekt::Blinktext, Effekt::Lauftext, Effekt::AniGif})
    for (int n = 1; n <= kSlots; ++n)
      if (stand[static_cast<std::size_t>(art)][std::size_t(n)] == 2) zeilen.push_back(loeschen(art, n));
  return zeilen;
}

}  // namespace vrd4::szene
