#include "Tafeln.h"

#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "hall/HallenAdresse.h"
#include "hall/MqttKlient.h"
#include "hall/Nachricht.h"

namespace vrd4::vrd4send {
namespace {

using Uhr = std::chrono::steady_clock;

double sekunden() { return std::chrono::duration<double>(Uhr::now().time_since_epoch()).count(); }

// Text right-aligned in `breite` characters (UTF-8: "ungültig" is 8).
std::string rechts(const std::string& t, std::size_t breite) {
  std::size_t zeichen = 0;
  for (unsigned char c : t) zeichen += (c & 0xC0) != 0x80;
  return zeichen >= breite ? t : std::string(breite - zeichen, ' ') + t;
}
std::string links(const std::string& t, std::size_t breite) {
  std::size_t zeichen = 0;
  for (unsigned char c : t) zeichen += (c & 0xC0) != 0x80;
  return zeichen >= breite ? t : t + std::string(breite - zeichen, ' ');
}

// What the row shows: the status, or for one that is offline what it last
// drew (the will carries no number).
const halle::TafelStatus& stand(const Gesehen& g) {
  return !g.status->online && g.zuletzt ? *g.zuletzt : *g.status;
}

// A session with the hall's broker: connects with `z`, subscribes to
// `topics`, hands every message to `nachricht` until `sekunden` after the
// connect, then `danach` (may publish) while connected. 0, or 2/3 with the
// message on stderr.
struct Sitzung {
  halle::MqttEinstellungen e;
  std::unique_ptr<halle::MqttKlient> klient;
};

int verbinden(const HallenZugang& z, const std::function<std::vector<std::string>(const std::string&)>& topics,
              Sitzung& s) {
  const auto adresse = halle::adresseLesen(z.url, false);
  if (const auto* fehler = std::get_if<std::string>(&adresse)) {
    std::fprintf(stderr, "vrd4send: --halle: %s\n", fehler->c_str());
    return 2;
  }
  s.e.adresse = std::get<halle::HallenAdresse>(adresse);
  s.e.clientId = "vrd4send-" + halle::neueKennung();
  s.e.caDatei = z.caDatei;
  s.e.maxNachricht = halle::kMaxStatusBytes;
  if (!z.zugangsDatei.empty()) {
    std::string fehler;
    const auto zugang = halle::zugangLesen(z.zugangsDatei, fehler);
    if (!zugang) {
      std::fprintf(stderr, "vrd4send: %s\n", fehler.c_str());
      return 2;
    }
    std::tie(s.e.benutzer, s.e.passwort) = *zugang;
  }
  s.klient = std::make_unique<halle::MqttKlient>(s.e);
  for (const auto& t : topics(s.e.adresse.halle)) s.klient->abonnieren(t);
  std::string fehler;
  if (!s.klient->starten(fehler, sekunden())) {
    std::fprintf(stderr, "vrd4send: %s\n", fehler.c_str());
    return 2;
  }
  return 0;
}

// Runs the session until `nachSekunden` after the connect (five seconds
// for the connect itself; a refusal or a failed TLS handshake ends it at
// once). Messages go to `nachricht`. 0 when it was connected, else 3 with
// the cause on stderr.
int laufen(Sitzung& s, double nachSekunden,
           const std::function<void(const halle::MqttKlient::Ereignis&)>& nachricht) {
  auto ende = Uhr::now() + std::chrono::seconds(5);
  bool verbunden = false;
  std::string ursache;
  while (Uhr::now() < ende) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const double jetzt = sekunden();
    s.klient->takt(jetzt);
    for (auto& ereignis : s.klient->abholen(jetzt)) {
      using A = halle::MqttKlient::Ereignis::Art;
      if (ereignis.art == A::Verbunden && !verbunden) {
        verbunden = true;
        ende = Uhr::now() + std::chrono::duration_cast<Uhr::duration>(std::chrono::duration<double>(nachSekunden));
      } else if (ereignis.art == A::Getrennt && !verbunden) {
        ursache = ereignis.ursache;
        if (ursache.starts_with("Broker verweigert") || ursache.find("TLS") != std::string::npos) ende = Uhr::now();
      } else if (ereignis.art == A::Nachricht) {
        nachricht(ereignis);
      }
    }
  }
  if (verbunden) return 0;
  const std::string wo = s.e.adresse.host + ":" + std::to_string(s.e.adresse.port);
  const std::string vorne = "Verbindung zum Broker: ";
  if (ursache.starts_with("Broker verweigert: "))
    std::fprintf(stderr, "vrd4send: Broker %s verweigert: %s\n", wo.c_str(), ursache.substr(19).c_str());
  else
    std::fprintf(stderr, "vrd4send: Broker %s nicht erreicht%s%s\n", wo.c_str(), ursache.empty() ? "" : ": ",
                 (ursache.starts_with(vorne) ? ursache.substr(vorne.size()) : ursache).c_str());
  return 3;
}

}  // namespace

