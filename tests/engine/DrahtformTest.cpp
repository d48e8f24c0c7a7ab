// Every command through the engine as the sending programs write it (the
// wire form of tests/Drahtformen.h, never the command table): each field
// changed alone shows, and the command text has the same effect as the
// engine's operation given that value under the field's name. So a table
// with two fields swapped fails here, and so does a handler that passes one
// field for another.
#include <QFile>
#include <functional>
#include <map>
#include <set>

#include "EngineTestSupport.h"
#include "platform/Ansi.h"
#include "tests/Drahtformen.h"

namespace vrd4::engine::test {
namespace {

using vrd4::test::Drahtform;
using vrd4::test::Drahtwerte;

// The values of a command by field name, as the engine's operations take them.
struct Werte {
  const Drahtwerte& w;
  QString s(const char16_t* n) const { return QString::fromStdU16String(w.at(n)); }
  int16_t z(const char16_t* n) const { return int16_t(s(n).toInt()); }
  uint8_t y(const char16_t* n) const { return uint8_t(s(n).toUInt()); }
  bool b(const char16_t* n) const { return s(n).toInt() != 0; }
  double d(const char16_t* n) const { return s(n).toDouble(); }
  platform::Colour f(const char16_t* n) const { return platform::Colour(s(n).toUInt()); }
  render::TextParameter text() const {
    render::TextParameter p{.Xstart = z(u"Xstart"), .Ystart = z(u"Ystart"), .Xende = z(u"Xende"),
                            .YEnde = z(u"YEnde"), .Ausgabetext = s(u"Ausgabetext"), .Ausrichtung = 0,
                            .Schriftart = s(u"Schriftart"), .SchriftgroesseinPixel = z(u"SchriftgroesseinPixel"),
                            .Fett = b(u"Fett"), .Kursiv = b(u"Kursiv"), .Unterstrichen = b(u"Unterstrichen"),
                            .Durchgestrichen = b(u"Durchgestrichen"), .Transparent = b(u"Transparent"),
                            .FeldVordergrundfarbe = f(u"FeldVordergrundfarbe"),
                            .FeldHintergrundfarbe = f(u"FeldHintergrundfarbe")};
    if (w.contains(u"Ausrichtung")) p.Ausrichtung = z(u"Ausrichtung");
    return p;
  }
  std::vector<uint8_t> datei() const {
    QFile d(s(u"BildnamemitPfad"));
    EXPECT_TRUE(d.open(QIODevice::ReadOnly)) << d.fileName().toStdString();
    const QByteArray b = d.readAll();
    return {b.begin(), b.end()};
  }
};

// Each command by the engine operation it runs, its values by name.
using E = clsVRD4Empfaenger;
#define VRD4_OP(name, aufruf) {u"" name, [](E& e, [[maybe_unused]] const Werte& w) { e.aufruf; }}
const std::map<std::u16string_view, std::function<void(E&, const Werte&)>> kOperationen = {
    VRD4_OP("Textausgabe", TextAusgabe(w.text(), w.b(u"LauftextbeiBedarf"), w.d(u"Geschwindigkeit"),
                                       w.d(u"Startverzoegerung"))),
    VRD4_OP("Cls", Cls()),
    VRD4_OP("Linie", Linie(w.z(u"Xstart"), w.z(u"Ystart"), w.z(u"Xende"), w.z(u"YEnde"), w.z(u"Linienbreite"),
                           w.f(u"Farbe"))),
    VRD4_OP("Rechteck", Rechteck(w.z(u"Xstart"), w.z(u"Ystart"), w.z(u"Xende"), w.z(u"YEnde"), w.z(u"Linienbreite"),
                                 w.f(u"Farbe"), w.b(u"Fuellen"))),
    VRD4_OP("Blinktext", BKNeu(w.text(), w.d(u"Intervall"))),
    VRD4_OP("BlinktextLoeschen", BKNeuLoeschen(w.y(u"BlinkNr"))),
    VRD4_OP("Lauftext", LTNeu(w.text(), w.d(u"Geschwindigkeit"), w.d(u"Startverzoegerung"))),
    VRD4_OP("LauftextLoeschen", LTNeuLoeschen(w.y(u"LauftextNr"))),
    VRD4_OP("Tafelgroesse", Tafelgroesse(w.z(u"Breite"), w.z(u"Hoehe"))),
    VRD4_OP("BildAnzeigen", BildAnzeigen(w.s(u"BildnamemitPfad"), w.b(u"GroesseAnpassen"),
                                         w.b(u"BeiKleinerZentrieren"), w.datei())),
    VRD4_OP("BildAnzeigenanPosition",
            BildAnzeigenanPosition(w.s(u"BildnamemitPfad"), w.z(u"Xstart"), w.z(u"Ystart"), w.z(u"Xende"),
                                   w.z(u"YEnde"), w.b(u"GroesseAnpassen"), w.b(u"BeiKleinerZentrieren"), w.datei())),
    VRD4_OP("AniGifLadenanPosition",
            AniGifLadenanPosition(w.s(u"BildnamemitPfad"), w.z(u"Xstart"), w.z(u"Ystart"), w.z(u"Xende"),
                                  w.z(u"YEnde"), w.b(u"GroesseAnpassen"), w.b(u"BeiKleinerZentrieren"), w.datei())),
    VRD4_OP("AniGifStarten", AniGifStarten(w.y(u"AniGifNr"), w.d(u"AnzeigeDauer"))),
    VRD4_OP("AniGifStoppen", AniGifStoppen(w.y(u"AniGifNr"))),
    VRD4_OP("AniGifLoeschen", AniGifLoeschen(w.y(u"AniGifNr"))),
    VRD4_OP("Hintergrundfarbe", Hintergrundfarbe(w.f(u"Farbe"))),
    VRD4_OP("Vordergrundfarbe", Vordergrundfarbe(w.f(u"Farbe"))),
    VRD4_OP("IPAdresse", IPAdresse(w.s(u"Adresse"))),
    VRD4_OP("Port", Port(w.s(u"Port"))),
    VRD4_OP("PauseAnzeigeZiel", PauseAnzeigeZiel(w.s(u"strHundertstelSek"))),
    VRD4_OP("Server starten", ServerStarten()),
    VRD4_OP("Client verbinden", ClientVerbinden()),
};
#undef VRD4_OP

// What must run first, so that the command has something to act on.
const std::map<std::u16string_view, std::vector<std::u16string_view>> kVorher = {
    {u"BlinktextLoeschen", {u"Blinktext"}},
    {u"LauftextLoeschen", {u"Lauftext"}},
    {u"AniGifStarten", {u"AniGifLadenanPosition"}},
    {u"AniGifStoppen", {u"AniGifLadenanPosition", u"AniGifStarten"}},
    {u"AniGifLoeschen", {u"AniGifLadenanPosition"}},
};
// And what must follow, so that its effect shows: an animation appears when started.
const std::map<std::u16string_view, std::vector<std::u16string_view>> kNachher = {
    {u"AniGifLadenanPosition", {u"AniGifStarten"}},
};

// A text too wide for its field, to be scrolled: only then do a
// Textausgabe's scrolling fields show.
const Drahtwerte kLang = {{u"Ausgabetext", u"Ein Text, der nicht in sein Feld passt"}, {u"LauftextbeiBedarf", u"-1"}};
const std::map<std::u16string, Drahtwerte> kDazu = {{u"Textausgabe.LauftextbeiBedarf", {*kLang.begin()}},
                                                    {u"Textausgabe.Geschwindigkeit", kLang},
                                                    {u"Textausgabe.Startverzoegerung", kLang}};
// Fields that change nothing to be seen: the board keeps its size, and an
// animation is always fitted to its field.
const std::set<std::u16string> kOhneWirkung = {u"Tafelgroesse.Breite", u"Tafelgroesse.Hoehe",
                                               u"AniGifLadenanPosition.GroesseAnpassen",
                                               u"AniGifLadenanPosition.BeiKleinerZentrieren"};

// What the board shows and the engine tells, tick by tick over 1.2 s.
using Film = std::vector<size_t>;

class Befehlswirkung : public ::testing::Test, public platform::Clock, public Statusausgabe, public Ereignisziel {
 protected:
  double seconds() const override { return t; }
  void letzterBefehl(const QString&) override {}
  void statusEintrag(const QString&) override {}
  void VRD4Event(const QString& art, const QString& meldung) override {
    ereignisse += art + QStringLiteral(";") + meldung + QStringLiteral("|");
  }

