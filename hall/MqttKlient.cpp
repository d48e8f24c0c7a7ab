#include "hall/MqttKlient.h"

#include <mosquitto.h>

#include "hall/Verbindungstext.h"

#include <fstream>
#include <thread>

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

MqttKlient::MqttKlient(MqttEinstellungen e) : e_(std::move(e)) {
  bibliothekAnfangen();
  mosq_ = mosquitto_new(e_.clientId.c_str(), true, this);
  if (!mosq_) return;
  mosquitto_connect_callback_set(mosq_, &MqttKlient::beiVerbindung);
  mosquitto_disconnect_callback_set(mosq_, &MqttKlient::beiTrennung);
  mosquitto_message_callback_set(mosq_, &MqttKlient::beiNachricht);
  mosquitto_publish_callback_set(mosq_, &MqttKlient::beiBestaetigung);
  mosquitto_reconnect_delay_set(mosq_, 1, 4, true);
  // Small messages at once: with Nagle a status behind an acknowledgement
  // waited for the broker's delayed ACK (about 40 ms).
  mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
}

MqttKlient::~MqttKlient() {
  if (laeuft_) beenden(std::nullopt, std::chrono::milliseconds(0));
  if (mosq_) mosquitto_destroy(mosq_);
}

bool MqttKlient::starten(std::string& fehler) {
  if (!mosq_) {
    fehler = "MQTT-Bibliothek: kein Client";
    return false;
  }
  if (e_.adresse.tls) {
    const char* ca = e_.caDatei.empty() ? nullptr : e_.caDatei.c_str();
    const char* capfad = e_.caDatei.empty() ? "/etc/ssl/certs" : nullptr;
    if (const int rc = mosquitto_tls_set(mosq_, ca, capfad, nullptr, nullptr, nullptr); rc != MOSQ_ERR_SUCCESS) {
      fehler = "TLS: " + fehlerText(rc) + " (" + e_.caDatei + ")";
      return false;
    }
  }
  if (!e_.benutzer.empty())
    mosquitto_username_pw_set(mosq_, e_.benutzer.c_str(), e_.passwort.empty() ? nullptr : e_.passwort.c_str());
  if (!e_.willeTopic.empty())
    mosquitto_will_set(mosq_, e_.willeTopic.c_str(), static_cast<int>(e_.willePayload.size()),
                       e_.willePayload.data(), 1, true);
  // The first connect may fail (no broker yet): the thread tries again.
  mosquitto_connect_async(mosq_, e_.adresse.host.c_str(), e_.adresse.port, e_.keepaliveSekunden);
  if (const int rc = mosquitto_loop_start(mosq_); rc != MOSQ_ERR_SUCCESS) {
    fehler = "MQTT-Thread: " + fehlerText(rc);
    return false;
  }
  laeuft_ = true;
  return true;
}

void MqttKlient::abonnieren(const std::string& topic) {
  bool jetzt = false;
  {
    std::lock_guard lock(mutex_);
    abos_.push_back(topic);
    jetzt = verbunden_;
  }
  if (jetzt) mosquitto_subscribe(mosq_, nullptr, topic.c_str(), 1);
}

std::optional<int> MqttKlient::senden(const std::string& topic, std::string_view payload, bool retain) {
  if (!mosq_ || payload.size() > 256u << 20) return std::nullopt;
  int mid = 0;
  const int rc = mosquitto_publish(mosq_, &mid, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1,
                                   retain);
  if (rc != MOSQ_ERR_SUCCESS) return std::nullopt;
  return mid;
}

std::deque<MqttKlient::Ereignis> MqttKlient::abholen() {
  std::lock_guard lock(mutex_);
  std::deque<Ereignis> r;
  r.swap(wartend_);
  wartendBytes_ = 0;
  return r;
}

bool MqttKlient::verbunden() const {
  std::lock_guard lock(mutex_);
  return verbunden_;
}

void MqttKlient::beenden(std::optional<std::pair<std::string, std::string>> letzte,
                         std::chrono::milliseconds warten) {
  if (!laeuft_) return;
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
  mosquitto_disconnect(mosq_);
  mosquitto_loop_stop(mosq_, false);
  laeuft_ = false;
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
  std::vector<std::string> abos;
  {
    std::lock_guard lock(k->mutex_);
    k->verbunden_ = rc == 0;
    abos = k->abos_;
  }
  if (rc == 0)
    for (const auto& t : abos) mosquitto_subscribe(m, nullptr, t.c_str(), 1);
  k->melden(Ereignis::von(Ereignis::Art::Verbunden, rc));
}

void MqttKlient::beiTrennung(mosquitto*, void* obj, int rc) {
  auto* k = static_cast<MqttKlient*>(obj);
  {
    std::lock_guard lock(k->mutex_);
    k->verbunden_ = false;
  }
  k->melden(Ereignis::von(Ereignis::Art::Getrennt, rc));
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
  static_cast<MqttKlient*>(obj)->melden(Ereignis::von(Ereignis::Art::Bestaetigt, 0, mid));
}

}  // namespace vrd4::halle
