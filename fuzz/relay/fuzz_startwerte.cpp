// The settings file reader: any bytes give six fields without a crash, and
// what it reads survives writing and reading again.
#include <cstddef>
#include <cstdint>

#include "app/Startwerte.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using vrd4::app::Startwerte;
  Startwerte w;
  vrd4::app::startwerteAusText(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), w);
  // Texts without a field end (comma, CR, LF) and without a leading blank or
  // quote come back unchanged.
  auto schlicht = [](const QString& t) {
    return !t.contains(QLatin1Char(',')) && !t.contains(QLatin1Char('\r')) && !t.contains(QLatin1Char('\n')) &&
           !t.startsWith(QLatin1Char(' ')) && !t.startsWith(QLatin1Char('\t')) && !t.startsWith(QLatin1Char('"')) &&
           !t.endsWith(QLatin1Char(' ')) && !t.endsWith(QLatin1Char('\t'));
  };
  if (!schlicht(w.adresse) || !schlicht(w.port) || !schlicht(w.clientFlag) || !schlicht(w.serverFlag)) return 0;
  if (w.adresse.isEmpty() || w.port.isEmpty() || w.clientFlag.isEmpty() || w.serverFlag.isEmpty()) return 0;
  Startwerte zurueck;
  vrd4::app::startwerteAusText(vrd4::app::startwerteText(w), zurueck);
  if (!(zurueck == w)) __builtin_trap();
  return 0;
}
