#include "hall/MqttKlient.h"

#include <mosquitto.h>

#include <cerrno>
#include <fstream>

#include "hall/Verbindungstext.h"

namespace vrd4::halle {
namespace {

void bibliothekAnfangen() {
  static const int einmal = mosquitto_lib_init();
  (void)einmal;
}

std::string zeileOhneEnde(std::string z) {
  while (!z.empty() && (z.back() == '\r' || z.back() == '\n')) z.pop_back();
  return z;
}

MqttKlient::Ereignis ereignis(MqttKlient::Ereignis::Art art) {
  MqttKlient::Ereignis e;
  e.art = art;
  return e;
}

}  // namespace

std::optional<std::pair<std::string, std::string>> zugangLesen(const std::string& datei, std::string& fehler) {
  std::ifstream f(datei, std::ios::binary);
  if (!f) {
    fehler = "Zugangsdatei nicht lesbar: " + datei;
    return std::nullopt;
  }
  std::string inhalt(4097, '\0');
  f.read(inhalt.data(), 4097);
  inhalt.resize(static_cast<std::size_t>(f.gcount()));
  if (inhalt.size() > 4096) {
    fehler = "Zugangsdatei länger als 4 KiB: " + datei;
    return std::nullopt;
  }
  const std::size_t nl = inhalt.find('\n');
  std::string benutzer = zeileOhneEnde(inhalt.substr(0, nl));
  std::string passwort = nl == std::string::npos ? std::string() : inhalt.substr(nl + 1);
  passwort = zeileOhneEnde(passwort.substr(0, passwort.find('\n')));
  if (benutzer.empty()) {
    fehler = "Zugangsdatei ohne Benutzernamen in der ersten Zeile: " + datei;
    return std::nullopt;
  }
  return std::pair{benutzer, passwort};
}

MqttKlient::MqttKlient(MqttEinstellungen e) : e_(std::move(e)) { bibliothekAnfangen(); }

MqttKlient::~MqttKlient() {
  if (gestartet_) beenden(std::nullopt, std::chrono::milliseconds(0));
  if (mosq_) mosquitto_destroy(mosq_);
}

// A fresh library client with every option; each return code checked.
bool MqttKlient::einrichten(std::string& fehler) {
  if (mosq_) mosquitto_destroy(mosq_);
  mosq_ = mosquitto_new(e_.clientId.c_str(), true, this);
  if (!mosq_) {
    fehler = "MQTT-Bibliothek: kein Client (" + systemfehlerText(errno) + ")";
    return false;
  }
  // Our own thread runs the loop: publishing from the owner only queues.
  mosquitto_threaded_set(mosq_, true);
  mosquitto_connect_callback_set(mosq_, &MqttKlient::beiVerbindung);
  mosquitto_disconnect_callback_set(mosq_, &MqttKlient::beiTrennung);
  mosquitto_message_callback_set(mosq_, &MqttKlient::beiNachricht);
  mosquitto_publish_callback_set(mosq_, &MqttKlient::beiBestaetigung);
  mosquitto_subscribe_callback_set(mosq_, &MqttKlient::beiAbonnement);
  mosquitto_log_callback_set(mosq_, &MqttKlient::beiProtokoll);
  // Small messages at once: with Nagle a status behind an acknowledgement
  // waited for the broker's delayed ACK (about 40 ms).
  mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
  if (e_.adresse.tls) {
    const char* ca = e_.caDatei.empty() ? nullptr : e_.caDatei.c_str();
    const char* capfad = e_.caDatei.empty() ? "/etc/ssl/certs" : nullptr;
    if (const int rc = mosquitto_tls_set(mosq_, ca, capfad, nullptr, nullptr, nullptr); rc != MOSQ_ERR_SUCCESS) {
      fehler = "TLS: " + fehlerText(rc) + " (" + (e_.caDatei.empty() ? std::string(capfad) : e_.caDatei) + ")";
      return false;
    }
  }
  if (!e_.benutzer.empty()) {
    if (const int rc = mosquitto_username_pw_set(mosq_, e_.benutzer.c_str(),
                                                 e_.passwort.empty() ? nullptr : e_.passwort.c_str());
        rc != MOSQ_ERR_SUCCESS) {
      fehler = "Benutzername und Passwort: " + fehlerText(rc);
      return false;
    }
  }
  if (!e_.willeTopic.empty()) {
    if (const int rc = mosquitto_will_set(mosq_, e_.willeTopic.c_str(), static_cast<int>(e_.willePayload.size()),
                                          e_.willePayload.data(), 1, true);
        rc != MOSQ_ERR_SUCCESS) {
      fehler = "letzter Wille: " + fehlerText(rc);
      return false;
    }
  }
  return true;
}

bool MqttKlient::starten(std::string& fehler, double jetzt) {
  if (gestartet_) return true;
  if (!einrichten(fehler)) return false;
  gestartet_ = true;
  gesehenUm_ = jetzt;
  aufsicht_.versuch(jetzt);
  versuchen_ = true;
  fadenStarten();
  return true;
}

void MqttKlient::fadenStarten() {
  {
    std::lock_guard lock(steuer_);
    ende_ = false;
  }
  lebt_ = true;
  faden_ = std::thread([this] { faden(); });
}

// The network thread: an attempt when the owner asks for one, then
// libmosquitto's loop while the socket lives; whatever ends either is an
// event, and the thread waits for the next attempt.
void MqttKlient::faden() {
  try {
    bool erstes = true, offen = false;
    for (;;) {
      {
        std::unique_lock lock(steuer_);
        if (!offen) {
          beschaeftigt_ = false;
          steuerCv_.wait(lock, [this] { return ende_ || versuchen_; });
        }
        if (ende_) break;
        beschaeftigt_ = true;
        if (!offen) versuchen_ = false;
      }
      ++runden_;
      if (!offen) {
        connack_ = 0;
        trennRc_ = 0;
        warVerbunden_ = false;
        tlsGrund_.clear();
        errno = 0;
        // The first attempt sets the address (and the library's wake-up
        // pipe); later ones reuse them. The name lookup and the TCP connect
        // block this thread (libmosquitto's non-blocking connect would start
        // the TLS handshake before the TCP connect is through, and the
        // handshake then stalls); the handshake and the CONNACK come in the
        // loop.
        const int rc = erstes ? mosquitto_connect(mosq_, e_.adresse.host.c_str(), e_.adresse.port,
                                                  e_.keepaliveSekunden)
                              : mosquitto_reconnect(mosq_);
        const int nr = errno;
        if (rc != MOSQ_ERR_INVAL) erstes = false;
        if (rc != MOSQ_ERR_SUCCESS) {
          gescheitert(rc, nr);
          continue;
        }
        offen = true;
      }
      errno = 0;
      const int rc = mosquitto_loop(mosq_, 1000, 1);
      const int nr = errno;
      if (rc != MOSQ_ERR_SUCCESS || mosquitto_socket(mosq_) < 0) {
        offen = false;
        bool eigenes = false;
        {
          std::lock_guard lock(steuer_);
          eigenes = ende_;
        }
        if (!eigenes) gescheitert(rc != MOSQ_ERR_SUCCESS ? rc : trennRc_ ? trennRc_ : MOSQ_ERR_CONN_LOST, nr);
      }
    }
  } catch (...) {
    // Whatever it was, the owner's takt() sees the thread gone and starts a
    // new one.
  }
  beschaeftigt_ = false;
  {
    std::lock_guard lock(mutex_);
    verbunden_ = false;
  }
  lebt_ = false;
  std::function<void()> w;
  {
    std::lock_guard lock(mutex_);
    w = wecken;
  }
  if (w) w();
}

void MqttKlient::gescheitert(int rc, int fehlerNr) {
  {
    std::lock_guard lock(mutex_);
    verbunden_ = false;
  }
  Ereignis e = ereignis(Ereignis::Art::Getrennt);
  e.ursache = ursacheText(connack_, rc, fehlerNr, tlsGrund_, warVerbunden_);
  melden(std::move(e));
}

void MqttKlient::anstossen() {
  {
    std::lock_guard lock(steuer_);
    versuchen_ = true;
  }
  steuerCv_.notify_all();
}

void MqttKlient::takt(double jetzt) {
  if (!gestartet_ || beendet_) return;
  // A thread that ended by itself is started again, with a fresh client.
  if (!lebt_) {
    if (faden_.joinable()) faden_.join();
    std::string fehler;
    Ereignis h = ereignis(Ereignis::Art::Hinweis);
    if (einrichten(fehler)) {
      h.meldung = "MQTT-Thread beendet, neu gestartet";
      aufsicht_.versuch(jetzt);
      versuchen_ = true;
      fadenStarten();
    } else {
      h.meldung = "MQTT-Thread beendet, Neustart gescheitert: " + fehler;
      gesund_ = false;
    }
    gesehenUm_ = jetzt;
    melden(std::move(h));
    return;
  }
  // One busy for too long without coming round is stuck (in the library):
  // said once, and the watchdog learns it.
  const uint64_t r = runden_;
  if (r != gesehen_ || !beschaeftigt_) {
    gesehen_ = r;
    gesehenUm_ = jetzt;
    if (haengtGesagt_) gesund_ = true;
    haengtGesagt_ = false;
  } else if (jetzt - gesehenUm_ >= kHaengtSekunden && !haengtGesagt_) {
    haengtGesagt_ = true;
    gesund_ = false;
    Ereignis h = ereignis(Ereignis::Art::Hinweis);
    h.meldung = "MQTT-Thread hängt seit " + std::to_string(static_cast<int>(jetzt - gesehenUm_)) + " s";
    melden(std::move(h));
  }
  if (aufsicht_.faellig(jetzt)) {
    aufsicht_.versuch(jetzt);
    anstossen();
  }
}

double MqttKlient::frist() const {
  if (!gestartet_ || beendet_) return Verbindungsaufsicht::kNie;
  double f = aufsicht_.frist();
  // While the thread is busy, it is looked at now and then.
  if (beschaeftigt_ && !haengtGesagt_ && gesehenUm_ + kHaengtSekunden < f) f = gesehenUm_ + kHaengtSekunden;
  return f;
}

void MqttKlient::abonnieren(const std::string& topic) {
  bool jetzt = false;
  {
    std::lock_guard lock(mutex_);
    abos_.push_back(topic);
    jetzt = verbunden_;
  }
  if (jetzt && mosq_) mosquitto_subscribe(mosq_, nullptr, topic.c_str(), 1);
}

std::optional<int> MqttKlient::senden(const std::string& topic, std::string_view payload, bool retain) {
  if (!mosq_ || !lebt_ || payload.size() > 256u << 20) return std::nullopt;
  int mid = 0;
  const int rc = mosquitto_publish(mosq_, &mid, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1,
                                   retain);
  if (rc != MOSQ_ERR_SUCCESS) return std::nullopt;
  return mid;
}

std::deque<MqttKlient::Ereignis> MqttKlient::abholen(double jetzt) {
  std::deque<Ereignis> r;
  {
    std::lock_guard lock(mutex_);
    r.swap(wartend_);
    wartendBytes_ = 0;
  }
  for (auto& e : r) {
    if (e.art == Ereignis::Art::Verbunden) e.meldung = aufsicht_.verbunden(jetzt);
    else if (e.art == Ereignis::Art::Getrennt) e.meldung = aufsicht_.verloren(jetzt, e.ursache);
  }
  return r;
}

bool MqttKlient::verbunden() const {
  std::lock_guard lock(mutex_);
  return verbunden_;
}

void MqttKlient::beenden(std::optional<std::pair<std::string, std::string>> letzte,
                         std::chrono::milliseconds warten) {
  if (!gestartet_ || beendet_) return;
  beendet_ = true;
  if (letzte && verbunden()) {
    if (const auto mid = senden(letzte->first, letzte->second, true)) {
      const auto ende = std::chrono::steady_clock::now() + warten;
      bool bestaetigt = false;
      while (!bestaetigt && std::chrono::steady_clock::now() < ende) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::lock_guard lock(mutex_);
        for (const auto& e : wartend_)
          if (e.art == Ereignis::Art::Bestaetigt && e.mid == *mid) bestaetigt = true;
      }
    }
  }
  {
    std::lock_guard lock(mutex_);
    wecken = nullptr;  // the owner may be going: nothing more reaches it
  }
  {
    std::lock_guard lock(steuer_);
    ende_ = true;
  }
  steuerCv_.notify_all();
  if (mosq_) mosquitto_disconnect(mosq_);  // wakes the loop
  // A thread inside a name lookup cannot be interrupted: one that does not
  // end within two seconds is left behind with its client (the process is
  // usually ending) rather than holding up the owner.
  const auto bis = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (lebt_ && std::chrono::steady_clock::now() < bis) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (faden_.joinable()) {
    if (lebt_) {
      faden_.detach();
      mosq_ = nullptr;
    } else {
      faden_.join();
    }
  }
}

