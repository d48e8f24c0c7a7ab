#pragma once
// The frame "Diverses" (CtlFraDiverses: "Parameter speichern", "Bild
// speichern", "Fenster synchronisieren", the twips per pixel, the tick
// counts Label2 and Label3) and the settings file "VRD4Startwerte.TXT"
// (app/Startwerte.h): read at activation, written at unload and by
// "Parameter speichern".
#include <QPoint>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vrd4::app {

class Netzpanel;
struct Startwerte;

class Einstellungen {
 public:
  // The running tick count (Label3) is repainted at most this often.
  static constexpr double kZaehlerAnzeigeSekunden = 1.0;

  // The frame is built with parent `rahmenParent`; fenster is the window
  // whose position the file keeps. All must outlive this object.
  Einstellungen(QWidget& fenster, QWidget& rahmenParent, Netzpanel& netz, const std::string& programmOrdner);

  QGroupBox* rahmen() const { return CtlFraDiverses; }
  QPushButton* parameterKnopf() const { return cmdParameterSpeichern; }
  QPushButton* bildKnopf() const { return cmdBoxSpeichern; }
  QPushButton* syncKnopf() const { return cmdFensterSyncronisieren; }
  QPushButton* transferKnopf() const { return cmdTransferTest; }

  // The settings file: where, read (it may connect Client2 or start the
  // server, and moves the window), written (an unwritable file is not
  // reported: the next start has the defaults).
  std::string startwertePfad() const;
  void StartwerteLesen();
  void StartwerteSchreiben();
  // The saved window corner alone, before the window is first shown: a
  // window manager places a new window where it likes unless the position
  // comes with the window (a move after mapping may lose against it).
  void eckeVorDemZeigen();
  // The client area's top-left corner in screen pixels that the file keeps;
  // set by the window (in full screen: the corner from before). Empty: the
  // window's own.
  std::function<QPoint()> fensterEcke;

  // txtTwipsperPixelX/Y from the window's logical DPI.
  void twipsAnzeigen();
  // Counts takte ticks at clock time jetzt (seconds): Label3 the running
  // count, Label2 the ticks of the last second.
  void taktZaehlen(double jetzt, int32_t takte = 1);

 private:
  void eckeSetzen(const Startwerte& w);
  QPoint ecke() const;

  QWidget& fenster_;
  Netzpanel& netz_;
  const std::string& programmOrdner_;
  QGroupBox* CtlFraDiverses = nullptr;
  QPushButton* cmdParameterSpeichern = nullptr;
  QPushButton* cmdBoxSpeichern = nullptr;
  QPushButton* cmdFensterSyncronisieren = nullptr;
  QPushButton* cmdTransferTest = nullptr;
  QLineEdit* txtTwipsperPixelX = nullptr;
  QLineEdit* txtTwipsPerPixelY = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  int32_t tickZaehler_ = 0;
  std::optional<double> letzteRatenZeit_;
  std::optional<double> letzteZaehlerAnzeige_;
};

}  // namespace vrd4::app
