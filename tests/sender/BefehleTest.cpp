// Every operation puts exactly its command text into the ring.
#include <cstdio>
#include <fstream>
#include <set>

#include "SenderTestBasis.h"
#include "protocol/Befehl.h"

namespace vrd4::sender::test {
namespace {

// A picture file that exists, for the picture commands.
const std::string& bild() {
  static const std::string pfad = [] {
    std::string p = "/tmp/t_sender_bild_" + std::to_string(::getpid()) + ".gif";
    std::ofstream(p) << "GIF89a";
    return p;
  }();
  return pfad;
}
std::u16string bild16() { return std::u16string(bild().begin(), bild().end()); }

struct Zeile {
  std::string name;
  std::function<void(clsVRD4Sender&)> aufruf;
  std::function<std::u16string()> erwartet;
};

using S = clsVRD4Sender;
const std::vector<Zeile> kZeilen = {
    {"Cls", [](S& s) { s.Cls(); }, [] { return befehl({u"Befehl", u"Cls"}); }},
    {"HintergrundfarbeRot", [](S& s) { s.Hintergrundfarbe(255); },
     [] { return befehl({u"Befehl", u"Hintergrundfarbe", u"255"}); }},
    {"VordergrundfarbeWeissDezimal", [](S& s) { s.Vordergrundfarbe(0xFFFFFF); },
     [] { return befehl({u"Befehl", u"Vordergrundfarbe", u"16777215"}); }},
    {"Tafelgroesse", [](S& s) { s.Tafelgroesse(768, 480); },
     [] { return befehl({u"Befehl", u"Tafelgroesse", u"768", u"480"}); }},
    {"TextAusgabeMitWahrUndDezimalpunkt",
     [](S& s) {
       s.TextAusgabe(1, 2, 300, 40, u"Größe 1 €", 4, u"Arial", 24, true, false, true, false, true, 255, 0, true, 0.5,
                     2);
     },
     [] {
       return befehl({u"Befehl", u"Textausgabe", u"1", u"2", u"300", u"40", u"Größe 1 €", u"4", u"Arial", u"24", u"-1",
                      u"0", u"-1", u"0", u"-1", u"255", u"0", u"-1", u"0.5", u"2"});
     }},
    {"LinieNegativ", [](S& s) { s.Linie(-5, 10, 32767, -32768, 3, 65280); },
     [] { return befehl({u"Befehl", u"Linie", u"-5", u"10", u"32767", u"-32768", u"3", u"65280"}); }},
    {"RechteckGefuellt", [](S& s) { s.Rechteck(1, 1, 10, 10, 1, 0, true); },
     [] { return befehl({u"Befehl", u"Rechteck", u"1", u"1", u"10", u"10", u"1", u"0", u"-1"}); }},
    {"RechteckLeer", [](S& s) { s.Rechteck(1, 1, 10, 10, 1, 0, false); },
     [] { return befehl({u"Befehl", u"Rechteck", u"1", u"1", u"10", u"10", u"1", u"0", u"0"}); }},
    {"BlinkText",
     [](S& s) { s.BlinkText(10, 20, 200, 60, u"Achtung", 4, u"Arial", 30, true, false, false, false, false, 255, 0, 0.5); },
     [] {
       return befehl({u"Befehl", u"Blinktext", u"10", u"20", u"200", u"60", u"Achtung", u"4", u"Arial", u"30", u"-1",
                      u"0", u"0", u"0", u"0", u"255", u"0", u"0.5"});
     }},
    {"BlinkTextLoeschen", [](S& s) { s.BlinkTextLoeschen(3); },
     [] { return befehl({u"Befehl", u"BlinktextLoeschen", u"3"}); }},
    {"Lauftext",
     [](S& s) {
       s.Lauftext(1, 440, 768, 480, u"Sponsor", u"Arial", 28, false, true, false, false, false, 16777215, 128, 1.5, 0.25);
     },
     [] {
       return befehl({u"Befehl", u"Lauftext", u"1", u"440", u"768", u"480", u"Sponsor", u"Arial", u"28", u"0", u"-1",
                      u"0", u"0", u"0", u"16777215", u"128", u"1.5", u"0.25"});
     }},
    {"LauftextLoeschen", [](S& s) { s.LauftextLoeschen(10); },
     [] { return befehl({u"Befehl", u"LauftextLoeschen", u"10"}); }},
    {"IPAdresse", [](S& s) { s.IPAdresse(u"192.168.0.5"); },
     [] { return befehl({u"Befehl", u"IPAdresse", u"192.168.0.5"}); }},
    {"Port", [](S& s) { s.Port(u"4711"); }, [] { return befehl({u"Befehl", u"Port", u"4711"}); }},
    {"PauseAnzeigeZiel", [](S& s) { s.PauseAnzeigeZiel(u"500"); },
     [] { return befehl({u"Befehl", u"PauseAnzeigeZiel", u"500"}); }},
    {"ServerStartenMitLeerzeichen", [](S& s) { s.ServerStarten(); },
     [] { return befehl({u"Befehl", u"Server starten"}); }},
    {"ClientVerbindenMitLeerzeichen", [](S& s) { s.ClientVerbinden(); },
     [] { return befehl({u"Befehl", u"Client verbinden"}); }},
    {"BildAnzeigen", [](S& s) { s.BildAnzeigen(bild16(), true, false); },
     [] { return befehl({u"Befehl", u"BildAnzeigen", bild16(), u"-1", u"0"}); }},
    {"BildAnzeigenanPosition", [](S& s) { s.BildAnzeigenanPosition(bild16(), 1, 2, 3, 4, false, true); },
     [] { return befehl({u"Befehl", u"BildAnzeigenanPosition", bild16(), u"1", u"2", u"3", u"4", u"0", u"-1"}); }},
    {"AniGifLadenanPositionEndetMitLeeremZehntenFeld",
     [](S& s) { s.AniGifLadenanPosition(bild16(), 5, 6, 7, 8, true, true); },
     [] {
       return befehl({u"Befehl", u"AniGifLadenanPosition", bild16(), u"5", u"6", u"7", u"8", u"-1", u"-1", u""});
     }},
    {"AniGifStarten", [](S& s) { s.AniGifStarten(2, 1.25); },
     [] { return befehl({u"Befehl", u"AniGifStarten", u"2", u"1.25"}); }},
    {"AniGifStoppen", [](S& s) { s.AniGifStoppen(2); }, [] { return befehl({u"Befehl", u"AniGifStoppen", u"2"}); }},
    {"AniGifLoeschen", [](S& s) { s.AniGifLoeschen(255); },
     [] { return befehl({u"Befehl", u"AniGifLoeschen", u"255"}); }},
};

class BefehlTextTest : public SenderTest, public ::testing::WithParamInterface<Zeile> {};

TEST_P(BefehlTextTest, PutsExactlyItsCommandTextIntoSlotZero) {
  // Reply commands get their answer on the first pass.
  antwortenBeiDurchlauf = 1;
  antworten = [] {
    for (auto* r : {&gv::clsVRD4BlinktextNr(), &gv::clsVRD4LauftextNr(), &gv::clsVRD4AniGifNr()}) r->SetMemory(u"1");
  };
  GetParam().aufruf(*sender);
  EXPECT_EQ(slot(0), GetParam().erwartet());
  EXPECT_EQ(letzteGesendete(), u"0");
  EXPECT_EQ(slot(1), u"");
  EXPECT_TRUE(ereignisse.empty());
}

INSTANTIATE_TEST_SUITE_P(AlleOperationen, BefehlTextTest, ::testing::ValuesIn(kZeilen),
                         [](const auto& info) { return info.param.name; });

TEST(BefehlTabelle, RowsCoverEveryCommandTheReceiverKnows) {
  std::set<std::u16string> gesendet;
  for (const auto& z : kZeilen) gesendet.insert(protocol::zerlegen(z.erwartet()).at(1));
  std::set<std::u16string> bekannt;
  for (const auto& b : protocol::befehlstabelle()) bekannt.insert(std::u16string(b.name));
  EXPECT_EQ(gesendet, bekannt);
}

// Removes this program's channel objects once every test has run.
class KanalAufraeumen : public ::testing::Environment {
 public:
  void TearDown() override { kanalEntfernen(testPrefix()); }
};
const auto* const kAufraeumen = ::testing::AddGlobalTestEnvironment(new KanalAufraeumen);

}  // namespace
}  // namespace vrd4::sender::test