void MqttKlient::melden(Ereignis e) {
  bool warLeer = false;
  std::function<void()> w;
  {
    std::lock_guard lock(mutex_);
    if (e.art == Ereignis::Art::Nachricht && wartendBytes_ + e.payload.size() > e_.maxWartendBytes) {
      e.art = Ereignis::Art::Verworfen;
      e.payload.clear();
    }
    wartendBytes_ += e.payload.size();
    warLeer = wartend_.empty();
    wartend_.push_back(std::move(e));
    if (warLeer) w = wecken;
  }
  if (w) w();
}

void MqttKlient::beiVerbindung(mosquitto* m, void* obj, int rc) {
  auto* k = static_cast<MqttKlient*>(obj);
  if (rc != 0) {
    k->connack_ = rc;  // the loop ends the attempt; its event names this
    return;
  }
  k->warVerbunden_ = true;
  std::vector<std::string> abos;
  {
    std::lock_guard lock(k->mutex_);
    k->verbunden_ = true;
    abos = k->abos_;
  }
  k->aboMids_.clear();
  for (const auto& t : abos) {
    int mid = 0;
    if (const int s = mosquitto_subscribe(m, &mid, t.c_str(), 1); s != MOSQ_ERR_SUCCESS) {
      Ereignis h = ereignis(Ereignis::Art::Hinweis);
      h.meldung = "Abonnement von " + t + " gescheitert: " + fehlerText(s);
      k->melden(std::move(h));
    } else {
      k->aboMids_[mid] = t;
    }
  }
  k->melden(ereignis(Ereignis::Art::Verbunden));
}

