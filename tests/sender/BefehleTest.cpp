// Every operation of its own shape puts exactly its command text into the ring
// (pictures: any file that exists; one row for operations that differ only in
// the command name; Textausgabe, Port and Hintergrundfarbe go through vrd4send's
// rows below); vrd4send's script lines; the ring's wrap-around and its length limit.
#include "SenderTestBasis.h"
#include "Skript.h"

namespace vrd4::sender::test {
namespace {

const auto* const kKanal = ::testing::AddGlobalTestEnvironment(new EigenerKanal);

using S = clsVRD4Sender;
const std::u16string kBild = u"/bin/sh";
struct Zeile {
  void (*aufruf)(S&);
  std::u16string_view felder;  // after "Befehl", "|" between them; the first names the row
};

const Zeile kZeilen[] = {
    {[](S& s) { s.Cls(); }, u"Cls"},
    {[](S& s) { s.Tafelgroesse(768, 480); }, u"Tafelgroesse|768|480"},
    {[](S& s) { s.Linie(-5, 10, 32767, -32768, 3, 65280); }, u"Linie|-5|10|32767|-32768|3|65280"},
    {[](S& s) { s.Rechteck(1, 1, 10, 10, 1, 0, true); }, u"Rechteck|1|1|10|10|1|0|-1"},
    {[](S& s) { s.BlinkText(10, 20, 200, 60, u"Achtung", 4, u"Arial", 30, 1, 0, 0, 0, 0, 255, 0, 0.5); },
     u"Blinktext|10|20|200|60|Achtung|4|Arial|30|-1|0|0|0|0|255|0|0.5"},
    {[](S& s) { s.BlinkTextLoeschen(3); }, u"BlinktextLoeschen|3"},
    {[](S& s) { s.Lauftext(1, 440, 768, 480, u"Sponsor", u"Arial", 28, 0, 1, 0, 0, 0, 65535, 128, 1.5, .25); },
     u"Lauftext|1|440|768|480|Sponsor|Arial|28|0|-1|0|0|0|65535|128|1.5|0.25"},
    {[](S& s) { s.IPAdresse(u"192.168.0.5"); }, u"IPAdresse|192.168.0.5"},
    {[](S& s) { s.ServerStarten(); }, u"Server starten"},
    {[](S& s) { s.BildAnzeigen(kBild, 1, 0); }, u"BildAnzeigen|/bin/sh|-1|0"},
    {[](S& s) { s.BildAnzeigenanPosition(kBild, 1, 2, 3, 4, 0, 1); }, u"BildAnzeigenanPosition|/bin/sh|1|2|3|4|0|-1"},
    // The tenth field is empty.
    {[](S& s) { s.AniGifLadenanPosition(kBild, 5, 6, 7, 8, 1, 1); }, u"AniGifLadenanPosition|/bin/sh|5|6|7|8|-1|-1|"},
    {[](S& s) { s.AniGifStarten(2, 1.25); }, u"AniGifStarten|2|1.25"},
    {[](S& s) { s.AniGifLoeschen(255); }, u"AniGifLoeschen|255"},
};

class BefehlTextTest : public SenderTest, public ::testing::WithParamInterface<Zeile> {};

TEST_P(BefehlTextTest, PutsExactlyItsCommandTextIntoSlotZero) {
  antwortenBeiDurchlauf = 1;  // reply commands are taken and answered at once
  std::u16string genommen;
  antworten = [&] {
    genommen = slot(0);
    gv::Sendetexte(0).SetMemory(u"");
    for (auto* r : {&gv::clsVRD4BlinktextNr(), &gv::clsVRD4LauftextNr(), &gv::clsVRD4AniGifNr()}) r->SetMemory(u"1");
  };
  GetParam().aufruf(*sender);
  EXPECT_EQ(genommen.empty() ? slot(0) : genommen, befehl(std::u16string(GetParam().felder)));
  EXPECT_TRUE(ereignisse.empty());
}

INSTANTIATE_TEST_SUITE_P(AlleOperationen, BefehlTextTest, ::testing::ValuesIn(kZeilen), [](const auto& info) {
  std::u16string name(info.param.felder.substr(0, info.param.felder.find(u'|')));
  std::erase(name, u' ');
  return std::string(name.begin(), name.end());
});

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