std::string tafelnListe(const Gesehen& quelle, const std::map<std::string, Gesehen>& tafeln) {
  std::string z;
  char puffer[512];
  const halle::TafelStatus* q = quelle.status ? &stand(quelle) : nullptr;
  if (q) {
    std::snprintf(puffer, sizeof puffer, "Quelle: %s, Lauf %s, Befehl %llu, %s", quelle.status->online ? "online" : "offline",
                  q->lauf.c_str(), static_cast<unsigned long long>(q->seq), q->zeit.c_str());
    z += puffer;
    if (quelle.status->fremde > 0) z += ", fremde Nachrichten " + std::to_string(quelle.status->fremde);
    z += '\n';
  } else {
    z += "Quelle: unbekannt (kein Status)\n";
  }
  std::snprintf(puffer, sizeof puffer, "%-24s %-8s %10s %12s %11s  %s\n", "TAFEL", "ZUSTAND", "BEFEHL", "RUECKSTAND",
                "GROESSE", "ZEIT");
  z += puffer;
  for (const auto& [name, g] : tafeln) {
    if (!g.status) continue;
    const halle::TafelStatus& t = stand(g);
    // A board that drew no scene yet cannot be counted against any run; one
    // with a run but no publisher status to count against is "unbekannt";
    // one past what the running publisher numbered drew a stranger's.
    std::string rueckstand = "keine Szene";
    if (!t.lauf.empty())
      rueckstand = !q                    ? "unbekannt"
                   : t.lauf != q->lauf   ? "anderer Lauf"
                   : t.seq > q->seq      ? (quelle.status->online ? "ungültig" : "0")
                                         : std::to_string(q->seq - t.seq);
    const std::string zustand = !g.status->online ? "offline" : g.status->doppelt ? "doppelt" : "online";
    z += links(name, 24) + " " + links(zustand, 8) + " " + rechts(std::to_string(t.seq), 10) + " " +
         rechts(rueckstand, 12) + " " + rechts(std::to_string(t.breite) + "x" + std::to_string(t.hoehe), 11) + "  " +
         t.zeit + "\n";
  }
  return z;
}

int tafelnAuflisten(const HallenZugang& z, std::FILE* aus) {
  Sitzung s;
  if (const int r = verbinden(z,
                              [](const std::string& h) {
                                return std::vector{halle::quelleTopic(h), halle::quelleZuletztTopic(h),
                                                   halle::alleTafelnTopic(h), halle::alleZuletztTopic(h)};
                              },
                              s);
      r != 0)
    return r;
  const std::string& halle = s.e.adresse.halle;
  Gesehen quelle;
  std::map<std::string, Gesehen> tafeln;
  // Retained messages come right after the subscription: a second after
  // the connect is plenty.
  const int r = laufen(s, 1.0, [&](const halle::MqttKlient::Ereignis& e) {
    auto status = halle::statusLesen(e.payload);  // unreadable: as if none
    if (e.topic == halle::quelleTopic(halle)) {
      quelle.status = std::move(status);
    } else if (e.topic == halle::quelleZuletztTopic(halle)) {
      quelle.zuletzt = std::move(status);
    } else if (const std::string name = halle::tafelAusTopic(halle, e.topic); !name.empty()) {
      if (tafeln.size() < 10000 || tafeln.contains(name)) tafeln[name].status = std::move(status);
    } else if (const std::string n = halle::tafelAusTopic(halle, e.topic, "zuletzt"); !n.empty()) {
      if (tafeln.size() < 10000 || tafeln.contains(n)) tafeln[n].zuletzt = std::move(status);
    }
  });
  s.klient->beenden(std::nullopt, std::chrono::milliseconds(0));
  if (r != 0) return r;
  std::fputs(tafelnListe(quelle, tafeln).c_str(), aus);
  return 0;
}