  void SetUp() override { engine = std::make_unique<E>(pic, *this, *this, *this); }
  void TearDown() override { engine.reset(); }

  // From a board as Cls leaves it: `vorher`'s commands, then `run`, then
  // `nachher`'s.
  Film filmen(const Drahtform& d, const std::function<void(E&)>& run) {
    t = 1000.0;
    engine->Cls();
    engine->PauseAnzeigeZiel(QStringLiteral("0"));
    for (auto* v : {&gv::clsVRD4BlinktextNr(), &gv::clsVRD4LauftextNr(), &gv::clsVRD4AniGifNr()}) v->SetMemory(u"");
    const auto befehle = [&](const auto& liste) {
      if (!liste.contains(d.name)) return;
      for (const auto name : liste.at(d.name)) {
        const Drahtform& v = vrd4::test::drahtform(name);
        engine->BefehlAusfuehren(vrd4::test::drahttext(v, vrd4::test::grundwerte(v)));
      }
    };
    befehle(kVorher);
    ereignisse.clear();
    run(*engine);
    befehle(kNachher);
    Film film;
    for (int i = 0; i < 13; ++i, t += 0.1) {
      engine->Zeitschleife();
      const QImage bild = pic.presented();
      film.push_back(qHashBits(bild.constBits(), size_t(bild.sizeInBytes())));
      film.push_back(engine->darfRuhen());
    }
    for (auto* v : {&gv::clsVRD4BlinktextNr(), &gv::clsVRD4LauftextNr(), &gv::clsVRD4AniGifNr()})
      film.push_back(qHash(QString::fromStdU16String(v->GetMemory())));
    film.insert(film.end(), {qHash(ereignisse), pic.foreColor(), pic.backColor()});
    return film;
  }
  Film perBefehl(const Drahtform& d, const Drahtwerte& w) {
    return filmen(d, [&](E& e) { e.BefehlAusfuehren(vrd4::test::drahttext(d, w)); });
  }
  Film perName(const Drahtform& d, const Drahtwerte& w) {
    return filmen(d, [&](E& e) { kOperationen.at(d.name)(e, Werte{w}); });
  }

