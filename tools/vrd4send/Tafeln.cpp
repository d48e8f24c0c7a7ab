#include "Tafeln.h"

#include <unistd.h>

#include <chrono>
#include <thread>

#include "hall/HallenAdresse.h"
#include "hall/MqttKlient.h"
#include "hall/Verbindungstext.h"

namespace vrd4::vrd4send {

std::string tafelnListe(const std::optional<halle::TafelStatus>& quelle,
                        const std::map<std::string, halle::TafelStatus>& tafeln) {
  std::string z;
  char puffer[512];
  if (quelle) {
    std::snprintf(puffer, sizeof puffer, "Quelle: %s, Lauf %s, Befehl %llu, %s\n",
                  quelle->online ? "online" : "offline", quelle->lauf.c_str(),
                  static_cast<unsigned long long>(quelle->seq), quelle->zeit.c_str());
  } else {
    std::snprintf(puffer, sizeof puffer, "Quelle: unbekannt (kein Status)\n");
  }
  z += puffer;
  std::snprintf(puffer, sizeof puffer, "%-24s %-8s %10s %12s %11s  %s\n", "TAFEL", "ZUSTAND", "BEFEHL", "RUECKSTAND",
                "GROESSE", "ZEIT");
  z += puffer;
  for (const auto& [name, t] : tafeln) {
    // A board that drew no scene yet cannot be counted against any run; one
    // with a run but no publisher status to count against is "unbekannt".
    std::string rueckstand = "keine Szene";
    if (!t.lauf.empty())
      rueckstand = !quelle                    ? "unbekannt"
                   : t.lauf == quelle->lauf ? std::to_string(quelle->seq > t.seq ? quelle->seq - t.seq : 0)
                                            : "anderer Lauf";
    const std::string groesse = std::to_string(t.breite) + "x" + std::to_string(t.hoehe);
    std::snprintf(puffer, sizeof puffer, "%-24s %-8s %10llu %12s %11s  %s\n", name.c_str(),
                  t.online ? "online" : "offline", static_cast<unsigned long long>(t.seq), rueckstand.c_str(),
                  groesse.c_str(), t.zeit.c_str());
    z += puffer;
  }
  return z;
}

int tafelnAuflisten(const HallenZugang& z, std::FILE* aus) {
  const auto adresse = halle::adresseLesen(z.url, false);
  if (const auto* fehler = std::get_if<std::string>(&adresse)) {
    std::fprintf(stderr, "vrd4send: --halle: %s\n", fehler->c_str());
    return 2;
  }
  halle::MqttEinstellungen e;
  e.adresse = std::get<halle::HallenAdresse>(adresse);
  e.clientId = "vrd4send-" + std::to_string(::getpid());
  e.caDatei = z.caDatei;
  e.maxNachricht = halle::kMaxStatusBytes;
  if (!z.zugangsDatei.empty()) {
    std::string fehler;
    const auto zugang = halle::zugangLesen(z.zugangsDatei, fehler);
    if (!zugang) {
      std::fprintf(stderr, "vrd4send: %s\n", fehler.c_str());
      return 2;
    }
    std::tie(e.benutzer, e.passwort) = *zugang;
  }
  halle::MqttKlient klient(e);
  klient.abonnieren(halle::quelleTopic(e.adresse.halle));
  klient.abonnieren(halle::alleTafelnTopic(e.adresse.halle));
  std::string fehler;
  if (!klient.starten(fehler)) {
    std::fprintf(stderr, "vrd4send: %s\n", fehler.c_str());
    return 2;
  }
  // Retained messages come right after the subscription: a second after
  // the connect is plenty; five seconds for the connect itself.
  using Uhr = std::chrono::steady_clock;
  auto ende = Uhr::now() + std::chrono::seconds(5);
  bool verbunden = false;
  int verweigert = 0;
  std::optional<halle::TafelStatus> quelle;
  std::map<std::string, halle::TafelStatus> tafeln;
  while (Uhr::now() < ende) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (auto& ereignis : klient.abholen()) {
      using A = halle::MqttKlient::Ereignis::Art;
      if (ereignis.art == A::Verbunden) {
        if (ereignis.rc != 0) {
          verweigert = ereignis.rc;
          ende = Uhr::now();
        } else if (!verbunden) {
          verbunden = true;
          ende = Uhr::now() + std::chrono::seconds(1);
        }
      } else if (ereignis.art == A::Nachricht) {
        const auto status = halle::statusLesen(ereignis.payload);
        if (!status) continue;
        if (ereignis.topic == halle::quelleTopic(e.adresse.halle))
          quelle = *status;
        else if (const std::string name = halle::tafelAusTopic(e.adresse.halle, ereignis.topic); !name.empty() &&
                                                                                                 tafeln.size() < 10000)
          tafeln[name] = *status;
      }
    }
  }
  klient.beenden(std::nullopt, std::chrono::milliseconds(0));
  if (!verbunden) {
    std::fprintf(stderr, "vrd4send: Broker %s:%u %s\n", e.adresse.host.c_str(), unsigned(e.adresse.port),
                 verweigert ? ("verweigert: " + halle::verweigerungsText(verweigert)).c_str() : "nicht erreicht");
    return 3;
  }
  std::fputs(tafelnListe(quelle, tafeln).c_str(), aus);
  return 0;
}

}  // namespace vrd4::vrd4send