int tafelEntfernen(const HallenZugang& z, const std::string& name, std::FILE* aus) {
  if (!halle::gueltigerName(name)) {
    std::fprintf(stderr, "vrd4send: --tafel-entfernen: Tafelname: 1 bis 64 Zeichen aus A-Z a-z 0-9 _ -\n");
    return 2;
  }
  // What the board's status says now.
  const auto lesen = [&](std::optional<halle::TafelStatus>& status, bool& da) {
    Sitzung s;
    if (const int r = verbinden(
            z, [&](const std::string& h) { return std::vector{halle::tafelTopic(h, name)}; }, s);
        r != 0)
      return r;
    const std::string topic = halle::tafelTopic(s.e.adresse.halle, name);
    const int r = laufen(s, 1.0, [&](const halle::MqttKlient::Ereignis& e) {
      if (e.topic != topic) return;
      da = !e.payload.empty();
      status = halle::statusLesen(e.payload);
    });
    s.klient->beenden(std::nullopt, std::chrono::milliseconds(0));
    return r;
  };
  std::optional<halle::TafelStatus> status;
  bool da = false;
  if (const int r = lesen(status, da); r != 0) return r;
  if (status && status->online) {
    std::fprintf(stderr, "vrd4send: Tafel %s ist online; erst die Tafel beenden, dann entfernen\n", name.c_str());
    return 1;
  }
  // Empty retained payloads remove the retained messages.
  Sitzung s;
  if (const int r = verbinden(z, [](const std::string&) { return std::vector<std::string>{}; }, s); r != 0) return r;
  const auto topics = halle::tafelTopics(s.e.adresse.halle, name);
  std::size_t offen = 0;
  bool gesendet = false;
  auto ende = Uhr::now() + std::chrono::seconds(5);
  std::string ursache;
  while (Uhr::now() < ende && (!gesendet || offen > 0)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const double jetzt = sekunden();
    s.klient->takt(jetzt);
    for (auto& e : s.klient->abholen(jetzt)) {
      using A = halle::MqttKlient::Ereignis::Art;
      if (e.art == A::Getrennt) ursache = e.ursache;
      if (e.art == A::Bestaetigt && offen > 0) --offen;
      if (e.art == A::Verbunden && !gesendet) {
        gesendet = true;
        for (const auto& t : topics) offen += s.klient->senden(t, "", true).has_value();
      }
    }
  }
  s.klient->beenden(std::nullopt, std::chrono::milliseconds(0));
  if (!gesendet || offen > 0) {
    std::fprintf(stderr, "vrd4send: Tafel %s nicht entfernt: %s\n", name.c_str(),
                 ursache.empty() ? "keine Antwort des Brokers" : ursache.c_str());
    return 3;
  }
  // A broker that does not let us write acknowledges all the same: look
  // again.
  std::optional<halle::TafelStatus> danach;
  bool nochDa = false;
  if (const int r = lesen(danach, nochDa); r != 0) return r;
  if (nochDa) {
    std::fprintf(stderr,
                 "vrd4send: Tafel %s nicht entfernt: der Broker behielt ihren Status (Schreibrecht auf "
                 "vrd4/%s/tafel/%s/# fehlt?)\n",
                 name.c_str(), s.e.adresse.halle.c_str(), name.c_str());
    return 3;
  }
  std::fprintf(aus, da ? "Tafel %s entfernt\n" : "Tafel %s war nicht gelistet; ihre Topics sind leer\n", name.c_str());
  return 0;
}

}  // namespace vrd4::vrd4send
