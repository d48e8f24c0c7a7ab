#pragma once
// vrd4halle's web side: the overview of one hall behind a lock, and the
// HTTP server that shows it (cpp-httplib, a thread pool of its own):
//   /               the page (one file, nothing loaded from elsewhere)
//   /tafeln.json    everything as JSON, for scripts
//   /tafel/NAME.png a board's latest thumbnail; /quelle.png the publisher's
//   /ereignisse     Server-Sent Events: the changes, as they come
//
// Bounded: at most maxStroeme pages follow the events at once (one more is
// told 503 and its browser tries again); a request body is refused; a
// client that does not read for 5 s is dropped. Events to one page go out
// at most every kAbstand; one change alone goes at once.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "Optionen.h"
#include "uebersicht/Uebersicht.h"

namespace vrd4::vrd4halle {

class Hallenstand {
 public:
  explicit Hallenstand(std::string halle) : modell_(std::move(halle)) {}

  template <class F>
  auto lesen(F f) const {
    std::lock_guard lock(mutex_);
    return f(modell_);
  }
  // f returns true when it changed the model; the waiting pages then wake.
  void aendern(const std::function<bool(uebersicht::Uebersicht&)>& f);
  // The changes after `seit` once there are any (seit moves on), or nullopt
  // after `hoechstens` without any or when the server ends.
  std::optional<std::string> warten(uint64_t& seit, std::chrono::milliseconds hoechstens);
  void beenden();
  bool beendet() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable wach_;
  uebersicht::Uebersicht modell_;
  bool ende_ = false;
};

struct ServerEinstellungen {
  HttpAdresse adresse;
  std::string benutzer, passwort;  // HTTP Basic; empty user: none asked
  std::size_t maxStroeme = 32;
};

inline constexpr std::chrono::milliseconds kAbstand{250};
inline constexpr std::chrono::seconds kStille{10};  // a comment line keeps an idle stream open

class Webserver {
 public:
  Webserver(Hallenstand& stand, ServerEinstellungen e);
  ~Webserver();
  Webserver(const Webserver&) = delete;
  Webserver& operator=(const Webserver&) = delete;

  // Binds the address; false with a German message. port() is then the
  // port bound (the one picked for port 0).
  bool binden(std::string& fehler);
  uint16_t port() const;
  // Serves until stoppen() (from another thread).
  void laufen();
  void stoppen();

 private:
  struct Innen;
  std::unique_ptr<Innen> d_;
};

// The Content-Security-Policy for the page: its one script and one style by
// their SHA-256, pictures and events from this server, nothing else.
std::string sicherheitsRegel(std::string_view seite);

}  // namespace vrd4::vrd4halle
