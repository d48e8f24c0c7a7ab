// Every operation puts exactly the wire form of its command into the ring
// (tests/Drahtformen.h, written apart from the command table), with the
// plain values and with each field changed alone: through the C++ class, by
// vrd4send's rows (which call it with a row's parameters in order and must
// list every command with its fields), and through the C interface. Then
// vrd4send's script lines; the ring's wrap-around and its length limit.
#include <functional>
#include <map>
#include <type_traits>

#include "SenderTestBasis.h"
#include "Skript.h"
#include "protocol/Befehl.h"
#include "tests/Drahtformen.h"
#include "vrd4sender.h"

namespace vrd4::sender::test {
namespace {

const auto* const kKanal = ::testing::AddGlobalTestEnvironment(new EigenerKanal);

using vrd4::test::Drahtfeld;
using vrd4::test::Drahtform;
using vrd4::test::Drahtwerte;
using vrd4::test::kDrahtformen;
using Werte = std::vector<vrd4send::Wert>;

// The receiver's side: takes whatever waits in the ring and answers a
// reply command with slot 1.
std::vector<std::u16string> genommen;
void nehmen() {
  for (int i = 0; i < gv::kAnzahlSendetexte; ++i) {
    if (gv::Sendetexte(i).GetMemory().empty()) continue;
    genommen.push_back(gv::Sendetexte(i).GetMemory());
    gv::Sendetexte(i).SetMemory(u"");
    gv::clsVRD4LetzteGelesene().SetMemory(protocol::schreibeGanzzahl(i));
  }
  for (auto* r : {&gv::clsVRD4BlinktextNr(), &gv::clsVRD4LauftextNr(), &gv::clsVRD4AniGifNr()}) r->SetMemory(u"1");
}

std::string liste(const std::vector<Drahtfeld>& felder) {
  std::string s;
  for (const Drahtfeld& f : felder) s += platform::toUtf8(f.name + u": " + f.typ + u", ");
  return s;
}
std::string liste(const vrd4send::Operation& op) {
  std::string s;
  for (const auto& p : op.parameter) s += p.name + ": " + std::string(vrd4send::typName(p.typ)) + ", ";
  return s;
}

// Sends every variant of every command with senden(d, values), the values
// read by vrd4send's script parser, and checks what the receiver took.
template <typename F>
void jedeVariante(F senden) {
  for (const Drahtform& d : kDrahtformen) {
    SCOPED_TRACE(platform::toUtf8(d.name));
    for (const Drahtwerte& w : vrd4::test::drahtvarianten(d)) {
      // As a line of a vrd4send script: the operation, then every value in quotes.
      std::string zeile(d.methode);
      for (const Drahtfeld& f : vrd4::test::drahtfelder(d)) zeile += " \"" + platform::toUtf8(w.at(f.name)) + "\"";
      const auto aufruf = vrd4send::zeileLesen(zeile);
      ASSERT_TRUE(std::holds_alternative<vrd4send::Aufruf>(aufruf)) << std::get<std::string>(aufruf);
      genommen.clear();
      senden(d, std::get<vrd4send::Aufruf>(aufruf).werte);
      nehmen();
      EXPECT_EQ(genommen, std::vector{vrd4::test::drahttext(d, w)});
    }
  }
}

TEST_F(SenderTest, EveryOperationWritesItsCommandsWireFormAndVrd4sendListsItWithItsFields) {
  sender->setNachrichtenschleife([this] {
    uhr += 0.25;
    nehmen();
  });
  sender->setAntwortZeitlimit(5);
  EXPECT_EQ(vrd4send::operationen().size(), std::size(kDrahtformen) + 2) << "the commands and two waits";
  for (const Drahtform& d : kDrahtformen) {
    const vrd4send::Operation* op = vrd4send::findeOperation(d.methode);
    ASSERT_NE(op, nullptr) << d.methode;
    EXPECT_EQ(liste(*op), liste(vrd4::test::drahtfelder(d))) << d.methode;
    EXPECT_EQ(op->liefertNummer, !d.antwort.empty()) << d.methode;
  }
  jedeVariante([this](const Drahtform& d, const Werte& w) {
    EXPECT_EQ(vrd4send::findeOperation(d.methode)->ausfuehren(*sender, w), d.antwort.empty() ? -1 : 1);
  });
  EXPECT_TRUE(ereignisse.empty());
}

// The C interface: one function per operation, its parameters in the
// operation's order (Booleans as int, texts as UTF-8).
template <typename P>
P cWert(const vrd4send::Wert& w, const std::string& utf8) {
  if constexpr (std::is_pointer_v<P>) return utf8.c_str();
  else if constexpr (std::is_floating_point_v<P>) return std::get<double>(w);
  else if (const bool* b = std::get_if<bool>(&w)) return P(*b);
  else return P(std::get<int64_t>(w));
}
template <typename R, typename... P, std::size_t... I>
void cRufen(R (*f)(vrd4sender*, P...), vrd4sender* s, const Werte& w, std::index_sequence<I...>) {
  ASSERT_EQ(sizeof...(P), w.size());
  std::vector<std::string> texte;
  for (const auto& v : w)
    texte.push_back(std::holds_alternative<std::u16string>(v) ? platform::toUtf8(std::get<std::u16string>(v)) : "");
  f(s, cWert<P>(w[I], texte[I])...);
}
template <typename R, typename... P>
void cRufen(R (*f)(vrd4sender*, P...), vrd4sender* s, const Werte& w) {
  cRufen(f, s, w, std::index_sequence_for<P...>());
}
const std::map<std::string_view, std::function<void(vrd4sender*, const Werte&)>> kCFunktionen = {
#define VRD4_C(name) {#name, [](vrd4sender* s, const Werte& w) { cRufen(&vrd4sender_##name, s, w); }}
    VRD4_C(TextAusgabe), VRD4_C(Cls), VRD4_C(Linie), VRD4_C(Rechteck), VRD4_C(BlinkText),
    VRD4_C(BlinkTextLoeschen), VRD4_C(Lauftext), VRD4_C(LauftextLoeschen), VRD4_C(Tafelgroesse),
    VRD4_C(BildAnzeigen), VRD4_C(BildAnzeigenanPosition), VRD4_C(AniGifLadenanPosition), VRD4_C(AniGifStarten),
    VRD4_C(AniGifStoppen), VRD4_C(AniGifLoeschen), VRD4_C(Hintergrundfarbe), VRD4_C(Vordergrundfarbe),
    VRD4_C(IPAdresse), VRD4_C(Port), VRD4_C(PauseAnzeigeZiel), VRD4_C(ServerStarten), VRD4_C(ClientVerbinden),
#undef VRD4_C
};

TEST(CSchnittstelle, EveryFunctionWritesItsCommandsWireForm) {
  vrd4sender* s = vrd4sender_new();
  vrd4sender_set_keep_running(s, 1);
  vrd4sender_set_running_check(s, [](void*) { return 1; }, nullptr);
  vrd4sender_set_message_loop(s, [](void*) { nehmen(); }, nullptr);
  jedeVariante([s](const Drahtform& d, const Werte& w) {
    ASSERT_TRUE(kCFunktionen.contains(d.methode)) << "vrd4sender_" << d.methode;
    kCFunktionen.at(d.methode)(s, w);
  });
  vrd4sender_free(s);
}

// vrd4send's script lines: words, quoting, comments and values, each line
// run through to the command it sends or the message that refuses it.
struct SkriptZeile {
  const char* name;
  std::string zeile;
  std::string erwartet;  // the fields after "Befehl", "|" between them; or the message after "Parameter n (…): "
};

class SkriptZeileTest : public SenderTest, public ::testing::WithParamInterface<SkriptZeile> {};

TEST_P(SkriptZeileTest, SendsItsCommandOrSaysWhatIsWrong) {
  auto r = vrd4send::zeileLesen(GetParam().zeile);
  std::string ergebnis;
  if (auto* fehler = std::get_if<std::string>(&r)) {
    ergebnis = std::regex_replace(*fehler, std::regex("^Parameter [0-9]+ \\([^)]*\\): "), "");
  } else if (auto& a = std::get<vrd4send::Aufruf>(r); a.op) {
    a.op->ausfuehren(*sender, a.werte);
    ergebnis = platform::toUtf8(slot(0)).substr(7);
    std::replace(ergebnis.begin(), ergebnis.end(), '\x1b', '|');
  }
  EXPECT_EQ(ergebnis, GetParam().erwartet);
}

using Z = SkriptZeile;
INSTANTIATE_TEST_SUITE_P(
    Zeilen, SkriptZeileTest,
    ::testing::Values(
        Z{"NurKommentar", "  # Titel", ""},
        Z{"TabsUndCR", "Port\t4711\r", "Port|4711"},
        Z{"AlleTypenUndAnfuehrungszeichen",
          "TextAusgabe -32768 32767 1 1 \"Größe #1\" 4 Arial 9 -1 0 True FALSCH 1 &HFF0000 0x00ff00 0 0.5 -2",
          "Textausgabe|-32768|32767|1|1|Größe #1|4|Arial|9|-1|0|-1|0|-1|16711680|65280|0|0.5|-2"},
        Z{"VerdoppeltesAnfuehrungszeichen", "Port \"a \"\"b\"\"\"", "Port|a \"b\""},
        Z{"LeererParameter", "Port \"\"", "Port|"},
        Z{"HexAlle32Bit", "Hintergrundfarbe &HFFFFFFFF", "Hintergrundfarbe|-1"},
        Z{"NichtGeschlossen", "Port \"4711", "Anführungszeichen nicht geschlossen"},
        Z{"ZeichenNachSchluss", "Port \"a\"b", "nach dem schließenden Anführungszeichen fehlt ein Leerzeichen"},
        Z{"UnbekannteOperation", "Blinken 1", "unbekannte Operation \"Blinken\""},
        Z{"ZuWenigParameter", "Linie 1 2 3", "Linie braucht 6 Parameter, nicht 3"},
        Z{"Int16Ueberlauf", "Tafelgroesse 32768 1", "\"32768\" liegt nicht zwischen -32768 und 32767"},
        Z{"Int16Bruch", "Tafelgroesse 1.5 1", "\"1.5\" ist keine ganze Zahl"},
        Z{"Int16Leer", "Tafelgroesse \"\" 1", "\"\" ist keine ganze Zahl"},
        Z{"HexZuLang", "Hintergrundfarbe 0x123456789", "\"0x123456789\" ist keine ganze Zahl"},
        Z{"Int32Ueberlauf", "Hintergrundfarbe 2147483648",
          "\"2147483648\" liegt nicht zwischen -2147483648 und 2147483647"},
        Z{"ByteNegativ", "AniGifStarten -1 1", "\"-1\" liegt nicht zwischen 0 und 255"},
        Z{"BoolJa", "Rechteck 1 1 2 2 1 0 ja", "\"ja\" ist kein Wahrheitswert (-1 oder 0)"},
        Z{"DoubleKomma", "AniGifStarten 1 1,5", "\"1,5\" ist keine Zahl (Dezimalpunkt \".\")"},
        Z{"DoubleUnendlich", "AniGifStarten 1 inf", "\"inf\" ist keine Zahl (Dezimalpunkt \".\")"}),
    [](const auto& info) { return std::string(info.param.name); });

using RingTest = SenderTest;

// The receiver stand-in takes slots 0 to 2 on the third pass of a wait.
TEST_F(RingTest, HundredFirstCommandWaitsUntilTheReceiverHasTakenSlotZeroAndOnly32100CharactersFit) {
  for (int i = 0; i < 100; ++i) sender->Hintergrundfarbe(i);
  EXPECT_EQ(durchlaeufe, 0) << "a free slot is written at once";
  antwortenBeiDurchlauf = 3;
  antworten = [] {
    for (int i = 0; i < 3; ++i) gv::Sendetexte(i).SetMemory(u"");
    gv::clsVRD4LetzteGelesene().SetMemory(u"2");
  };
  sender->Hintergrundfarbe(100);
  EXPECT_EQ(durchlaeufe, 3);
  EXPECT_EQ(slot(0), befehl(u"Hintergrundfarbe|100"));
  EXPECT_EQ(slot(99), befehl(u"Hintergrundfarbe|99"));
  EXPECT_EQ(gv::clsVRD4LetzteGesendete().GetMemory(), u"0");
  EXPECT_TRUE(ereignisse.empty());
  EXPECT_FALSE(sender->BefehlSenden(std::u16string(32101, u'x')));
  EXPECT_EQ(gv::clsVRD4Event().GetMemory(), u"BefehlFehler;VRD4Empfaenger_Steuerung: Puffer zu klein!");
  EXPECT_EQ(ereignisse, (Ereignisse{{u"BefehlFehler", u"VRD4Empfaenger_Steuerung: Puffer zu klein!"}}));
  const std::u16string text(32100, u'x');
  EXPECT_TRUE(sender->BefehlSenden(text));
  EXPECT_EQ(slot(1), text);  // the refused command used no slot
}

// A slot not yet taken is never overwritten; the wait ends like a reply wait.
TEST_F(RingTest, WaitForAFreeSlotEndsAtTheTimeLimitTheErrorFlagOrTheReceiverEndingAndKeepsTheCommand) {
  for (int i = 0; i < 100; ++i) sender->Hintergrundfarbe(i);
  sender->setAntwortZeitlimit(2);
  EXPECT_FALSE(sender->BefehlSenden(befehl(u"Cls")));
  EXPECT_EQ(durchlaeufe, 9);  // 2 s at 0.25 s per pass
  EXPECT_EQ(ereignisse, Ereignisse{kKeineAntwort});
  durchlaeufe = 0;
  antwortenBeiDurchlauf = 2;
  antworten = [] { gv::clsVRD4KomFehler().SetMemory(u"-1"); };
  EXPECT_FALSE(sender->BefehlSenden(befehl(u"Cls")));
  EXPECT_EQ(durchlaeufe, 2);
  gv::clsVRD4KomFehler().SetMemory(u"0");
  durchlaeufe = 0;
  antworten = [this] { empfaengerLaeuft = false; };
  EXPECT_FALSE(sender->BefehlSenden(befehl(u"Cls")));
  EXPECT_EQ(durchlaeufe, 2);
  EXPECT_EQ(ereignisse, (Ereignisse{kKeineAntwort, kNichtGeladen}));
  EXPECT_EQ(slot(0), befehl(u"Hintergrundfarbe|0"));
  EXPECT_EQ(gv::clsVRD4LetzteGesendete().GetMemory(), u"99");
}

// The receiver took slot 0 last and the ring holds the 99 commands written
// since: its index may still stand on slot 0, so slot 0 stays unwritten until
// it has taken the next one.
TEST_F(RingTest, TheSlotTakenLastIsNotRefilledWhileEverythingWrittenSinceWaits) {
  for (int i = 0; i < 100; ++i) sender->Hintergrundfarbe(i);
  gv::Sendetexte(0).SetMemory(u"");
  gv::clsVRD4LetzteGelesene().SetMemory(u"0");
  antwortenBeiDurchlauf = 4;
  antworten = [] {
    gv::Sendetexte(1).SetMemory(u"");
    gv::clsVRD4LetzteGelesene().SetMemory(u"1");
  };
  sender->Cls();
  EXPECT_EQ(durchlaeufe, 4);
  EXPECT_EQ(slot(0), befehl(u"Cls"));
}

}  // namespace
}  // namespace vrd4::sender::test
