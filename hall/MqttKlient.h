#pragma once
// One connection to the hall's broker, driven by libmosquitto's own network
// thread (mosquitto_loop_start): name lookup, connect, TLS handshake and
// reconnects never hold up the caller's thread. What the thread learns
// (connected, gone, a message, an acknowledgement) waits in a queue that the
// owner empties with abholen() on its own thread; `wecken` tells it when the
// queue stops being empty. Reconnects by itself (1 s, doubling to 4 s) and
// subscribes again on every connect.
//
// Bounds: an incoming payload over maxNachricht is dropped unread, and so
// is one that would take the queue past maxWartendBytes; both leave a
// Verworfen event. Outgoing messages are QoS 1; the library keeps each
// until the broker acknowledges it — the owner bounds how many (halle::
// Verleger).
//
// senden/abonnieren/abholen/beenden: one owner thread. Std and libmosquitto
// only.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hall/HallenAdresse.h"

struct mosquitto;
struct mosquitto_message;

namespace vrd4::halle {

struct MqttEinstellungen {
  HallenAdresse adresse;
  std::string clientId;
  std::string caDatei;               // mqtts: the CA certificate file (empty: the system's /etc/ssl/certs)
  std::string benutzer, passwort;    // empty: anonymous
  std::string willeTopic, willePayload;  // the last will (retained, QoS 1); empty: none
  std::size_t maxNachricht = std::size_t{64} << 20;
  std::size_t maxWartendBytes = std::size_t{256} << 20;
  int keepaliveSekunden = 10;
};

// Reads a credentials file: the user name on the first line, the password
// on the second (CR LF or LF; at most 4 KiB). nullopt with a message when it
// cannot be read.
std::optional<std::pair<std::string, std::string>> zugangLesen(const std::string& datei, std::string& fehler);

class MqttKlient {
 public:
  struct Ereignis {
    enum class Art { Verbunden, Getrennt, Nachricht, Bestaetigt, Verworfen };
    Art art = Art::Nachricht;
    int rc = 0;        // Verbunden: the broker's answer (0: accepted); Getrennt: the reason
    int mid = 0;       // Bestaetigt
    std::size_t groesse = 0;  // Nachricht, Verworfen: payload bytes
    bool behalten = false;    // Nachricht: a retained message the broker sent for a new subscription, not live
    std::string topic, payload;
    static Ereignis von(Art art, int rc, int mid = 0) {
      Ereignis e;
      e.art = art;
      e.rc = rc;
      e.mid = mid;
      return e;
    }
  };

  explicit MqttKlient(MqttEinstellungen e);
  // Stops the network thread (without a last message).
  ~MqttKlient();
  MqttKlient(const MqttKlient&) = delete;
  MqttKlient& operator=(const MqttKlient&) = delete;

  // Starts the network thread and the first connect. False with a German
  // message for what stops it for good (a TLS file that is missing, a
  // library error); a broker that is not there yet is no error.
  bool starten(std::string& fehler);
  // Subscribed with QoS 1 on every connect from now on.
  void abonnieren(const std::string& topic);
  // QoS 1. The message id, or nullopt when the library refused it.
  std::optional<int> senden(const std::string& topic, std::string_view payload, bool retain);
  std::deque<Ereignis> abholen();
  bool verbunden() const;

  // Publishes `letzte` (topic, payload; retained) if connected, waits up to
  // `warten` for the broker's acknowledgement, disconnects and stops the
  // thread. Once.
  void beenden(std::optional<std::pair<std::string, std::string>> letzte, std::chrono::milliseconds warten);

  // Called on the network thread when an event waits and none did before.
  // Set before starten().
  std::function<void()> wecken;

 private:
  static void beiVerbindung(mosquitto*, void* obj, int rc);
  static void beiTrennung(mosquitto*, void* obj, int rc);
  static void beiNachricht(mosquitto*, void* obj, const mosquitto_message* m);
  static void beiBestaetigung(mosquitto*, void* obj, int mid);
  void melden(Ereignis e);

  MqttEinstellungen e_;
  mosquitto* mosq_ = nullptr;
  bool laeuft_ = false;
  mutable std::mutex mutex_;
  std::deque<Ereignis> wartend_;
  std::size_t wartendBytes_ = 0;
  std::vector<std::string> abos_;
  bool verbunden_ = false;
};

}  // namespace vrd4::halle