  double t = 1000.0;
  QString ereignisse;
  platform::Surface pic{768, 480};
  std::unique_ptr<E> engine;
};

TEST_F(Befehlswirkung, EveryFieldOfEveryCommandActsAsTheOperationsParameterOfItsName) {
  for (const Drahtform& d : vrd4::test::kDrahtformen) {
    const std::string befehl = platform::toUtf8(d.name);
    SCOPED_TRACE(befehl);
    ASSERT_TRUE(kOperationen.contains(d.name));
    const Drahtwerte grund = vrd4::test::grundwerte(d);
    EXPECT_EQ(perBefehl(d, grund), perName(d, grund));
    if (!d.antwort.empty()) {
      perBefehl(d, grund);
      EXPECT_EQ(gv::variable(d.antwort).GetMemory(), u"1") << "the slot's number in " << d.antwort;
      const QString ereignis = QString::fromLatin1(d.antwort.substr(7)) + QStringLiteral(";1|");
      EXPECT_TRUE(ereignisse.contains(ereignis)) << "and the event " << ereignis.toStdString();
      EXPECT_FALSE(engine->darfRuhen()) << "the effect in its slot needs the polling steps";
    }
    for (const auto& f : vrd4::test::drahtfelder(d)) {
      const std::u16string schluessel = std::u16string(d.name) + u"." + f.name;
      SCOPED_TRACE(platform::toUtf8(f.name));
      Drahtwerte w = grund;
      if (kDazu.contains(schluessel)) {
        for (const auto& [n, v] : kDazu.at(schluessel)) w[n] = v;
      }
      const Film ohne = perName(d, w);
      w[f.name] = vrd4::test::beispiel(d, f.name).anders;
      const Film mit = perName(d, w);
      EXPECT_TRUE(mit != ohne || kOhneWirkung.contains(schluessel)) << "the change shows";
      EXPECT_EQ(perBefehl(d, w), mit);
    }
  }
}

}  // namespace
}  // namespace vrd4::engine::test
