#include "Server.h"

#include <httplib.h>
#include <openssl/evp.h>

#include <atomic>
#include <random>
#include <thread>

#include "uebersicht/Seite.h"

namespace vrd4::vrd4halle {
namespace {

std::string base64(std::string_view bytes) {
  std::string z(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(z.data()),
                                reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  z.resize(static_cast<std::size_t>(n));
  return z;
}

std::string sha256Base64(std::string_view text) {
  unsigned char d[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  EVP_Digest(text.data(), text.size(), d, &n, EVP_sha256(), nullptr);
  return base64(std::string_view(reinterpret_cast<const char*>(d), n));
}

// The text between <tag> and </tag>.
std::string_view inhalt(std::string_view seite, std::string_view tag) {
  const std::string auf = "<" + std::string(tag) + ">", zu = "</" + std::string(tag) + ">";
  const std::size_t a = seite.find(auf);
  if (a == std::string_view::npos) return {};
  const std::size_t b = seite.find(zu, a);
  if (b == std::string_view::npos) return {};
  return seite.substr(a + auf.size(), b - a - auf.size());
}

// Compares without stopping at the first difference.
bool gleich(std::string_view a, std::string_view b) {
  unsigned char d = a.size() == b.size() ? 0 : 1;
  for (std::size_t i = 0; i < a.size(); ++i) d |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
  return d == 0;
}

}  // namespace

void Hallenstand::aendern(const std::function<bool(uebersicht::Uebersicht&)>& f) {
  bool geaendert = false;
  {
    std::lock_guard lock(mutex_);
    geaendert = f(modell_);
  }
  if (geaendert) wach_.notify_all();
}

std::optional<std::string> Hallenstand::warten(uint64_t& seit, std::chrono::milliseconds hoechstens) {
  std::unique_lock lock(mutex_);
  if (!wach_.wait_for(lock, hoechstens, [&] { return ende_ || modell_.stand() != seit; }) || ende_)
    return std::nullopt;
  std::string z = modell_.aenderungen(seit);
  seit = modell_.stand();
  return z;
}

void Hallenstand::beenden() {
  {
    std::lock_guard lock(mutex_);
    ende_ = true;
  }
  wach_.notify_all();
}

bool Hallenstand::beendet() const {
  std::lock_guard lock(mutex_);
  return ende_;
}

std::string sicherheitsRegel(std::string_view seite) {
  return "default-src 'none'; script-src 'sha256-" + sha256Base64(inhalt(seite, "script")) +
         "'; style-src 'sha256-" + sha256Base64(inhalt(seite, "style")) +
         "'; img-src 'self'; connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";
}

struct Webserver::Innen {
  Hallenstand& stand;
  ServerEinstellungen e;
  httplib::Server server;
  std::string erwartet;  // "Basic …"
  std::string regel;
  std::atomic<std::size_t> stroeme{0};
  int port = 0;
  // Event ids are "<kennung>-<stand>": a browser that comes back from
  // another run of the server (another numbering) gets everything.
  const std::string kennung = [] {
    std::random_device zufall;
    char t[16];
    std::snprintf(t, sizeof t, "%08x", static_cast<unsigned>(zufall()));
    return std::string(t);
  }();

  Innen(Hallenstand& s, ServerEinstellungen einst) : stand(s), e(std::move(einst)) {}

  void einrichten();
  void bildSenden(const httplib::Request& req, httplib::Response& res, std::string_view tafel);
};

void Webserver::Innen::einrichten() {
  if (!e.benutzer.empty()) erwartet = "Basic " + base64(e.benutzer + ":" + e.passwort);
  regel = sicherheitsRegel(uebersicht::seite());
  // Threads for the event streams and a few for everything else.
  const std::size_t threads = e.maxStroeme + 8;
  server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  server.set_payload_max_length(1024);
  server.set_read_timeout(5, 0);
  server.set_write_timeout(5, 0);
  server.set_keep_alive_max_count(100);
  server.set_keep_alive_timeout(5);
  server.set_tcp_nodelay(true);
  server.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                              {"Referrer-Policy", "no-referrer"},
                              {"X-Frame-Options", "DENY"}});
  server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (req.method != "GET" && req.method != "HEAD") {
      res.status = 405;
      res.set_header("Allow", "GET, HEAD");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (!erwartet.empty() && !gleich(req.get_header_value("Authorization"), erwartet)) {
      res.status = 401;
      res.set_header("WWW-Authenticate", "Basic realm=\"vrd4halle\", charset=\"UTF-8\"");
      res.set_content("Anmeldung nötig\n", "text/plain; charset=utf-8");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server.Get("/", [this](const httplib::Request&, httplib::Response& res) {
    res.set_header("Content-Security-Policy", regel);
    res.set_header("Cache-Control", "no-cache");
    const std::string_view s = uebersicht::seite();
    res.set_content(s.data(), s.size(), "text/html; charset=utf-8");
  });
  server.Get("/tafeln.json", [this](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(stand.lesen([](const uebersicht::Uebersicht& u) { return u.json(); }),
                    "application/json; charset=utf-8");
  });
  server.Get(R"(/tafel/([A-Za-z0-9_-]{1,64})\.png)", [this](const httplib::Request& req, httplib::Response& res) {
    bildSenden(req, res, req.matches[1].str());
  });
  server.Get("/quelle.png", [this](const httplib::Request& req, httplib::Response& res) { bildSenden(req, res, ""); });
  server.Get("/ereignisse", [this](const httplib::Request& req, httplib::Response& res) {
    if (stroeme.fetch_add(1) >= e.maxStroeme) {
      stroeme.fetch_sub(1);
      res.status = 503;
      res.set_header("Retry-After", "5");
      res.set_content("zu viele Seiten offen\n", "text/plain; charset=utf-8");
      return;
    }
    // A browser that comes back says how far it got; the first event
    // brings it up to date (everything when it is too far behind).
    uint64_t seit = 0;
    if (const std::string id = req.get_header_value("Last-Event-ID"); id.starts_with(kennung + "-")) {
      try {
        seit = std::stoull(id.substr(kennung.size() + 1));
      } catch (...) {
        seit = 0;
      }
    }
    res.set_header("Cache-Control", "no-store");
    res.set_header("X-Accel-Buffering", "no");
    auto zuletzt = std::make_shared<std::chrono::steady_clock::time_point>();
    auto erstes = std::make_shared<bool>(true);
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, seit, zuletzt, erstes](std::size_t, httplib::DataSink& sink) mutable {
          if (*erstes) {
            *erstes = false;
            const std::string json = stand.lesen([&](const uebersicht::Uebersicht& u) {
              std::string z = u.aenderungen(seit);
              seit = u.stand();
              return z;
            });
            const std::string t = "retry: 2000\nid: " + kennung + "-" + std::to_string(seit) + "\ndata: " + json + "\n\n";
            *zuletzt = std::chrono::steady_clock::now();
            return sink.write(t.data(), t.size());
          }
          // A burst of changes goes out as one event per kAbstand.
          const auto frueh = *zuletzt + kAbstand;
          if (std::chrono::steady_clock::now() < frueh) std::this_thread::sleep_until(frueh);
          const auto json = stand.warten(seit, kStille);
          if (stand.beendet()) return false;
          const std::string t =
              json ? "id: " + kennung + "-" + std::to_string(seit) + "\ndata: " + *json + "\n\n" : ": -\n\n";
          *zuletzt = std::chrono::steady_clock::now();
          return sink.write(t.data(), t.size());
        },
        [this](bool) { stroeme.fetch_sub(1); });
  });
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) res.set_content(std::to_string(res.status) + "\n", "text/plain; charset=utf-8");
  });
}

