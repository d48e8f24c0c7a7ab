#pragma once
// The controls under the board: the last command Label99Wert, the status
// list List1 with ButtonListeClear, the full-screen button cmdBitmapVollbild,
// the font factor txtFontGroessenfaktor, the status label LabelGAKomFehler
// and the connect failure lblConnectFehler. The engine writes to it as its
// Statusausgabe. Every control carries its name as Qt objectName.
#include <QString>
#include <QStringList>
#include <optional>

#include "engine/Interfaces.h"
#include "hall/Meldungen.h"
#include "platform/Systemd.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace vrd4::engine {
class clsVRD4Empfaenger;
}

namespace vrd4::app {

class Statusanzeige final : public engine::Statusausgabe {
 public:
  // The status list is emptied when it holds this many entries.
  static constexpr int kListeMaximal = 7;

  // Builds the controls into fenster, from (links, oben), breite wide.
  Statusanzeige(QWidget& fenster, int links, int oben, int breite);
  // Height the controls take below `oben`.
  static constexpr int kHoehe = 224;

  // engine::Statusausgabe
  void letzterBefehl(const QString& caption) override;
  // Adds the entry and scrolls to it (once per round of the event loop),
  // and writes it to the history and to verlauf().
  void statusEintrag(const QString& entry) override;
  // The last entries with their times, whatever the list shows (the hall's
  // overview publishes them).
  halle::Meldungsverlauf& verlauf() { return verlauf_; }

  // The list rule: emptied when it holds kListeMaximal or more entries.
  void kuerzen();
  void leeren();  // ButtonListeClear

  // Between sammelnBeginnen and sammelnBeenden (nested pairs count as one),
  // entries and the list rule act on the list as it will be, and List1
  // takes the result at the outermost end: what remains of a flood of
  // entries goes in with one insert, their history with one write.
  // Label99Wert likewise shows only the last caption. Outside, every change
  // shows at once.
  void sammelnBeginnen();
  void sammelnBeenden();

  // LabelGAKomFehler shows s.
  void zeigen(const QString& s);
  // lblConnectFehler: shown while it has a text.
  void verbindungsfehler(const QString& text);
  // Sets the engine's FontGroessenFaktor from the factor box; a text that
  // is no number keeps the last factor and says so in LabelGAKomFehler.
  void faktorUebernehmen(engine::clsVRD4Empfaenger* engine);

  QPushButton* vollbildKnopf() const { return cmdBitmapVollbild; }
  QLineEdit* faktorFeld() const { return txtFontGroessenfaktor; }

 private:
  QLabel* Label99Wert = nullptr;
  QListWidget* List1 = nullptr;
  QPushButton* ButtonListeClear = nullptr;
  QPushButton* cmdBitmapVollbild = nullptr;
  QLineEdit* txtFontGroessenfaktor = nullptr;
  QLabel* LabelGAKomFehler = nullptr;
  QLabel* lblConnectFehler = nullptr;
  bool rollenAngestossen_ = false;
  halle::Meldungsverlauf verlauf_;
  // Gathered between sammelnBeginnen and sammelnBeenden: List1 is emptied
  // first (leeren_), then takes wartend_; letzterBefehl_ goes to Label99Wert.
  int sammlungen_ = 0;
  std::optional<platform::systemd::ProtokollSammlung> protokoll_;
  bool leeren_ = false;
  QStringList wartend_;
  std::optional<QString> letzterBefehl_;
  int anzahl() const;  // entries List1 will hold
  void anwenden();
};

// The font factor text as a number: "," or "." as decimal separator, blanks
// around it allowed, nothing else. nullopt for anything else.
std::optional<double> zahlAusFaktorText(const QString& text);

}  // namespace vrd4::app
