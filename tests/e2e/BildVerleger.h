// A stand-in for what boards will publish themselves for the overview: the
// board's snapshot (SIGUSR1), scaled to 320 px wide and encoded as PNG,
// retained on vrd4/HALLE/tafel/NAME/bild when it changed, at most every
// 2 s; and status lines on vrd4/HALLE/tafel/NAME/meldungen as given. Once
// the boards publish these themselves, the tests drop this file and read
// what the boards sent.
#pragma once

#include <QBuffer>
#include <QImage>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "E2EHilfe.h"
#include "hall/HallenAdresse.h"
#include "hall/MqttKlient.h"

namespace vrd4::e2e {

// The thumbnail as boards make it: 320 px wide at the board's aspect ratio.
inline QImage vorschau(const QImage& tafel) {
  return tafel.convertToFormat(QImage::Format_RGB32).scaledToWidth(320, Qt::SmoothTransformation);
}

inline std::string pngBytes(const QImage& bild) {
  QByteArray bytes;
  QBuffer puffer(&bytes);
  puffer.open(QIODevice::WriteOnly);
  bild.save(&puffer, "PNG");
  return bytes.toStdString();
}

class BildVerleger {
 public:
  explicit BildVerleger(const std::string& halleUrl) {
    halle::MqttEinstellungen e;
    e.adresse = std::get<halle::HallenAdresse>(halle::adresseLesen(halleUrl, false));
    e.clientId = "vrd4-test-bilder";
    halle_ = e.adresse.halle;
    klient_ = std::make_unique<halle::MqttKlient>(e);
    std::string fehler;
    klient_->starten(fehler, 0);
    faden_ = std::thread([this] { laufen(); });
  }
  ~BildVerleger() {
    aus_ = true;
    faden_.join();
    klient_->beenden(std::nullopt, std::chrono::milliseconds(500));
  }
  // Board `name`'s pictures from now on (empty name: the publisher's);
  // nullptr: no more.
  void tafel(const std::string& name, Empfaenger* e) {
    std::lock_guard lock(mutex_);
    if (e) tafeln_[name].empfaenger = e;
    else tafeln_.erase(name);
  }
  // A snapshot of board `name` while the stand-in keeps its hands off it.
  QImage schnappschuss(const std::string& name) {
    std::lock_guard lock(mutex_);
    return tafeln_.count(name) ? tafeln_[name].empfaenger->schnappschuss() : QImage();
  }
  bool senden(const std::string& topic, const std::string& payload) {
    return klient_->senden(topic, payload, true).has_value();
  }
  void meldungen(const std::string& name, const std::string& json) {
    senden("vrd4/" + halle_ + "/tafel/" + name + "/meldungen", json);
  }

 private:
  struct Eintrag {
    Empfaenger* empfaenger = nullptr;
    QImage zuletzt;
    std::chrono::steady_clock::time_point gesendet{};
  };
  void laufen() {
    while (!aus_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      std::lock_guard lock(mutex_);
      for (auto& [name, t] : tafeln_) {
        const auto jetzt = std::chrono::steady_clock::now();
        if (!t.empfaenger->laeuft() || jetzt - t.gesendet < std::chrono::seconds(2)) continue;
        const QImage bild = t.empfaenger->schnappschuss();
        if (bild.isNull() || bild == t.zuletzt) continue;
        t.zuletzt = bild;
        t.gesendet = jetzt;
        senden("vrd4/" + halle_ + (name.empty() ? "" : "/tafel/" + name) + "/bild", pngBytes(vorschau(bild)));
      }
    }
  }

  std::string halle_;
  std::unique_ptr<halle::MqttKlient> klient_;
  std::mutex mutex_;
  std::map<std::string, Eintrag> tafeln_;
  std::atomic<bool> aus_{false};
  std::thread faden_;
};

}  // namespace vrd4::e2e