void Webserver::Innen::bildSenden(const httplib::Request& req, httplib::Response& res, std::string_view tafel) {
  const auto bild = stand.lesen([&](const uebersicht::Uebersicht& u) { return u.bild(tafel); });
  if (!bild) {
    res.status = 404;
    res.set_content("kein Bild\n", "text/plain; charset=utf-8");
    return;
  }
  const std::string etag = "\"" + std::to_string(bild->nummer) + "\"";
  res.set_header("ETag", etag);
  res.set_header("Cache-Control", "no-cache");
  res.set_header("Content-Disposition", "inline");
  if (req.get_header_value("If-None-Match") == etag) {
    res.status = 304;
    return;
  }
  res.set_content(bild->png->data(), bild->png->size(), "image/png");
}

Webserver::Webserver(Hallenstand& stand, ServerEinstellungen e) : d_(std::make_unique<Innen>(stand, std::move(e))) {
  d_->einrichten();
}

Webserver::~Webserver() { stoppen(); }

bool Webserver::binden(std::string& fehler) {
  const std::string& host = d_->e.adresse.host;
  if (d_->e.adresse.port == 0) {
    d_->port = d_->server.bind_to_any_port(host);
    if (d_->port > 0) return true;
  } else if (d_->server.bind_to_port(host, d_->e.adresse.port)) {
    d_->port = d_->e.adresse.port;
    return true;
  }
  fehler = "HTTP: " + host + ":" + std::to_string(d_->e.adresse.port) + " nicht zu belegen (belegt oder unbekannt)";
  return false;
}

uint16_t Webserver::port() const { return static_cast<uint16_t>(d_->port); }

void Webserver::laufen() { d_->server.listen_after_bind(); }

void Webserver::stoppen() {
  d_->stand.beenden();
  d_->server.stop();
}

}  // namespace vrd4::vrd4halle