void MqttKlient::beiTrennung(mosquitto*, void* obj, int rc) {
  auto* k = static_cast<MqttKlient*>(obj);
  k->trennRc_ = rc;
  std::lock_guard lock(k->mutex_);
  k->verbunden_ = false;
}

void MqttKlient::beiNachricht(mosquitto*, void* obj, const mosquitto_message* m) {
  auto* k = static_cast<MqttKlient*>(obj);
  Ereignis e;
  e.topic = m->topic ? m->topic : "";
  e.behalten = m->retain;
  e.groesse = m->payloadlen > 0 ? static_cast<std::size_t>(m->payloadlen) : 0;
  if (e.groesse > k->e_.maxNachricht) {
    e.art = Ereignis::Art::Verworfen;  // not even copied
  } else {
    e.art = Ereignis::Art::Nachricht;
    e.payload.assign(static_cast<const char*>(m->payload), e.groesse);
  }
  k->melden(std::move(e));
}

void MqttKlient::beiBestaetigung(mosquitto*, void* obj, int mid) {
  Ereignis e = ereignis(Ereignis::Art::Bestaetigt);
  e.mid = mid;
  static_cast<MqttKlient*>(obj)->melden(std::move(e));
}

void MqttKlient::beiAbonnement(mosquitto*, void* obj, int mid, int anzahl, const int* qos) {
  auto* k = static_cast<MqttKlient*>(obj);
  const auto it = k->aboMids_.find(mid);
  if (it == k->aboMids_.end()) return;
  for (int i = 0; i < anzahl; ++i)
    if (qos[i] > 2) {  // 0x80: refused (an ACL that lets us not read it)
      Ereignis h = ereignis(Ereignis::Art::Hinweis);
      h.meldung = "Broker verweigert das Abonnement von " + it->second;
      k->melden(std::move(h));
    }
  k->aboMids_.erase(it);
}

// libmosquitto writes the reason OpenSSL gave for a failed handshake to its
// log only ("OpenSSL Error[0]: error:0A000086:SSL routines::certificate
// verify failed"): the first one of an attempt is kept, its last part.
void MqttKlient::beiProtokoll(mosquitto*, void* obj, int stufe, const char* text) {
  auto* k = static_cast<MqttKlient*>(obj);
  if (stufe != MOSQ_LOG_ERR || !text || !k->tlsGrund_.empty()) return;
  const std::string_view t(text);
  if (!t.starts_with("OpenSSL Error")) return;
  std::string_view grund = t.substr(t.rfind(':') + 1);
  while (!grund.empty() && grund.front() == ' ') grund.remove_prefix(1);
  k->tlsGrund_ = std::string(grund.substr(0, 200));
}

}  // namespace vrd4::halle
