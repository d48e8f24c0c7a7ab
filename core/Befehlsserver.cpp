#include "core/Befehlsserver.h"

#include "channel/modVRD4GlobaleVariablen.h"
#include "core/Relais.h"
#include "core/Taktschleife.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/MessageBox.h"
#include "support/Numbers.h"

namespace vrd4::core {
namespace gv = channel::modVRD4GlobaleVariablen;

Befehlsserver::Befehlsserver(Taktschleife& schleife, Relais& relais, platform::Clock& uhr,
                             std::function<void(const QString&)> statusEintrag, std::function<void()> geaendert)
    : schleife_(schleife),
      relais_(relais),
      statusEintrag_(std::move(statusEintrag)),
      geaendert_(std::move(geaendert)),
      serverSocket_(std::make_unique<net::clsSocket>()) {
  verbindungen_ = std::make_unique<net::Clients>(static_cast<net::TalkHost&>(*this), uhr);
  serverSocket_->ConnectionRequest = [this] { verbindungen_->Server_ConnectionRequest(*serverSocket_); };
}

// The talk connections may still hold the engine's lines: they go first.
Befehlsserver::~Befehlsserver() { verbindungen_.reset(); }

void Befehlsserver::umschalten() {
  if (gestartet_) {
    stoppen();
    return;
  }
  serverSocket_->LocalPort = leadingInt(port.toStdU16String());
  serverSocket_->Protocol = 0;
  serverSocket_->LineSeparator = u"\r\n";
  serverSocket_->Listen();
  if (serverSocket_->State() != net::clsSocket::sckListening)
    statusEintrag_(QStringLiteral("Server: Port ") + port + QStringLiteral(" nicht verfügbar"));
  gestartet_ = true;
  ++stand_;
  geaendert_();
}

void Befehlsserver::stoppen() {
  if (!gestartet_) return;
  serverSocket_->Disconnect();
  gestartet_ = false;
  ++stand_;
  geaendert_();
}

void Befehlsserver::schliessen() {
  serverSocket_->Disconnect();
  for (const auto& c : verbindungen_->liste()) c->Sck().Disconnect();
}

bool Befehlsserver::aktiv() const {
  return serverSocket_->State() != net::clsSocket::sckClosed || verbindungen_->anzahl() > 0;
}

// ---------------------------------------------------------------------------
// The talk connections' host

net::Weiterleitung* Befehlsserver::weiterleitungsClient() { return &relais_.Client3(); }

void Befehlsserver::befehlAusfuehren(std::span<const std::u16string> felder, std::span<const uint8_t> bild,
                                     const render::VorabBild* vorab) {
  if (engine::clsVRD4Empfaenger* e = schleife_.engine()) e->BefehlDirektAusfuehren(felder, bild, vorab);
}

void Befehlsserver::falscheAbfrage(const QString& text) {
  // The box belongs to the sending program's window when it named one.
  const double h = leadingNumber(gv::clsVRD4AufrufFensterhandle().GetMemory());
  const auto besitzer = h >= 1 && h <= 0xFFFFFFFF ? static_cast<std::uint32_t>(h) : 0u;
  platform::showMessageBox(text.toStdU16String(), u"VRD4-Empfangsmodul", {.warnung = true, .besitzer = besitzer});
}

bool Befehlsserver::darfAusfuehren() const { return schleife_.darfAusfuehren(); }

std::optional<QSize> Befehlsserver::bildTafel() const {
  if (engine::clsVRD4Empfaenger* e = schleife_.engine()) return e->tafelSkala();
  return std::nullopt;
}

}  // namespace vrd4::core
