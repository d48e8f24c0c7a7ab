// The scene against the real engine: a board built from the original
// commands and one built from the scene's catch-up must show the same, and
// go on the same under later commands that name slots.
#include <QBuffer>
#include <QImage>

#include "protocol/Hex.h"
#include "render/Blinktexte.h"
#include "render/Lauftexte.h"
#include "szene/Szene.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/gif/GifSchreiber.h"

namespace vrd4::szene {
namespace {

using engine::test::befehl;
using protocol::Befehlsbauer;
using Zeilen = std::vector<std::u16string>;

Befehlsbauer& feld(Befehlsbauer& b, int x1, int y1, int x2, int y2) { return b.ganz(x1).ganz(y1).ganz(x2).ganz(y2); }
// A text of kind art (Textausgabe, Blinktext, Lauftext) in 20-pixel Arial.
std::u16string effekt(std::u16string_view art, int x1, int y1, int x2, int y2, std::u16string_view t,
                      bool transparent = false, bool laufenWennZuLang = false) {
  Befehlsbauer b(art);
  feld(b, x1, y1, x2, y2).text(t);
  if (art != u"Lauftext") b.ganz(0);
  b.text(u"Arial").ganz(20).janein(false).janein(false).janein(false).janein(false).janein(transparent)
      .ganz(0xFFFFFF).ganz(0x800000);
  if (art == u"Textausgabe") b.janein(laufenWennZuLang).zahl(1).zahl(0);
  return (art == u"Blinktext" ? b.zahl(0.5) : art == u"Lauftext" ? b.zahl(2).zahl(0) : b).text();
}
std::u16string text(int x1, int y1, int x2, int y2, std::u16string_view t, bool transparent = false, bool laufen = false) {
  return effekt(u"Textausgabe", x1, y1, x2, y2, t, transparent, laufen);
}
std::u16string blink(int x1, int y1, int x2, int y2, std::u16string_view t) { return effekt(u"Blinktext", x1, y1, x2, y2, t); }
std::u16string lauf(int x1, int y1, int x2, int y2, std::u16string_view t) { return effekt(u"Lauftext", x1, y1, x2, y2, t); }
std::u16string rechteck(int x1, int y1, int x2, int y2, int farbe, bool fuellen) {
  Befehlsbauer b(u"Rechteck");
  return feld(b, x1, y1, x2, y2).ganz(1).ganz(farbe).janein(fuellen).text();
}
std::u16string linie(int x1, int y1, int x2, int y2) {
  Befehlsbauer b(u"Linie");
  return feld(b, x1, y1, x2, y2).ganz(3).ganz(0x00FFFF).text();
}
std::u16string nr(std::u16string_view name, int n, double d = -1) {
  return d < 0 ? Befehlsbauer(name).ganz(n).text() : Befehlsbauer(name).ganz(n).zahl(d).text();
}

std::vector<uint8_t> png(const QImage& bild) {
  QByteArray daten;
  QBuffer puffer(&daten);
  bild.save(&puffer, "PNG");
  return {daten.begin(), daten.end()};
}
std::vector<uint8_t> png(int w, int h, Qt::GlobalColor farbe) {
  QImage bild(w, h, QImage::Format_RGB32);
  bild.fill(farbe);
  return png(bild);
}
// Picture commands travel in their forwarded form, by content.
std::u16string bild(std::u16string_view name, int x1, int y1, int x2, int y2, const std::vector<uint8_t>& bytes) {
  Befehlsbauer b(name);
  b.text(u"nicht/vorhanden.gif");
  feld(b, x1, y1, x2, y2).janein(true).janein(false);
  return protocol::weiterleitungsform(protocol::zerlegen(b.text()), bytes);
}
std::u16string bildAn(int x1, int y1, int x2, int y2, const std::vector<uint8_t>& b) {
  return bild(u"BildAnzeigenanPosition", x1, y1, x2, y2, b);
}
std::u16string ani(int x1, int y1, int x2, int y2) {
  return bild(u"AniGifLadenanPosition", x1, y1, x2, y2, gif::test::einfarbigeFrames(x2 - x1 + 1, y2 - y1 + 1, 2));
}

// What a board shows and which effect slots it holds.
struct Tafel {
  QImage bild;
  std::string belegt;
  bool operator==(const Tafel&) const = default;
};
void PrintTo(const Tafel& t, std::ostream* os) { *os << "slots " << t.belegt; }

class SzeneTest : public engine::test::EngineTest {
 protected:
  // Fed as the window's scene is: by the engine's observer, which knows the
  // slot a text took that did not fit.
  struct Beobachter final : engine::BefehlsBeobachter {
    void befehlGelaufen(const protocol::Befehl& b, std::span<const uint8_t> bytes, std::optional<uint8_t> nr) override {
      if (szene) szene->aufnehmen(b, bytes, nr);
    }
    Szene* szene = nullptr;
  } beobachter;
  void SetUp() override {
    EngineTest::SetUp();
    engine->beobachterHinzufuegen(beobachter);
  }
  // Runs one line as the server does for a receiver behind a forwarding client.
  void laufen(const std::u16string& zeile, Szene* szene = nullptr) {
    const auto felder = protocol::zerlegen(zeile);
    const protocol::BefehlsSpec& spec = *protocol::findeBefehl(felder.at(1));
    std::vector<uint8_t> bytes;
    if (spec.istBildbefehl()) bytes = protocol::hexDekodieren(felder.at(std::size_t(spec.inhaltsfeld())));
    beobachter.szene = szene;
    engine->BefehlDirektAusfuehren(felder, bytes);
  }
  Tafel tafel() {
    engine->AnzeigeTakten();
    Tafel t{pic.presented(), ""};
    for (int n = 1; n <= 10; ++n)
      t.belegt += std::string(engine->blinktexte().belegt(n) ? "B" : "-") +
                  (engine->lauftexte().belegt(n) ? "L" : "-") +
                  (engine->animationen().belegt(n) ? "A" : "-");
    return t;
  }
  // The originals on this board, recorded; then the catch-up on a fresh
  // board; both go on with `danach`. Returns the catch-up.
  Zeilen vergleichen(Szene& szene, const Zeilen& befehle, const Zeilen& danach = {}) {
    for (const auto& z : befehle) laufen(z, &szene);
    const Tafel vorher = tafel();
    const Zeilen nachholen = szene.befehle();
    for (const auto& z : danach) laufen(z);
    const Tafel nachher = tafel();

    engine.reset();
    pic.cls();
    engine = std::make_unique<engine::clsVRD4Empfaenger>(pic, *this, *this, *this);
    engine->beobachterHinzufuegen(beobachter);
    for (const auto& z : nachholen) laufen(z);
    EXPECT_EQ(tafel(), vorher) << "the catch-up board";
    for (const auto& z : danach) laufen(z);
    EXPECT_EQ(tafel(), nachher) << "both boards after later commands";
    return nachholen;
  }
};

TEST_F(SzeneTest, WhatIsPaintedOverDeletedOrReplacedDropsOutAndTheBoardsStayIdentical) {
  const auto rot = png(40, 30, Qt::red), blau = png(40, 30, Qt::blue), schmal = png(20, 30, Qt::green);
  struct Fall {
    const char* name;
    Zeilen befehle;
    std::size_t bleiben;
    Zeilen danach = {};
  } faelle[] = {
      {"a text on the same field replaces the older one",
       {text(10, 10, 200, 40, u"Alt"), text(10, 10, 200, 40, u"Neu")}, 1},
      {"a transparent text replaces nothing", {text(10, 10, 200, 40, u"Alt"), text(10, 10, 200, 40, u"Neu", true)}, 2},
      {"a filled box covers a line and a text inside it",
       {linie(20, 20, 60, 20), text(15, 15, 80, 30, u"weg"), rechteck(1, 1, 100, 100, 255, true)}, 1},
      {"a drawing before a background colour stays (the colour would show without it)",
       {linie(20, 20, 60, 20), befehl({u"Hintergrundfarbe", u"255"}), rechteck(1, 1, 100, 100, 0xFF00, true)},
       3},
      {"a box over part of another keeps both",
       {rechteck(1, 1, 50, 50, 255, true), rechteck(25, 25, 80, 80, 0xFF00, true)}, 2},
      {"an outlined box covers nothing", {linie(20, 20, 60, 20), rechteck(1, 1, 100, 100, 255, false)}, 2},
      {"a picture of the same size on the same field replaces the older",
       {bildAn(10, 10, 60, 60, rot), bildAn(10, 10, 60, 60, blau)}, 1},
      {"a picture of another size does not", {bildAn(10, 10, 60, 60, rot), bildAn(10, 10, 60, 60, schmal)}, 2},
      {"a deleted blinking text drops out", {blink(10, 10, 200, 40, u"a"), nr(u"BlinktextLoeschen", 1)}, 0,
       {blink(10, 50, 200, 80, u"b")}},
      {"a blinking text on the same rectangle replaces the older, which keeps the new one's number 2",
       {blink(10, 10, 200, 40, u"a"), blink(10, 10, 200, 40, u"b")}, 1,
       {blink(10, 50, 200, 80, u"c"), nr(u"BlinktextLoeschen", 2)}},
      {"scrolling texts keep their numbers over deleted ones below",
       {lauf(1, 1, 300, 30, u"eins"), lauf(1, 40, 300, 70, u"zwei"), lauf(1, 80, 300, 110, u"drei"),
        nr(u"LauftextLoeschen", 1), nr(u"LauftextLoeschen", 2)},
       1, {lauf(1, 120, 300, 150, u"vier"), nr(u"LauftextLoeschen", 3)}},
      {"a text too long for its field scrolls in the slot the receiver names",
       {text(1, 1, 40, 30, u"viel zu lang für dieses Feld", false, true), lauf(1, 40, 300, 70, u"zwei"),
        nr(u"LauftextLoeschen", 1)},
       1, {lauf(1, 80, 300, 110, u"drei"), nr(u"LauftextLoeschen", 2)}},
      {"a deleted animation drops out with its controls; a start drops the controls before it",
       {ani(1, 1, 40, 40), ani(50, 1, 90, 40), nr(u"AniGifStarten", 2, 5), nr(u"AniGifStoppen", 2),
        nr(u"AniGifStarten", 2, 5), nr(u"AniGifStoppen", 2), nr(u"AniGifStarten", 1, 5), nr(u"AniGifLoeschen", 1)},
       3, {ani(1, 50, 40, 90), nr(u"AniGifLoeschen", 2)}},
      {"Cls starts afresh and local commands never enter",
       {linie(20, 20, 60, 20), befehl({u"Cls"}), befehl({u"IPAdresse", u"127.0.0.1"}), befehl({u"Port", u"4711"}),
        befehl({u"Server starten"}), rechteck(5, 5, 30, 30, 255, false)},
       1},
      {"of settings in a row the last counts, of board sizes the last anywhere",
       {befehl({u"Tafelgroesse", u"100", u"100"}), befehl({u"Hintergrundfarbe", u"255"}),
        befehl({u"Hintergrundfarbe", u"65280"}), befehl({u"Vordergrundfarbe", u"255"}),
        linie(20, 20, 60, 20), befehl({u"Tafelgroesse", u"200", u"200"})},
       4, {bildAn(100, 100, 200, 200, png(QImage(QSize(20, 20), QImage::Format_ARGB32)))}},
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.name);
    engine->Cls();
    Szene szene([this] { return png(pic.image()); });
    const Zeilen nachholen = vergleichen(szene, f.befehle, f.danach);
    EXPECT_EQ(szene.anzahl(), f.bleiben);
    EXPECT_EQ(nachholen.front(), Befehlsbauer(u"Cls").text());
  }
}

TEST_F(SzeneTest, PastTheBoundItCompactsToASnapshotAndTheLiveEffectsWithTheirNumbers) {
  int schnappschuesse = 0;
  // As the receiver takes it: a copy now, encoded on the worker while the board draws on.
  Szene szene(Szene::Aufnahme([&]() -> Szene::Kodierung {
    ++schnappschuesse;
    return [bild = pic.image().copy()] { return png(bild); };
  }));
  Zeilen befehle{blink(10, 10, 200, 40, u"eins"), blink(10, 50, 200, 80, u"zwei"), lauf(1, 100, 300, 130, u"lauf"),
                 ani(300, 1, 340, 40), nr(u"AniGifStarten", 1, 60), blink(10, 150, 200, 180, u"drei"),
                 nr(u"BlinktextLoeschen", 2), befehl({u"Hintergrundfarbe", u"255"})};
  for (int i = 0; i < int(Szene::kMaxBefehle); ++i)
    befehle.push_back(rechteck(1 + i % 700, 200 + i % 250, 20 + i % 700, 220 + i % 250, i * 4099, false));
  const Zeilen nachholen = vergleichen(
      szene, befehle, {nr(u"BlinktextLoeschen", 3), blink(10, 200, 200, 230, u"vier"), nr(u"AniGifLoeschen", 1)});
  EXPECT_EQ(schnappschuesse, 1);
  EXPECT_LT(szene.anzahl(), 50u);
  EXPECT_LT(nachholen.size(), 50u);
}

}  // namespace
}  // namespace vrd4::szene
