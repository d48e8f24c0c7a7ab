// The receiver program at start-up, as a new user meets it: every refusal
// says why (one line on stderr, exact) and ends with its status within 2 s,
// no box waiting; and one receiver per channel - a second one refuses and
// the first draws every command.
#include <grp.h>

#include <QColor>

#include "StartHilfe.h"

namespace vrd4::e2e {
namespace {

const auto* const kUmgebung = ::testing::AddGlobalTestEnvironment(new StartUmgebung);

// The group vrd4 for the rows that need a member of it; made (and removed at
// the end) when the system has none, as the package would.
class TafelGruppe {
 public:
  TafelGruppe() {
    if (!::getgrnam("vrd4")) neu_ = std::system("groupadd --system vrd4 >/dev/null 2>&1") == 0;
    if (const group* g = ::getgrnam("vrd4")) gid_ = g->gr_gid;
  }
  ~TafelGruppe() {
    if (neu_ && std::system("groupdel vrd4 >/dev/null 2>&1") != 0) {
    }
  }
  std::optional<gid_t> gid() const { return gid_; }

 private:
  bool neu_ = false;
  std::optional<gid_t> gid_;
};

struct Absage {
  const char* name;
  std::vector<std::string> argumente;  // after the program
  std::map<std::string, std::optional<std::string>> env;
  enum Wer { Root, Niemand, NiemandInVrd4 } wer = Root;
  int status;
  std::string zeile;  // the first line on stderr ("" : none)
  std::string ausgabeBeginn;  // stdout begins so
};

TEST(StartE2E, EveryRefusalSaysWhyOnOneLineAndEndsWithItsStatusWithinTwoSeconds) {
  const std::string p = startPraefix();
  const std::string ende = " Programm wird beendet!";
  const bool mitWayland = std::filesystem::exists("/usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqwayland-generic.so") ||
                          std::filesystem::exists("/usr/lib/aarch64-linux-gnu/qt6/plugins/platforms/libqwayland-generic.so");
  const std::string wayland =
      mitWayland ? "VRD4Empfaenger: Keine Anzeige: Wayland-Anzeige vrd4-nirgends nicht erreichbar. Abhilfe: in der Sitzung "
                   "des Compositors starten (WAYLAND_DISPLAY, XDG_RUNTIME_DIR) oder QT_QPA_PLATFORM=xcb" + ende
                 : "VRD4Empfaenger: Keine Anzeige: Qt-Plattform wayland fehlt. Abhilfe: Paket qt6-wayland installieren oder "
                   "QT_QPA_PLATFORM=xcb (XWayland)" + ende;
  const std::string andererKanal = "VRD4Empfaenger: /dev/shm/" + p + "VRD4Sendetexte0 lässt sich nicht öffnen: Permission "
                                   "denied Der Kanal gehört einem anderen Benutzer. Abhilfe: dessen Tafel beenden und als "
                                   "root 'rm /dev/shm/" + p + "VRD4* /dev/shm/" + p + "clsVRD4*' ausführen (oder den Rechner "
                                   "neu starten). Danach teilen sich alle Mitglieder der Gruppe vrd4 den Kanal." + ende;
  const std::map<std::string, std::optional<std::string>> ohneAnzeige{{"DISPLAY", std::nullopt},
                                                                       {"WAYLAND_DISPLAY", std::nullopt},
                                                                       {"QT_QPA_PLATFORM", std::nullopt}};
  // (Every other argument the parser refuses, by its text: app_tests.)
  const std::vector<Absage> zeilen = {
      {"UnknownOption", {"--prefix", p, "--foo"}, {}, Absage::Root, 2,
       "VRD4Empfaenger: unbekannte Option --foo (siehe --help)" + ende, ""},
      {"QtOptionNotTaken", {"--prefix", p, "-geometry", "10x10"}, {}, Absage::Root, 2,
       "VRD4Empfaenger: unbekannte Option -geometry (siehe --help)" + ende, ""},
      {"HallAndBoard", {"--prefix", p, "--halle", "mqtt://h/a", "--tafel", "mqtt://h/a/b"}, {}, Absage::Root, 2,
       "VRD4Empfaenger: --halle und --tafel schließen sich aus (siehe --help)" + ende, ""},
      {"HelpWithoutDisplay", {"-h"}, ohneAnzeige, Absage::Root, 0, "", "Aufruf: VRD4Empfaenger"},
      {"VersionWithoutDisplay", {"--version"}, ohneAnzeige, Absage::Root, 0, "", "VRD4Empfaenger " VRD4_VERSION "\n"},
      {"NoDisplay", {"--prefix", p}, ohneAnzeige, Absage::Root, 6,
       "VRD4Empfaenger: Keine Anzeige: DISPLAY ist nicht gesetzt. Abhilfe: die Tafel in der grafischen Sitzung starten "
       "(unter systemd: systemctl --user import-environment DISPLAY XAUTHORITY)" + ende, ""},
      {"XServerGone", {"--prefix", p}, {{"DISPLAY", ":64999"}, {"QT_QPA_PLATFORM", std::nullopt}}, Absage::Root, 6,
       "VRD4Empfaenger: Keine Anzeige: X-Server :64999 nicht erreichbar. Abhilfe: DISPLAY und XAUTHORITY der laufenden "
       "grafischen Sitzung setzen" + ende, ""},
      {"WaylandWithoutCompositor", {"--prefix", p},
       {{"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", "vrd4-nirgends"}, {"XDG_RUNTIME_DIR", "/tmp"}},
       Absage::Root, 6, wayland, ""},
      {"NotInGroup", {"--prefix", p}, {}, Absage::Niemand, 3,
       "VRD4Empfaenger: Programm muss mit 'ADMINISTRATOR'-Rechten gestartet werden! nobody ist weder root noch Mitglied "
       "der Gruppe vrd4. Abhilfe (als root): adduser nobody vrd4, dann neu anmelden." + ende, ""},
      {"ChannelOfAnotherUser", {"--prefix", p}, {}, Absage::NiemandInVrd4, 4, andererKanal, ""},
  };
  const OffeneKopie kopie;
  const bool root = ::geteuid() == 0;
  std::optional<TafelGruppe> gruppe;
  if (root) gruppe.emplace();
  for (const Absage& z : zeilen) {
    SCOPED_TRACE(z.name);
    if (z.wer != Absage::Root && !root) {
      std::printf("skipped %s: running as another user needs root\n", z.name);
      continue;
    }
    std::vector<gid_t> gruppen;
    if (z.wer == Absage::NiemandInVrd4) {
      ASSERT_TRUE(gruppe && gruppe->gid()) << "no group vrd4";
      gruppen.push_back(*gruppe->gid());
      // Left by root, owner only: not ours to open nor to remove.
      const std::string datei = "/dev/shm/" + p + "VRD4Sendetexte0";
      const int fd = ::open(datei.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
      ASSERT_GE(fd, 0);
      ::fchmod(fd, 0600);
      ::close(fd);
    }
    std::vector<std::string> argv{kopie.programm()};
    argv.insert(argv.end(), z.argumente.begin(), z.argumente.end());
    const Lauf l = ausfuehren(argv, z.env, z.wer == Absage::Root ? std::nullopt : std::optional<uid_t>(65534), gruppen);
    test::kanalDateienEntfernen(p);
    EXPECT_EQ(l.status, z.status) << l.fehler;
    EXPECT_EQ(l.ersteZeile(), z.zeile);
    EXPECT_EQ(l.ausgabe.substr(0, z.ausgabeBeginn.size()), z.ausgabeBeginn);
    EXPECT_LT(l.sekunden, 2.0) << "no box waits, nothing hangs";
  }
  // A refused call is followed by the usage.
  const Lauf l = ausfuehren({kopie.programm(), "--prefix", p, "--foo"});
  EXPECT_NE(l.fehler.find("\nAufruf: VRD4Empfaenger [--prefix P]"), std::string::npos) << l.fehler;
}

// vrd4send names the fix that helps: for the group's channel, the group.
TEST(StartE2E, VrdSendNamesTheGroupWhenTheChannelIsTheGroupsAndItsUserIsNotInIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "running as another user needs root";
  const TafelGruppe gruppe;
  ASSERT_TRUE(gruppe.gid());
  const std::string p = startPraefix(), datei = "/dev/shm/" + p + "VRD4Sendetexte0";
  const int fd = ::open(datei.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::fchown(fd, 0, *gruppe.gid()), 0);
  ::fchmod(fd, 0660);
  ::close(fd);
  const OffeneKopie kopie;
  const Lauf l = ausfuehren({kopie.dazu("vrd4send"), "--prefix", p}, {}, 65534, {}, "Cls\n");
  test::kanalDateienEntfernen(p);
  EXPECT_EQ(l.status, 4) << l.fehler;
  EXPECT_EQ(l.ersteZeile(), "vrd4send: " + datei + " lässt sich nicht öffnen: Permission denied Der Kanal gehört der "
                            "Gruppe vrd4: nobody ist weder root noch Mitglied der Gruppe vrd4. Abhilfe (als root): "
                            "adduser nobody vrd4, dann neu anmelden.");
}

// Linie i: a horizontal line in a colour of its own, 10 rows apart.
int32_t linienFarbe(int i) { return int32_t(0x0000FF + i * 0x000C00 + (19 - i) * 0x0C0000); }
std::u16string linie(int i) {
  auto n = [](long v) { return QString::number(v).toStdU16String(); };
  return befehl({u"Linie", u"20", n(20 + i * 10), u"700", n(20 + i * 10), u"3", n(linienFarbe(i))});
}
// 0x00BBGGRR as the picture shows it.
QColor alsFarbe(int32_t f) { return QColor(f & 0xFF, (f >> 8) & 0xFF, (f >> 16) & 0xFF); }

class ZweiEmpfaenger : public ::testing::Test, protected Ring {
 protected:
  void SetUp() override { ringFrischAnlegen(); }
  void TearDown() override {
    gv::clsVRD4ProgrammBeenden().SetMemory(u"-1");
    a.reset(), b.reset();
    gv::SpeichervariablenFreigeben();
    test::kanalDateienEntfernen(startPraefix());
  }
  std::unique_ptr<Empfaenger> a = std::make_unique<Empfaenger>(startPraefix()),
                              b = std::make_unique<Empfaenger>(startPraefix());
};

TEST_F(ZweiEmpfaenger, TheSecondReceiverOnAChannelRefusesAndTheFirstDrawsEveryCommand) {
  a->starten({}, "a.txt");
  ASSERT_TRUE(gestartet());
  b->starten({}, "b.txt");
  const auto status = b->warteAufEnde(kSekunden);
  ASSERT_TRUE(status.has_value()) << "the second receiver still runs";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 5) << *status;
  const std::string zeile = b->datei("b.txt");
  EXPECT_EQ(zeile.substr(0, zeile.find('\n')),
            "VRD4Empfaenger: VRD4Empfaenger.exe bereits geladen! Auf dem Kanal --prefix " + startPraefix() +
                " läuft schon der Empfänger mit der Prozessnummer " + std::to_string(a->pid()) +
                "; er läuft weiter. Eine weitere Tafel braucht einen eigenen Kanal (--prefix P). Programm wird beendet!");
  ASSERT_TRUE(a->laeuft()) << "the first board is untouched";

  int letzter = -1;
  for (int i = 0; i < 20; ++i) letzter = senden(linie(i));
  ASSERT_TRUE(gelesen(letzter));
  std::vector<int> fehlend;
  warteBis([&] {
    const QImage bild = a->schnappschuss();
    fehlend.clear();
    for (int i = 0; i < 20; ++i)
      if (bild.isNull() || bild.pixelColor(300, 20 + i * 10 - 1) != alsFarbe(linienFarbe(i))) fehlend.push_back(i);
    return fehlend.empty();
  }, kSekunden);
  EXPECT_TRUE(fehlend.empty()) << fehlend.size() << " of 20 lines missing, the first " << fehlend.front();
}

TEST_F(ZweiEmpfaenger, OfTwoStartedAtOnceExactlyOneRuns) {
  a->starten({}, "a.txt");
  b->starten({}, "b.txt");
  // The younger one finds the older one, whichever got further first.
  ASSERT_TRUE(warteBis([&] { return !a->laeuft() || !b->laeuft(); }, kStartSekunden));
  Empfaenger& weg = a->laeuft() ? *b : *a;
  Empfaenger& bleibt = a->laeuft() ? *a : *b;
  const auto status = weg.warteAufEnde(kSekunden);
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 5) << *status;
  ASSERT_TRUE(gestartet());
  EXPECT_TRUE(bleibt.laeuft());
  EXPECT_GT(bleibt.pid(), 0);
}

}  // namespace
}  // namespace vrd4::e2e
