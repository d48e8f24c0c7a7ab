#include "uebersicht/Uebersicht.h"

#include <algorithm>
#include <tuple>

#include "hall/HallenAdresse.h"
#include "uebersicht/Json.h"

namespace vrd4::uebersicht {
namespace {

enum class Art { Status, Zuletzt, Bild, Meldungen };

struct Thema {
  Art art;
  std::string tafel;  // empty: the publisher
};

std::optional<Thema> themaLesen(const std::string& halle, std::string_view topic) {
  const std::string anfang = "vrd4/" + halle + "/";
  if (!topic.starts_with(anfang)) return std::nullopt;
  topic.remove_prefix(anfang.size());
  std::string tafel;
  if (topic.starts_with("tafel/")) {
    topic.remove_prefix(6);
    const std::size_t schraeg = topic.find('/');
    if (schraeg == std::string_view::npos) return std::nullopt;
    tafel = std::string(topic.substr(0, schraeg));
    if (!halle::gueltigerName(tafel)) return std::nullopt;
    topic.remove_prefix(schraeg + 1);
  }
  if (topic == "status") return Thema{Art::Status, tafel};
  if (topic == "zuletzt") return Thema{Art::Zuletzt, tafel};
  if (topic == "bild") return Thema{Art::Bild, tafel};
  if (topic == "meldungen") return Thema{Art::Meldungen, tafel};
  return std::nullopt;
}

// The status's own members have their types: a "seq" that is a string is
// no status (the hall's reader skips what it does not know).
bool typenPassen(const JsonWert& w) {
  for (const char* zahl : {"seq", "breite", "hoehe"})
    if (const JsonWert* f = w.feld(zahl); f && !f->zahl()) return false;
  for (const char* text : {"version", "lauf", "zeit"})
    if (const JsonWert* f = w.feld(text); f && !f->text()) return false;
  const JsonWert* online = w.feld("online");
  return online && online->wahrheit();
}

constexpr std::string_view kZustaende[] = {"online", "offline", "keine Szene", "anderer Lauf", "doppelt",
                                           "ungültig"};

void zahlAnhaengen(std::string& z, std::string_view name, uint64_t v) {
  z += ",\"";
  z += name;
  z += "\":";
  z += std::to_string(v);
}
void textAnhaengen(std::string& z, std::string_view name, std::string_view v) {
  z += ",\"";
  z += name;
  z += "\":";
  jsonText(z, v);
}

}  // namespace

std::vector<std::string> abonnements(const std::string& halle) {
  const std::string a = "vrd4/" + halle + "/";
  return {a + "status",         a + "zuletzt",         a + "bild",         a + "meldungen",
          a + "tafel/+/status", a + "tafel/+/zuletzt", a + "tafel/+/bild", a + "tafel/+/meldungen"};
}

std::string zustandVon(const Tafel& t, const Tafel& quelle, std::optional<uint64_t>& rueckstand) {
  rueckstand.reset();
  const bool quelleBekannt = quelle.hatStatus && !quelle.status.lauf.empty();
  // While the publisher is offline its last status may lag behind what it
  // sent: no board counts as past it then.
  const bool gleicherLauf = t.hatStatus && !t.status.lauf.empty() && quelleBekannt && t.status.lauf == quelle.status.lauf;
  if (gleicherLauf && t.status.seq <= quelle.status.seq) rueckstand = quelle.status.seq - t.status.seq;
  if (!t.hatStatus) return "kein Status";
  if (!t.status.online) return "offline";
  if (t.doppelt) return "doppelt";
  if (!t.gemeldet.empty()) return t.gemeldet;
  if (t.status.lauf.empty()) return "keine Szene";
  if (!quelleBekannt) return "online";
  if (t.status.lauf != quelle.status.lauf) return "anderer Lauf";
  // Beyond what the running publisher numbered: not a number to trust.
  if (t.status.seq > quelle.status.seq && quelle.status.online) return "ungültig";
  return "online";
}

Uebersicht::Uebersicht(std::string halle) : halle_(std::move(halle)) {}

const Tafel* Uebersicht::tafel(std::string_view name) const {
  const auto it = tafeln_.find(name);
  return it == tafeln_.end() ? nullptr : &it->second;
}

Tafel* Uebersicht::eintrag(const std::string& name) {
  if (name.empty()) return &quelle_;
  if (auto it = tafeln_.find(name); it != tafeln_.end()) return &it->second;
  if (tafeln_.size() >= kMaxTafeln) {
    // Room for a new board: the one offline longest goes (names that come
    // and go must not push out the boards that are there).
    auto alt = tafeln_.end();
    for (auto it = tafeln_.begin(); it != tafeln_.end(); ++it) {
      const bool weg = !it->second.hatStatus || !it->second.status.online;
      if (weg && (alt == tafeln_.end() || it->second.offlineSeit < alt->second.offlineSeit)) alt = it;
    }
    if (alt == tafeln_.end()) {
      ++abgewiesen_;
      return nullptr;
    }
    const std::string name = alt->first;
    tafeln_.erase(alt);
    wegMerken(name);
  }
  Tafel& t = tafeln_[name];
  geaendert(t, true);
  return &t;
}

void Uebersicht::wegMerken(const std::string& name) {
  weg_.emplace_back(++stand_, name);
  while (weg_.size() > kMaxWeg) {
    vollAb_ = weg_.front().first;
    weg_.pop_front();
  }
}

void Uebersicht::geaendert(Tafel& t, bool meldungen) {
  t.stand = ++stand_;
  if (meldungen) t.standMeldungen = t.stand;
}

void Uebersicht::zustandAktualisieren(Tafel& t) {
  std::optional<uint64_t> r;
  std::string z = zustandVon(t, quelle_, r);
  if (z != t.zustand || r != t.rueckstand) {
    t.zustand = std::move(z);
    t.rueckstand = r;
    geaendert(t);
  }
}

bool Uebersicht::nachricht(std::string_view topic, std::string_view payload, bool retained, int64_t jetzt) {
  const auto thema = themaLesen(halle_, topic);
  if (!thema) return false;
  const std::string jetztText = halle::zeitText(jetzt);

  if (payload.empty()) {
    // A retained empty payload removes the item; without the status the board is gone.
    if (thema->art == Art::Status && !thema->tafel.empty()) {
      if (tafeln_.erase(thema->tafel) == 0) return false;
      wegMerken(thema->tafel);
      return true;
    }
    Tafel* t = thema->tafel.empty() ? &quelle_ : (tafeln_.count(thema->tafel) ? &tafeln_[thema->tafel] : nullptr);
    if (!t) return false;
    if (thema->art == Art::Status) {
      t->hatStatus = false;
      t->status = {};
    } else if (thema->art == Art::Zuletzt) {
      return false;  // what it said stays until its status goes
    } else if (thema->art == Art::Bild) {
      if (!t->bild) return false;
      t->bild.reset();
    } else {
      if (t->meldungen.empty()) return false;
      t->meldungen.clear();
    }
    geaendert(*t, thema->art == Art::Meldungen);
    if (thema->tafel.empty())
      for (auto& [_, b] : tafeln_) zustandAktualisieren(b);
    return true;
  }

  // Read before a board is made for it: what does not read makes no tile.
  std::optional<halle::TafelStatus> status;
  std::optional<BildMass> mass;
  std::optional<std::vector<Meldung>> meldungen;
  bool gelesen = false;
  std::optional<JsonWert> statusJson;
  if (thema->art == Art::Status || thema->art == Art::Zuletzt) {
    status = halle::statusLesen(payload);
    if (status) statusJson = jsonLesen(payload);
    gelesen = status && statusJson && typenPassen(*statusJson);
  }
  if (thema->art == Art::Bild) gelesen = (mass = pngPruefen(payload)).has_value();
  if (thema->art == Art::Meldungen) gelesen = (meldungen = meldungenLesen(payload)).has_value();
  if (!gelesen) return verworfen(topic);

  Tafel* t = eintrag(thema->tafel);
  if (!t) return true;  // refused for want of room: counted
  if (!retained) t->gesehen = jetztText;

  if (status && thema->art == Art::Zuletzt) {
    // "Last seen": the status as of the last command drawn. It fills in
    // what a last will lacks; alone (a status lost with a broker's restart)
    // it stands for an offline board.
    if (t->hatStatus && t->status.online) return true;
    if (!t->hatStatus) {
      t->status = std::move(*status);
      t->status.online = false;
      t->hatStatus = true;
      t->offlineSeit = retained && !t->status.zeit.empty() ? t->status.zeit : jetztText;
    } else if (t->status.lauf.empty() && t->status.seq == 0) {
      t->status.lauf = status->lauf;
      t->status.seq = status->seq;
      if (t->status.breite == 0 && t->status.hoehe == 0) std::tie(t->status.breite, t->status.hoehe) = std::pair{status->breite, status->hoehe};
      if (t->status.version.empty()) t->status.version = status->version;
    } else {
      return true;
    }
    if (retained && t->gesehen.empty()) t->gesehen = status->zeit;
    geaendert(*t);
    if (t == &quelle_)
      for (auto& [_, b] : tafeln_) zustandAktualisieren(b);
    else
      zustandAktualisieren(*t);
    return true;
  }
  if (status) {
    const bool warOnline = t->hatStatus && t->status.online;
    // A last will carries no run, seq or size (it was fixed at connect):
    // keep what the board said before.
    if (!status->online && t->hatStatus && status->lauf.empty() && status->seq == 0) {
      status->lauf = t->status.lauf;
      status->seq = t->status.seq;
      if (status->breite == 0 && status->hoehe == 0) {
        status->breite = t->status.breite;
        status->hoehe = t->status.hoehe;
      }
      if (status->version.empty()) status->version = t->status.version;
    }
    if (!status->online) {
      if (warOnline || t->offlineSeit.empty() || !t->hatStatus)
        t->offlineSeit = retained && !status->zeit.empty() ? status->zeit : jetztText;
    } else {
      t->offlineSeit.clear();
    }
    if (retained && !status->zeit.empty() && t->gesehen.empty()) t->gesehen = status->zeit;
    t->status = std::move(*status);
    t->hatStatus = true;
    // What a board may report beyond the status's own members.
    t->doppelt = false;
    t->fremde = 0;
    t->gemeldet.clear();
    if (const JsonWert* f = statusJson->feld("fremde"); f && f->zahl() && *f->zahl() > 0)
      t->fremde = static_cast<uint64_t>(std::min(*f->zahl(), 1e15));
    if (const JsonWert* d = statusJson->feld("doppelt"); d && d->wahrheit()) t->doppelt = *d->wahrheit();
    if (const JsonWert* z = statusJson->feld("zustand"); z && z->text())
      if (std::find(std::begin(kZustaende), std::end(kZustaende), *z->text()) != std::end(kZustaende) &&
          *z->text() != "online")
        t->gemeldet = *z->text();
  } else if (mass) {
    Bild b;
    b.png = std::make_shared<const std::string>(payload);
    b.breite = mass->breite;
    b.hoehe = mass->hoehe;
    b.nummer = ++bildNummer_;
    t->bild = std::move(b);
  } else {
    t->meldungen = std::move(*meldungen);
  }
  geaendert(*t, meldungen.has_value());
  if (t == &quelle_) {
    if (status)
      for (auto& [_, b] : tafeln_) zustandAktualisieren(b);
  } else {
    zustandAktualisieren(*t);
  }
  return true;
}

bool Uebersicht::verworfen(std::string_view topic) {
  const auto thema = themaLesen(halle_, topic);
  if (!thema) return false;
  ++verworfen_;
  Tafel* t = thema->tafel.empty() ? &quelle_ : nullptr;
  if (auto it = tafeln_.find(thema->tafel); it != tafeln_.end()) t = &it->second;
  if (t) {
    ++t->verworfen;
    geaendert(*t);
  }
  return true;
}

bool Uebersicht::verbindung(bool verbunden, std::string text) {
  if (verbunden == verbunden_ && text == verbindungText_) return false;
  verbunden_ = verbunden;
  verbindungText_ = std::move(text);
  ++stand_;
  return true;
}

std::optional<Bild> Uebersicht::bild(std::string_view tafel) const {
  const Tafel* t = tafel.empty() ? &quelle_ : this->tafel(tafel);
  if (!t) return std::nullopt;
  return t->bild;
}

void Uebersicht::tafelJson(std::string& z, const std::string& name, const Tafel& t, bool mitMeldungen) const {
  z += "{\"name\":";
  jsonText(z, name);
  z += ",\"online\":";
  z += t.hatStatus && t.status.online ? "true" : "false";
  if (name.empty()) {
    z += ",\"zustand\":";
    jsonText(z, !t.hatStatus ? "kein Status" : t.status.online ? "online" : "offline");
  } else {
    textAnhaengen(z, "zustand", t.zustand);
    z += ",\"rueckstand\":";
    z += t.rueckstand ? std::to_string(*t.rueckstand) : "null";
  }
  zahlAnhaengen(z, "seq", t.status.seq);
  textAnhaengen(z, "lauf", t.status.lauf);
  zahlAnhaengen(z, "breite", static_cast<uint64_t>(std::max(t.status.breite, 0)));
  zahlAnhaengen(z, "hoehe", static_cast<uint64_t>(std::max(t.status.hoehe, 0)));
  textAnhaengen(z, "version", t.status.version);
  textAnhaengen(z, "zeit", t.status.zeit);
  textAnhaengen(z, "gesehen", t.gesehen);
  z += ",\"offlineSeit\":";
  if (t.offlineSeit.empty()) z += "null";
  else jsonText(z, t.offlineSeit);
  zahlAnhaengen(z, "verworfen", t.verworfen);
  if (name.empty()) zahlAnhaengen(z, "fremde", t.fremde);
  z += ",\"bild\":";
  if (t.bild) {
    // The URL changes with every picture: the browser fetches each once.
    z += "{\"url\":";
    jsonText(z, (name.empty() ? std::string("/quelle.png") : "/tafel/" + name + ".png") + "?v=" +
                    std::to_string(t.bild->nummer));
    zahlAnhaengen(z, "breite", static_cast<uint64_t>(t.bild->breite));
    zahlAnhaengen(z, "hoehe", static_cast<uint64_t>(t.bild->hoehe));
    z += '}';
  } else {
    z += "null";
  }
  if (mitMeldungen) {
    z += ",\"meldungen\":[";
    for (std::size_t i = 0; i < t.meldungen.size(); ++i) {
      if (i) z += ',';
      z += "{\"zeit\":";
      jsonText(z, t.meldungen[i].zeit);
      z += ",\"text\":";
      jsonText(z, t.meldungen[i].text);
      z += '}';
    }
    z += ']';
  }
  z += '}';
}

void Uebersicht::kopfJson(std::string& z) const {
  z += "\"halle\":";
  jsonText(z, halle_);
  zahlAnhaengen(z, "stand", stand_);
  z += ",\"verbunden\":";
  z += verbunden_ ? "true" : "false";
  textAnhaengen(z, "verbindung", verbindungText_);
  zahlAnhaengen(z, "verworfen", verworfen_);
  zahlAnhaengen(z, "abgewiesen", abgewiesen_);
  z += ",\"quelle\":";
  tafelJson(z, "", quelle_, true);
}

std::string Uebersicht::json() const {
  std::string z = "{";
  kopfJson(z);
  z += ",\"voll\":true,\"tafeln\":[";
  bool erste = true;
  for (const auto& [name, t] : tafeln_) {
    if (!erste) z += ',';
    erste = false;
    tafelJson(z, name, t, true);
  }
  z += "]}";
  return z;
}

std::string Uebersicht::aenderungen(uint64_t seit) const {
  if (seit <= vollAb_ || seit > stand_) return json();
  std::string z = "{";
  kopfJson(z);
  z += ",\"voll\":false,\"tafeln\":[";
  bool erste = true;
  for (const auto& [name, t] : tafeln_) {
    if (t.stand <= seit) continue;
    if (!erste) z += ',';
    erste = false;
    tafelJson(z, name, t, t.standMeldungen > seit);
  }
  z += "],\"weg\":[";
  erste = true;
  for (const auto& [s, name] : weg_) {
    if (s <= seit || tafeln_.count(name)) continue;
    if (!erste) z += ',';
    erste = false;
    jsonText(z, name);
  }
  z += "]}";
  return z;
}

}  // namespace vrd4::uebersicht
