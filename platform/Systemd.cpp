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
  if (gesund && !gesund()) return;
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

void lebenszeichenBedingung(std::function<bool()> gesund) { instanz().gesund = std::move(gesund); }
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

}  // namespace vrd4::platform::systemd
