// The receiver's command line, its refusals and its one table of exit
// statuses, held against what --help, docs/platform.md, the manual page and
// the systemd units say.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "app/Absage.h"
#include "app/AnzeigePruefen.h"
#include "app/Aufruf.h"
#include "app/Rueckgabe.h"

namespace vrd4::app {
namespace {

TEST(Aufruf, EveryOptionIsReadAndAnythingElseIsRefusedWithItsReason) {
  struct Zeile {
    const char* name;
    std::vector<std::string> args;
    std::string fehler;
    std::string praefix, weiterleiten;
    bool vollbild = false, hilfe = false, version = false;
    std::vector<std::string> qt{};
  };
  const Zeile zeilen[] = {
      {"nothing", {}, "", "", ""},
      {"prefix", {"--prefix", "halle1"}, "", "halle1", ""},
      {"prefixWithEquals", {"--prefix=h.2-x_"}, "", "h.2-x_", ""},
      {"lastPrefixCounts", {"--prefix", "a", "--prefix=b"}, "", "b", ""},
      {"allTogether",
       {"--vollbild", "--weiterleiten", "10.0.0.5:4020", "--halle", "mqtt://h/x", "--halle-ca", "ca.pem", "-display", ":1"},
       "", "", "10.0.0.5:4020", true, false, false, {"-display", ":1"}},
      {"help", {"-h"}, "", "", "", false, true},
      {"longHelp", {"--help"}, "", "", "", false, true},
      {"stray", {"halle1"}, "unerwartetes Argument halle1", "", ""},
      {"version", {"--version"}, "", "", "", false, false, true},
      {"qtPlatform", {"-platform", "offscreen"}, "", "", "", false, false, false, {"-platform", "offscreen"}},
      {"unknownWithValue", {"--zoom=2"}, "unbekannte Option --zoom=2", "", ""},
      {"switchWithValue", {"--vollbild=1"}, "--vollbild nimmt keinen Wert", "", ""},
      {"valueMissing", {"--weiterleiten"}, "--weiterleiten: Wert fehlt", "", ""},
      {"prefixTooLong", {"--prefix", std::string(65, 'p')},
       "--prefix: nur A-Z a-z 0-9 _ - . erlaubt, höchstens 64 Zeichen!", "", ""},
      {"forwardingPortZero", {"--weiterleiten=h:0"},
       "--weiterleiten: Adresse:Port erwartet (z. B. 127.0.0.1:4020), nicht h:0", "", ""},
      {"forwardingPortTooHigh", {"--weiterleiten=h:65536"},
       "--weiterleiten: Adresse:Port erwartet (z. B. 127.0.0.1:4020), nicht h:65536", "", ""},
  };
  for (const Zeile& z : zeilen) {
    SCOPED_TRACE(z.name);
    const Aufruf a = aufrufLesen(z.args);
    EXPECT_EQ(a.fehler, z.fehler);
    if (!z.fehler.empty()) continue;
    EXPECT_EQ(a.praefix, z.praefix);
    EXPECT_EQ(a.weiterleiten, z.weiterleiten);
    EXPECT_EQ(a.vollbild, z.vollbild);
    EXPECT_EQ(a.hilfe, z.hilfe);
    EXPECT_EQ(a.version, z.version);
    EXPECT_EQ(a.qt, z.qt);
  }
  // The hall's options, read like every other; refused when they cannot run.
  const Aufruf halle = aufrufLesen({"--tafel=mqtt://h/x/t1", "--halle-zugang", "z.txt", "--halle-ca=ca.pem"});
  EXPECT_EQ(halle.fehler, "");
  EXPECT_EQ(halle.halle.tafel + "|" + halle.halle.zugangsDatei + "|" + halle.halle.caDatei, "mqtt://h/x/t1|z.txt|ca.pem");
  EXPECT_EQ(aufrufLesen({"--halle="}).fehler, "");
  EXPECT_FALSE(aufrufLesen({"--tafel", "mqtt://h/x"}).fehler.empty()) << "a board needs its name";
  // A running receiver's channel, from its command line.
  EXPECT_EQ(praefixAus({"--vollbild", "--prefix", "halle2"}), "halle2");
  EXPECT_EQ(praefixAus({"--prefix=x", "--unbekannt"}), "") << "a refused call runs on no channel";
}

std::string datei(const std::string& pfad) {
  std::ifstream f(std::string(VRD4_SOURCE_DIR) + "/" + pfad);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// One table: --help, docs/platform.md, the manual page and both units say
// the same of every status.
TEST(Rueckgabe, HelpDocsManualPageAndUnitsGiveTheOneTable) {
  const std::string hilfe = hilfeText(), doku = datei("docs/platform.md"),
                    handbuch = datei("packaging/man/VRD4Empfaenger.1.scd");
  std::set<int> ohneNeustart;
  for (const RueckgabeZeile& z : kRueckgaben) {
    const std::string n = std::to_string(zahl(z.wert));
    SCOPED_TRACE(n);
    if (!z.neuStarten) ohneNeustart.insert(zahl(z.wert));
    EXPECT_NE(hilfe.find("\n  " + n + "  " + z.bedeutung + "\n"), std::string::npos);
    EXPECT_TRUE(std::regex_search(doku, std::regex("\n\\| " + n + " \\| [^\n]+ \\| " + (z.neuStarten ? "yes" : "no") + " \\|")))
        << "docs/platform.md: no row for status " << n;
    EXPECT_NE(handbuch.find("\n*" + n + "*\n\t"), std::string::npos) << "VRD4Empfaenger.1: status " << n;
  }
  EXPECT_EQ(handbuch.find("\n*" + std::to_string(kRueckgaben.size()) + "*\n\t"), std::string::npos)
      << "the manual page lists a status the table lacks";
  std::string liste;
  for (int n : ohneNeustart) liste += (liste.empty() ? "" : " ") + std::to_string(n);
  for (const char* unit : {"packaging/vrd4empfaenger.service.in", "packaging/vrd4empfaenger@.service.in"}) {
    SCOPED_TRACE(unit);
    const std::string text = datei(unit);
    EXPECT_NE(text.find("\nRestartPreventExitStatus=" + liste + "\n"), std::string::npos);
    for (const char* zeile : {"\nType=notify\n", "\nWatchdogSec=10\n", "\nRestart=always\n", "\nStartLimitBurst="})
      EXPECT_NE(text.find(zeile), std::string::npos) << zeile;
  }
  EXPECT_NE(doku.find("RestartPreventExitStatus=" + liste + "`"), std::string::npos);
}

struct Umgebungswert {
  Umgebungswert(const char* name, const char* wert) : name_(name) {
    if (const char* alt = std::getenv(name)) alt_ = alt;
    if (wert) ::setenv(name, wert, 1);
    else ::unsetenv(name);
  }
  ~Umgebungswert() {
    if (alt_) ::setenv(name_, alt_->c_str(), 1);
    else ::unsetenv(name_);
  }
  const char* name_;
  std::optional<std::string> alt_;
};

TEST(Absage, TheBoxSaysTheProgramEndsAndOpensOnlyWhereSomeoneCanCloseIt) {
  // The line on stderr and the status: StartE2ETest.cpp. The box:
  EXPECT_EQ(bereitsGeladenAbsage(1, "").titel, u"VRD4 Fehler");
  for (const Absage& a : {aufrufAbsage("f"), rechteAbsage(), bereitsGeladenAbsage(1, ""), kanalAbsage(u"k"),
                          anzeigeAbsage("a")})
    EXPECT_TRUE(a.text.ends_with(u"\r\n\r\nProgramm wird beendet!"));

  // stderr no terminal here, as for a program started from the menu.
  const int alt = ::dup(2), leer = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  ::dup2(leer, 2);
  ::close(leer);
  struct {
    const char* name;
    const char* invocation;
    bool anzeige, box;
  } zeilen[] = {
      {"fromTheMenu", nullptr, true, true},
      {"underAUnit", "0123abcd", true, false},
      {"noDisplay", nullptr, false, false},
  };
  for (const auto& z : zeilen) {
    const Umgebungswert invocation("INVOCATION_ID", z.invocation);
    const Umgebungswert journal("JOURNAL_STREAM", nullptr);
    EXPECT_EQ(boxSinnvoll(z.anzeige), z.box) << z.name;
  }
  ::dup2(alt, 2);
  ::close(alt);
}

TEST(AnzeigePruefen, ThePlatformsQtWillTryAndWhyNoneCanShowTheBoard) {
  {
    const Umgebungswert p("QT_QPA_PLATFORM", nullptr);
    EXPECT_EQ(qtPlattformen({}), std::vector<std::string>{"xcb"});
    EXPECT_EQ(qtPlattformen({"-platform", "offscreen"}), std::vector<std::string>{"offscreen"});
  }
  {
    const Umgebungswert p("QT_QPA_PLATFORM", "wayland;xcb:nograb");
    EXPECT_EQ(qtPlattformen({}), (std::vector<std::string>{"wayland", "xcb"}));
  }
  {
    const Umgebungswert p("QT_QPA_PLATFORM", "offscreen");
    EXPECT_EQ(anzeigeFehlt({}), "") << "Qt decides for a platform without a server";
  }
  {
    // The first that can work counts; otherwise the first one's reason.
    const Umgebungswert p("QT_QPA_PLATFORM", "wayland;offscreen"), w("WAYLAND_DISPLAY", "vrd4-nirgends");
    EXPECT_EQ(anzeigeFehlt({}), "");
    const Umgebungswert q("QT_QPA_PLATFORM", "wayland;xcb"), d("DISPLAY", nullptr);
    EXPECT_EQ(anzeigeFehlt({}).rfind("Keine Anzeige: ", 0), 0u);
    EXPECT_NE(anzeigeFehlt({}).find("wayland"), std::string::npos);
  }
}

}  // namespace
}  // namespace vrd4::app
