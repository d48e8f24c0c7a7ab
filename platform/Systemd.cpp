#include "platform/Systemd.h"

#include <sys/stat.h>
#include <syslog.h>
#include <systemd/sd-daemon.h>
#include <systemd/sd-journal.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/Ansi.h"

namespace vrd4::platform::systemd {

void Lebenszeichen::takt(double sekunden) {
  if (!bereit_) {
    bereit_ = true;
    letzter_ = sekunden;
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0) intervall_ = double(usec) / 1e6 / 3;
    sd_notify(0, "READY=1");
    return;
  }
  if (intervall_ <= 0 || sekunden - letzter_ < intervall_) return;
  letzter_ = sekunden;
  sd_notify(0, "WATCHDOG=1");
}

namespace {
Lebenszeichen& instanz() {
  static Lebenszeichen l;
  return l;
}
}  // namespace

void lebenszeichen(double sekunden) { instanz().takt(sekunden); }

double lebenszeichenAbstand() { return instanz().abstand(); }

std::string protokollZeile(std::u16string_view eintrag) {
  const bool zuLang = eintrag.size() > kProtokollMaxZeichen;
  std::u16string z(eintrag.substr(0, kProtokollMaxZeichen));
  // A cut between the halves of a surrogate pair would leave half a character.
  if (zuLang && !z.empty() && z.back() >= 0xD800 && z.back() <= 0xDBFF) z.pop_back();
  // A raw ESC or line break would break the line, or steer a terminal.
  for (char16_t& c : z) {
    if (c < 0x20) c = char16_t(0x2400 + c);
    else if (c == 0x7F) c = u'\u2421';
  }
  if (zuLang) z += u'…';
  return toUtf8(z);
}

namespace {

// stderr is the journal when JOURNAL_STREAM names its device and inode.
bool stderrIstJournal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  struct stat st {};
  if (!stream || ::fstat(STDERR_FILENO, &st) != 0) return false;
  unsigned long long dev = 0, ino = 0;
  if (std::sscanf(stream, "%llu:%llu", &dev, &ino) != 2) return false;
  return dev == st.st_dev && ino == st.st_ino;
}

// stderr is a file of its own (the log file a sending program opened).
bool stderrIstDatei() {
  struct stat st {};
  return ::fstat(STDERR_FILENO, &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

namespace {

struct Protokoll {
  std::string puffer;  // whole lines not yet written
  int sammlungen = 0;
  std::size_t seitPruefung = 0;
  bool datei = false;

  void schreiben() {
    // Whole lines in one write, so that lines of two writers never mix.
    for (std::size_t i = 0; i < puffer.size();) {
      const ssize_t n = ::write(STDERR_FILENO, puffer.data() + i, puffer.size() - i);
      if (n <= 0) break;
      i += std::size_t(n);
    }
    // A board that runs for weeks must not fill the disk (or, with /tmp in
    // memory, the memory): past the limit the file starts again from empty.
    // Its size is looked at after every 64 KiB written, not on every line.
    seitPruefung += puffer.size();
    puffer.clear();
    if (datei && seitPruefung >= (std::size_t{64} << 10)) {
      seitPruefung = 0;
      if (::lseek(STDERR_FILENO, 0, SEEK_CUR) > off_t(kProtokollMaxBytes) && ::ftruncate(STDERR_FILENO, 0) == 0)
        ::lseek(STDERR_FILENO, 0, SEEK_SET);
    }
  }
};

Protokoll& protokoll() {
  static Protokoll p;
  return p;
}

}  // namespace

void protokollieren(std::u16string_view eintrag) {
  static const bool journal = stderrIstJournal();
  static const bool datei = !journal && stderrIstDatei();
  const std::string zeile = protokollZeile(eintrag);
  if (journal) {
    sd_journal_print(LOG_INFO, "%s", zeile.c_str());
    return;
  }
  // The time stamp changes once a second: made again only then (localtime
  // looks at the time zone file each time).
  static time_t gestempelt = -1;
  static char zeit[32] = "";
  const time_t jetzt = ::time(nullptr);
  if (jetzt != gestempelt) {
    gestempelt = jetzt;
    struct tm t {};
    zeit[0] = '\0';
    if (::localtime_r(&jetzt, &t)) std::strftime(zeit, sizeof zeit, "%Y-%m-%d %H:%M:%S ", &t);
  }
  Protokoll& p = protokoll();
  p.datei = datei;
  p.puffer += zeit;
  p.puffer += zeile;
  p.puffer += '\n';
  if (p.sammlungen == 0 || p.puffer.size() >= kProtokollSammelBytes) p.schreiben();
}

ProtokollSammlung::ProtokollSammlung() { ++protokoll().sammlungen; }

ProtokollSammlung::~ProtokollSammlung() {
  Protokoll& p = protokoll();
  if (--p.sammlungen == 0 && !p.puffer.empty()) p.schreiben();
}

}  // namespace vrd4::platform::systemd
