#pragma once
// One connection to the hall's broker, on a network thread of its own: the
// name lookup, the connect and the TLS handshake never hold up the owner's
// thread. What the thread learns (connected, gone and why, a message, an
// acknowledgement) waits in a queue that the owner empties with abholen() on
// its own thread; `wecken` tells it when the queue stops being empty.
//
// The connection always comes back. The thread runs libmosquitto's loop
// itself, checks every return code, and after whatever ended an attempt or
// a connection (a broker gone, a TLS failure, a refusal, a lost name
// lookup) waits for the owner's takt() to start the next attempt, on the
// schedule of a Verbindungsaufsicht (1 s doubling to 30 s; each cause said
// once). takt() also watches the thread: one that died is started again
// with a fresh library client; one that has not come round for
// kHaengtSekunden while busy makes gesund() false, so the receiver stops
// feeding systemd's watchdog. Subscriptions are made again on every
// connect; a subscription the broker refuses is said once.
//
// Bounds: an incoming payload over maxNachricht is dropped unread, and so
// is one that would take the queue past maxWartendBytes; both leave a
// Verworfen event. Outgoing messages are QoS 1; the library keeps each
// until the broker acknowledges it — the owner bounds how many (halle::
// Verleger).
//
// Everything but the callbacks: one owner thread. Std and libmosquitto only.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "hall/Aufsicht.h"
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
  // A busy network thread that has not come round for this long is stuck:
  // an attempt may take a name lookup (about 30 s at most) and a TCP
  // connect to a host that drops packets (the system's two minutes).
  static constexpr double kHaengtSekunden = 300;

  struct Ereignis {
    // Verbunden: the broker accepted us. Getrennt: an attempt failed or the
    // connection ended, `ursache` says why. Hinweis: the supervision has
    // something to say (the thread was started again, it is stuck, a
    // subscription was refused).
    enum class Art { Verbunden, Getrennt, Nachricht, Bestaetigt, Verworfen, Hinweis };
    Art art = Art::Nachricht;
    int mid = 0;              // Bestaetigt
    std::size_t groesse = 0;  // Nachricht, Verworfen: payload bytes
    bool behalten = false;    // Nachricht: a retained message the broker sent for a new subscription, not live
    std::string topic, payload;
    std::string ursache;  // Getrennt: the cause as one German line (ursacheText)
    // Verbunden, Getrennt, Hinweis: the line for the status list (without
    // the "Halle: " in front); empty when it was said already.
    std::string meldung;
  };

  explicit MqttKlient(MqttEinstellungen e);
  // Stops the network thread (without a last message).
  ~MqttKlient();
  MqttKlient(const MqttKlient&) = delete;
  MqttKlient& operator=(const MqttKlient&) = delete;

  // Starts the network thread with the first attempt. False with a German
  // message for what stops it for good (a TLS file that is missing, a
  // library error); a broker that is not there yet is no error.
  bool starten(std::string& fehler, double jetzt);
  // Subscribed with QoS 1 on every connect from now on.
  void abonnieren(const std::string& topic);
  // QoS 1. The message id, or nullopt when the library refused it.
  std::optional<int> senden(const std::string& topic, std::string_view payload, bool retain);
  // The events so far, Verbunden and Getrennt with their line decided.
  std::deque<Ereignis> abholen(double jetzt);
  // Starts the next attempt when it is due, watches the thread.
  void takt(double jetzt);
  // When takt() has something to do next (Verbindungsaufsicht::kNie: only
  // when an event comes).
  double frist() const;
  bool verbunden() const;
  // The network thread runs (or could be started again) and is not stuck.
  bool gesund() const { return gesund_; }

  // Publishes `letzte` (topic, payload; retained) if connected, waits up to
  // `warten` for the broker's acknowledgement, disconnects and stops the
  // thread. Once.
  void beenden(std::optional<std::pair<std::string, std::string>> letzte, std::chrono::milliseconds warten);

  // Called on the network thread when an event waits and none did before.
  // Set before starten().
  std::function<void()> wecken;

 private:
  bool einrichten(std::string& fehler);
  void fadenStarten();
  void faden();
  void anstossen();
  void gescheitert(int rc, int fehlerNr);
  static void beiVerbindung(mosquitto*, void* obj, int rc);
  static void beiTrennung(mosquitto*, void* obj, int rc);
  static void beiNachricht(mosquitto*, void* obj, const mosquitto_message* m);
  static void beiBestaetigung(mosquitto*, void* obj, int mid);
  static void beiAbonnement(mosquitto*, void* obj, int mid, int anzahl, const int* qos);
  static void beiProtokoll(mosquitto*, void* obj, int stufe, const char* text);
  void melden(Ereignis e);

  MqttEinstellungen e_;
  mosquitto* mosq_ = nullptr;
  bool gestartet_ = false, beendet_ = false;

  // The owner's side.
  Verbindungsaufsicht aufsicht_;
  uint64_t gesehen_ = 0;     // runden_ as takt() last saw it
  double gesehenUm_ = 0;     // and when it changed
  bool haengtGesagt_ = false;
  bool gesund_ = true;

  // Between the threads.
  std::thread faden_;
  std::mutex steuer_;
  std::condition_variable steuerCv_;
  bool ende_ = false, versuchen_ = false;     // under steuer_
  std::atomic<bool> lebt_{false};             // the thread runs
  std::atomic<bool> beschaeftigt_{false};     // it is in an attempt or the loop, not waiting
  std::atomic<uint64_t> runden_{0};           // rounds it came through
  mutable std::mutex mutex_;
  std::deque<Ereignis> wartend_;
  std::size_t wartendBytes_ = 0;
  std::vector<std::string> abos_;
  bool verbunden_ = false;

  // The network thread's own.
  int connack_ = 0;
  int trennRc_ = 0;
  bool warVerbunden_ = false;
  std::string tlsGrund_;
  std::map<int, std::string> aboMids_;
};

}  // namespace vrd4::halle
