#pragma once
// The controls under the board: the last command Label99Wert, the status
// list List1 with ButtonListeClear, the full-screen button cmdBitmapVollbild,
// the font factor txtFontGroessenfaktor, the status label LabelGAKomFehler
// and the connect failure lblConnectFehler. The engine writes to it as its
// StatusView. Every control carries its name as Qt objectName.
#include <QString>
#include <optional>

#include "engine/Interfaces.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace vrd4::engine {
class clsVRD4Empfaenger;
}

namespace vrd4::app {

class Statusanzeige final : public engine::StatusView {
 public:
  // The status list is emptied when it holds this many entries.
  static constexpr int kListeMaximal = 7;

  // Builds the controls into fenster, from (links, oben), breite wide.
  Statusanzeige(QWidget& fenster, int links, int oben, int breite);
  // Height the controls take below `oben`.
  static constexpr int kHoehe = 224;

  // engine::StatusView
  void setLetzterBefehl(const QString& caption) override;
  // Adds the entry and scrolls to it (once per round of the event loop).
  void statusEintrag(const QString& entry) override;

  // The list rule: emptied when it holds kListeMaximal or more entries.
  void kuerzen();
  void leeren();  // ButtonListeClear
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
};

// The font factor text as a number: "," or "." as decimal separator, blanks
// around it allowed, nothing else. nullopt for anything else.
std::optional<double> zahlAusFaktorText(const QString& text);

}  // namespace vrd4::app
