#pragma once
// The TCP command server: the listening socket Server on the port of the
// server frame, and its talk connections (net::Clients), whose host this is:
// their lines run on the engine the loop drives, go on to the forwarding
// client Client3 first, and an unknown command name opens a box. What the
// window shows of it (the button's caption, the port field) it reads here.
// GUI thread only.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "net/clsSocket.h"
#include "net/clsTalkConnection.h"
#include "platform/Clock.h"

namespace vrd4::core {

class Relais;
class Taktschleife;

class Befehlsserver final : private net::TalkHost {
 public:
  // statusEintrag: an entry with the status list's rule; geaendert: what the
  // server frame shows has changed. schleife (the engine and whether a
  // command may start), relais (Client3) and uhr must outlive the server.
  Befehlsserver(Taktschleife& schleife, Relais& relais, platform::Clock& uhr,
                std::function<void(const QString&)> statusEintrag, std::function<void()> geaendert);
  ~Befehlsserver() override;
  Befehlsserver(const Befehlsserver&) = delete;
  Befehlsserver& operator=(const Befehlsserver&) = delete;

  // The port field as typed (txtT_Port1); the window writes what the
  // operator types, the event "Port" and the settings file write here.
  QString port = QStringLiteral("3050");

  // Starts listening on port's leading number (a status entry when the port
  // is not available; it counts as started all the same), or stops when
  // started.
  void umschalten();
  // Stops when started: the button shows "Server starten" again.
  void stoppen();
  // The button shows "Server stoppen".
  bool gestartet() const { return gestartet_; }
  // Grows whenever the server starts or stops: a repeated "Server starten"
  // acts again once it has moved.
  long stand() const { return stand_; }

  // Closes the server and every connection; the objects stay (a connection
  // may still be on the stack).
  void schliessen();
  // The server listens or a connection is open.
  bool aktiv() const;

  net::clsSocket& Server() { return *serverSocket_; }
  net::Clients& Clients() { return *verbindungen_; }

 private:
  // net::TalkHost
  void statusEintrag(const QString& entry) override { statusEintrag_(entry); }
  net::Weiterleitung* weiterleitungsClient() override;
  void befehlAusfuehren(std::span<const std::u16string> felder, std::span<const uint8_t> bild,
                        const render::VorabBild* vorab) override;
  void falscheAbfrage(const QString& text) override;
  bool darfAusfuehren() const override;
  std::optional<QSize> bildTafel() const override;

  Taktschleife& schleife_;
  Relais& relais_;
  std::function<void(const QString&)> statusEintrag_;
  std::function<void()> geaendert_;
  bool gestartet_ = false;
  long stand_ = 0;
  std::unique_ptr<net::clsSocket> serverSocket_;
  std::unique_ptr<net::Clients> verbindungen_;
};

}  // namespace vrd4::core
