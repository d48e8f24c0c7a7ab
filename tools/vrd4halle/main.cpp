// vrd4halle: the live overview of a hall of boards on a web page.
//   vrd4halle --halle mqtt://broker/Halle1 --http 0.0.0.0:8480
// Subscribes to the hall's retained status, thumbnail and status-line
// topics (libmosquitto's own thread) and serves the page (cpp-httplib's
// threads); this thread moves what the broker sent into the model and keeps
// systemd's watchdog fed. Exit status: 0 after SIGTERM/SIGINT, 2 for a bad
// option or file, 1 when the HTTP address cannot be bound.
#include <malloc.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

#include "Optionen.h"
#include "Server.h"
#include "hall/MqttKlient.h"
#include "platform/Systemd.h"

using namespace vrd4;

namespace {

std::mutex weckMutex;
std::condition_variable weckRuf;
bool geweckt = false;

void wecken() {
  {
    std::lock_guard lock(weckMutex);
    geweckt = true;
  }
  weckRuf.notify_one();
}

int64_t jetztSekunden() { return static_cast<int64_t>(std::time(nullptr)); }

void protokoll(const std::string& zeile) {
  std::fprintf(stderr, "vrd4halle: %s\n", zeile.c_str());
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  // The large buffers (a /tafeln.json of a big hall, its compressed copy)
  // go back to the system when freed: a fixed mmap threshold instead of
  // glibc's rising one, and few heaps for the many server threads.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  mallopt(M_ARENA_MAX, 2);
  const auto gelesen = vrd4halle::optionenLesen(std::vector<std::string>(argv + 1, argv + argc));
  if (const auto* fehler = std::get_if<std::string>(&gelesen)) {
    std::fprintf(stderr, "vrd4halle: %s\n\n%s", fehler->c_str(), vrd4halle::kHilfe);
    return 2;
  }
  const auto& o = std::get<vrd4halle::Optionen>(gelesen);
  if (o.hilfe) {
    std::fputs(vrd4halle::kHilfe, stdout);
    return 0;
  }
  if (o.version) {
    std::printf("vrd4halle %s\n", VRD4_VERSION);
    return 0;
  }
  const auto adresse = halle::adresseLesen(o.halle, false);
  if (const auto* fehler = std::get_if<std::string>(&adresse)) {
    std::fprintf(stderr, "vrd4halle: --halle: %s\n", fehler->c_str());
    return 2;
  }
  halle::MqttEinstellungen e;
  e.adresse = std::get<halle::HallenAdresse>(adresse);
  e.clientId = "vrd4halle-" + e.adresse.halle + "-" + std::to_string(::getpid());
  e.caDatei = o.halleCa;
  // Nothing larger than a thumbnail is read; a larger payload is dropped
  // unread and counted.
  e.maxNachricht = uebersicht::kMaxBildBytes;
  e.maxWartendBytes = std::size_t{16} << 20;
  std::string fehler;
  // A credentials file into user and password; false after saying why not.
  const auto zugang = [&](const std::string& datei, const char* option, std::string& benutzer,
                          std::string& passwort) {
    if (datei.empty()) return true;
    const auto z = halle::zugangLesen(datei, fehler);
    if (!z) std::fprintf(stderr, "vrd4halle: %s: %s\n", option, fehler.c_str());
    else std::tie(benutzer, passwort) = *z;
    return z.has_value();
  };
  vrd4halle::ServerEinstellungen se;
  se.adresse = o.http;
  if (!zugang(o.halleZugang, "--halle-zugang", e.benutzer, e.passwort) ||
      !zugang(o.httpZugang, "--http-zugang", se.benutzer, se.passwort))
    return 2;

  // SIGTERM and SIGINT are taken by one thread of their own (sigwait): every
  // other thread, the library's included, starts with them blocked.
  sigset_t signale;
  sigemptyset(&signale);
  sigaddset(&signale, SIGTERM);
  sigaddset(&signale, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signale, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  vrd4halle::Hallenstand stand(e.adresse.halle);
  vrd4halle::Webserver web(stand, se);
  if (!web.binden(fehler)) {
    std::fprintf(stderr, "vrd4halle: %s\n", fehler.c_str());
    return 1;
  }
  halle::MqttKlient klient(e);
  for (const auto& t : uebersicht::abonnements(e.adresse.halle)) klient.abonnieren(t);
  klient.wecken = wecken;
  const auto start = std::chrono::steady_clock::now();
  const auto sekunden = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
  if (!klient.starten(fehler, sekunden())) {
    std::fprintf(stderr, "vrd4halle: %s\n", fehler.c_str());
    return 2;
  }
  // A network thread that is stuck starves systemd's watchdog: the service
  // is started again.
  platform::systemd::lebenszeichenBedingung([&] { return klient.gesund(); });
  std::thread server([&] { web.laufen(); });
  const std::string host = o.http.host.find(':') != std::string::npos ? "[" + o.http.host + "]" : o.http.host;
  std::printf("vrd4halle: Halle %s auf http://%s:%u/\n", e.adresse.halle.c_str(), host.c_str(), unsigned(web.port()));
  std::fflush(stdout);

  bool ende = false;
  std::thread waechter([&] {
    int sig = 0;
    sigwait(&signale, &sig);
    {
      std::lock_guard lock(weckMutex);
      ende = true;
    }
    weckRuf.notify_one();
  });

  // The loop sleeps until the client has something (wecken), its next
  // attempt to connect is due (frist) or the watchdog wants its ping; after
  // whatever ended a connection the client comes back by itself on its
  // schedule (1 s doubling to 30 s), like every other member of the hall.
  for (;;) {
    const double jetzt = sekunden();
    platform::systemd::lebenszeichen(jetzt);
    const double ping = platform::systemd::lebenszeichenAbstand();
    const double bis = std::min(klient.frist(), jetzt + (ping > 0 ? ping / 2 : 60.0));
    {
      std::unique_lock lock(weckMutex);
      weckRuf.wait_for(lock, std::chrono::duration<double>(std::max(0.0, bis - jetzt)), [&] { return geweckt || ende; });
      geweckt = false;
      if (ende) break;
    }
    const double nun = sekunden();
    klient.takt(nun);
    auto ereignisse = klient.abholen(nun);
    stand.aendern([&](uebersicht::Uebersicht& u) {
      bool g = false;
      for (auto& ev : ereignisse) {
        using A = halle::MqttKlient::Ereignis::Art;
        switch (ev.art) {
          case A::Verbunden: g |= u.verbindung(true, "verbunden"); break;
          case A::Getrennt: g |= u.verbindung(false, ev.ursache); break;
          case A::Nachricht: g |= u.nachricht(ev.topic, ev.payload, ev.behalten, jetztSekunden()); break;
          case A::Verworfen: g |= u.verworfen(ev.topic); break;
          case A::Bestaetigt:
          case A::Hinweis: break;
        }
      }
      return g;
    });
    // Each cause once until a connection holds, as the boards say it.
    for (const auto& ev : ereignisse)
      if (!ev.meldung.empty()) protokoll("Halle " + e.adresse.halle + ": " + ev.meldung);
  }
  web.stoppen();
  server.join();
  waechter.join();
  klient.beenden(std::nullopt, std::chrono::milliseconds(0));
  return 0;
}
