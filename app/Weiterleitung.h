#pragma once
// The forwarding clients: Client2 passes every ring command on to a further
// receiver and waits for its "OK" (the engine sees it as its
// engine::Forwarder); Client3 passes on every line of the command server.
// Their buttons, the connect wait with its progress bar, and the peers'
// replies and closes. GUI thread only.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/Interfaces.h"
#include "net/clsSocket.h"
#include "platform/Clock.h"

class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;

namespace vrd4::app {

class Taktschleife;

class Weiterleitung final : public engine::Forwarder {
 public:
  // The controls of the network frames this class drives.
  struct Steuerelemente {
    QPushButton* cmdClient2Connect = nullptr;
    QLineEdit* txtIPAdresse1 = nullptr;
    QPushButton* cmdClient3Connect = nullptr;
    QLineEdit* txtIPAdresse2 = nullptr;
    QLineEdit* txtT_Port2 = nullptr;
    QProgressBar* ctlProgressbar1 = nullptr;
  };
  // What it needs of the rest of the window.
  struct Anschluss {
    std::function<void(const QString&)> statusEintrag;
    std::function<void(const QString&)> verbindungsfehler;  // lblConnectFehler; empty text hides it
    std::function<void()> serverStoppen;                    // Client2 first stops the server
    std::function<void()> nachWarten;                       // after a connect wait
  };

  // fenster takes no input during a connect wait; schleife runs the waits.
  Weiterleitung(QWidget& fenster, Taktschleife& schleife, platform::Clock& uhr, Steuerelemente s, Anschluss a);
  ~Weiterleitung() override;

  // Client2 connects to adresse:port (or disconnects): stops the server
  // first, waits up to the socket's time-out with the progress bar, caption
  // "Verbinden" / "Trennen", failure text in lblConnectFehler.
  void cmdClient2Connect_Click(const QString& adresse, const QString& port);
  // Client3 to txtIPAdresse2 / txtT_Port2 (a dotted address, IsValidIP).
  void cmdClient3Connect_Click();
  // Disconnects Client2 (and Client3 with it when asked) if it is connected.
  void client2Trennen(bool auchClient3);
  bool client2Verbunden() const;
  // Closes both; the objects stay (a wait may still be on the stack).
  void schliessen();

  // Four dot-separated numbers of at most 3 characters, the first 10..255,
  // the others 0..255.
  static bool IsValidIP(const QString& sIP);
  // Set by a forwarding peer's "OK", cleared before each forward.
  bool Weiterleitungsquittung = false;
  net::clsSocket& Client2() { return *socket2_; }
  net::clsSocket& Client3() { return *socket3_; }
  // The progress bar's caption as shown ("Verbinde mit A:P - 45%").
  QString fortschrittText() const;

  // engine::Forwarder (Client2)
  bool isOpen() const override { return socket2_->SocketHandle() >= 1; }
  void sendData(const std::u16string& line) override { socket2_->SendData(std::u16string_view(line)); }
  void clearAcknowledgement() override { Weiterleitungsquittung = false; }
  bool acknowledged() const override { return Weiterleitungsquittung; }
  void pumpOnce() override;

 private:
  void Client2_LineDataArrival(const std::u16string& LineData);
  void Client3_LineDataArrival(const std::u16string& LineData);
  void clientVerbinden(net::clsSocket& client, QPushButton* knopf, QLineEdit* adressfeld, const QString& A,
                       int32_t P, const QString& fehlerText);
  void fortschrittStarten(const QString& text);
  void fortschrittSetzen(int32_t prozent);
  void fortschrittBeenden();

  QWidget& fenster_;
  Taktschleife& schleife_;
  platform::Clock& uhr_;
  Steuerelemente s_;
  Anschluss a_;
  std::unique_ptr<net::clsSocket> socket2_, socket3_;
  QString fortschrittText_;
  bool fensterWarGesperrt_ = false;
};

}  // namespace vrd4::app
