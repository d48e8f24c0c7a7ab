// The receiver's output: the history of its status list, Qt's warnings and
// the refusals at start-up, to stderr or the journal through one writer
// thread, so that a reader who does not keep up never holds up the board.
#include <sys/stat.h>
#include <syslog.h>
#include <systemd/sd-journal.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/Ausgabeschreiber.h"
#include "platform/Systemd.h"

namespace vrd4::platform::systemd {

namespace {

// stderr is a file of its own (the log file a sending program opened).
bool stderrIstDatei() {
  struct stat st {};
  return ::fstat(STDERR_FILENO, &st) == 0 && S_ISREG(st.st_mode);
}

// "2026-12-06 17:37:34 " for the given time; empty when it cannot be made.
std::string zeitText(time_t t) {
  struct tm zerlegt {};
  char text[32] = "";
  if (::localtime_r(&t, &zerlegt)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S ", &zerlegt);
  return text;
}

void anStderr(std::string_view block) {
  for (std::size_t i = 0; i < block.size();) {
    const ssize_t n = ::write(STDERR_FILENO, block.data() + i, block.size() - i);
    if (n <= 0) break;
    i += std::size_t(n);
  }
}

// Where the history goes: the journal, or stderr (a log file that is kept
// below its limit).
struct Ziel {
  bool journal = stderrIstJournal();
  bool datei = !journal && stderrIstDatei();
  std::size_t seitPruefung = 0;

  void schreiben(std::string_view block) {
    if (journal) {
      for (std::size_t a = 0; a < block.size();) {
        std::size_t e = block.find('\n', a);
        if (e == std::string_view::npos) e = block.size();
        const std::string zeile(block.substr(a, e - a));
        sd_journal_print(LOG_INFO, "%s", zeile.c_str());
        a = e + 1;
      }
      return;
    }
    // Whole lines in one write, so that lines of two writers never mix.
    anStderr(block);
    // A board that runs for weeks must not fill the disk (or, with /tmp in
    // memory, the memory): past the limit the file starts again from empty.
    // Its size is looked at after every 64 KiB written, not on every line.
    seitPruefung += block.size();
    if (datei && seitPruefung >= (std::size_t{64} << 10)) {
      seitPruefung = 0;
      if (::lseek(STDERR_FILENO, 0, SEEK_CUR) > off_t(kProtokollMaxBytes) && ::ftruncate(STDERR_FILENO, 0) == 0)
        ::lseek(STDERR_FILENO, 0, SEEK_SET);
    }
  }
};

Ausgabeschreiber& schreiber() {
  // Never destroyed: lines given while the program ends still go out, and
  // a writer a reader holds up ends with the process.
  static Ausgabeschreiber* s = [] {
    auto* ziel = new Ziel;
    return new Ausgabeschreiber([ziel](std::string_view block) { ziel->schreiben(block); }, kProtokollWarteBytes,
                                [](std::size_t n) {
                                  return zeitText(::time(nullptr)) + "Protokoll: " + std::to_string(n) +
                                         " Zeilen verworfen (Ausgabe wird nicht schnell genug gelesen)\n";
                                });
  }();
  return *s;
}

struct Protokoll {
  std::string puffer;  // whole lines not yet handed over
  int sammlungen = 0;

  void abgeben() {
    schreiber().geben(std::move(puffer));
    puffer.clear();
  }
};

Protokoll& protokoll() {
  static Protokoll p;
  return p;
}

}  // namespace

bool stderrIstJournal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  struct stat st {};
  if (!stream || ::fstat(STDERR_FILENO, &st) != 0) return false;
  unsigned long long dev = 0, ino = 0;
  if (std::sscanf(stream, "%llu:%llu", &dev, &ino) != 2) return false;
  return dev == st.st_dev && ino == st.st_ino;
}

void protokollieren(std::u16string_view eintrag) {
  static const bool journal = stderrIstJournal();
  const std::string zeile = protokollZeile(eintrag);
  Protokoll& p = protokoll();
  if (!journal) {
    // The time stamp changes once a second: made again only then (localtime
    // looks at the time zone file each time).
    static time_t gestempelt = -1;
    static std::string zeit;
    const time_t jetzt = ::time(nullptr);
    if (jetzt != gestempelt) {
      gestempelt = jetzt;
      zeit = zeitText(jetzt);
    }
    p.puffer += zeit;
  }
  p.puffer += zeile;
  p.puffer += '\n';
  if (p.sammlungen == 0 || p.puffer.size() >= kProtokollSammelBytes) p.abgeben();
}

ProtokollSammlung::ProtokollSammlung() { ++protokoll().sammlungen; }

ProtokollSammlung::~ProtokollSammlung() {
  Protokoll& p = protokoll();
  if (--p.sammlungen == 0 && !p.puffer.empty()) p.abgeben();
}

void ausgeben(std::string_view zeilen, bool zeitstempel) {
  static const bool journal = stderrIstJournal();
  std::string text = journal || !zeitstempel ? std::string() : zeitText(::time(nullptr));
  text += zeilen;
  if (text.empty() || text.back() != '\n') text += '\n';
  schreiber().geben(std::move(text));
}

void fehlerMelden(std::string_view zeile, int rueckgabe) {
  const std::string text(zeile);
  const bool journal = stderrIstJournal();
  // The journal's own entry carries the priority and the status; on the
  // writer's thread too, since its socket may be full.
  Ausgabeschreiber ziel(
      [journal, rueckgabe](std::string_view block) {
        std::string z(block);
        if (!z.empty() && z.back() == '\n') z.pop_back();
        if (!journal) anStderr(block);
        sd_journal_send("MESSAGE=%s", z.c_str(), "PRIORITY=%d", LOG_ERR, "SYSLOG_IDENTIFIER=VRD4Empfaenger",
                        "VRD4_RUECKGABE=%d", rueckgabe, nullptr);
      },
      text.size() + 1, {});
  // What the history had given goes first.
  ausgabeLeeren(Ausgabeschreiber::kAbschiedMs);
  ziel.geben(text + '\n');
  ziel.leeren(std::chrono::milliseconds(Ausgabeschreiber::kAbschiedMs));
}

bool ausgabeLeeren(int fristMs) { return schreiber().leeren(std::chrono::milliseconds(fristMs)); }

}  // namespace vrd4::platform::systemd
