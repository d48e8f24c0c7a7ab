#include "app/Statusanzeige.h"
#include "app/Benannt.h"

#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTimer>
#include <cmath>
#include <utility>

#include "engine/clsVRD4Empfaenger.h"
#include "platform/Systemd.h"

namespace vrd4::app {

std::optional<double> zahlAusFaktorText(const QString& text) {
  QString t = text.trimmed();
  if (t.isEmpty()) return std::nullopt;
  // The design value is written with a decimal comma; a point is just as
  // common. Group separators are not accepted: "1.000,5" is no number here.
  if (t.count(QLatin1Char(',')) + t.count(QLatin1Char('.')) > 1) return std::nullopt;
  t.replace(QLatin1Char(','), QLatin1Char('.'));
  QLocale c = QLocale::c();
  c.setNumberOptions(QLocale::RejectGroupSeparator);
  bool ok = false;
  const double v = c.toDouble(t, &ok);
  if (!ok || !std::isfinite(v)) return std::nullopt;
  return v;
}

Statusanzeige::Statusanzeige(QWidget& fenster, int links, int oben, int breite) {
  QWidget* f = &fenster;
  Label99Wert = benannt(new QLabel(QStringLiteral("letzter Befehl"), f), "Label99Wert");
  Label99Wert->setGeometry(links, oben, breite, 22);
  Label99Wert->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  // Commands can be long: the label keeps its place and cuts them.
  Label99Wert->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  Label99Wert->setTextFormat(Qt::PlainText);

  List1 = benannt(new QListWidget(f), "List1");
  List1->setGeometry(links, oben + 28, 500, 150);

  const int x2 = links + 508;
  const int b2 = breite - 508;
  ButtonListeClear = benannt(new QPushButton(QStringLiteral("Liste löschen"), f), "ButtonListeClear");
  ButtonListeClear->setGeometry(x2, oben + 28, 130, 26);
  cmdBitmapVollbild =
      benannt(new QPushButton(QStringLiteral("Bitmap als Vollbild (ESC zum Beenden)"), f), "cmdBitmapVollbild");
  cmdBitmapVollbild->setGeometry(x2, oben + 58, b2, 26);

  auto* faktorLabel = new QLabel(QStringLiteral("Fontgrößenfaktor:"), f);
  faktorLabel->setWordWrap(true);
  faktorLabel->setGeometry(x2, oben + 90, 130, 22);
  txtFontGroessenfaktor = benannt(new QLineEdit(QStringLiteral("0,75"), f), "txtFontGroessenfaktor");
  txtFontGroessenfaktor->setGeometry(x2 + 134, oben + 90, 60, 22);

  LabelGAKomFehler = benannt(new QLabel(QStringLiteral("Status-/Fehlermeldungen"), f), "LabelGAKomFehler");
  LabelGAKomFehler->setGeometry(x2, oben + 118, b2, 60);
  LabelGAKomFehler->setWordWrap(true);
  LabelGAKomFehler->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  LabelGAKomFehler->setTextFormat(Qt::PlainText);
  LabelGAKomFehler->hide();

  lblConnectFehler = benannt(new QLabel(f), "lblConnectFehler");
  lblConnectFehler->setGeometry(links, oben + 184, breite, 40);
  lblConnectFehler->setStyleSheet(QStringLiteral("color: #b00000"));
  lblConnectFehler->hide();  // shown only while it has a text

  QObject::connect(ButtonListeClear, &QPushButton::clicked, f, [this] { leeren(); });
}

void Statusanzeige::letzterBefehl(const QString& caption) {
  if (sammlungen_ > 0) {
    letzterBefehl_ = caption;
    return;
  }
  Label99Wert->setText(caption);
}

void Statusanzeige::statusEintrag(const QString& entry) {
  // The list is emptied every few entries; the journal or log file keeps the day's history.
  platform::systemd::protokollieren(std::u16string_view(QStringView(entry).utf16(), entry.size()));
  verlauf_.eintragen(entry, QDateTime::currentMSecsSinceEpoch());
  wartend_.push_back(entry);
  if (sammlungen_ == 0) anwenden();
}

int Statusanzeige::anzahl() const { return (leeren_ ? 0 : List1->count()) + int(wartend_.size()); }

void Statusanzeige::kuerzen() {
  if (anzahl() >= kListeMaximal) leeren();
}

void Statusanzeige::leeren() {
  leeren_ = true;
  wartend_.clear();
  if (sammlungen_ == 0) anwenden();
}

void Statusanzeige::sammelnBeginnen() {
  if (sammlungen_++ == 0) protokoll_.emplace();
}

void Statusanzeige::sammelnBeenden() {
  if (--sammlungen_ > 0) return;
  anwenden();
  protokoll_.reset();
}

void Statusanzeige::anwenden() {
  if (letzterBefehl_) Label99Wert->setText(*std::exchange(letzterBefehl_, std::nullopt));
  if (std::exchange(leeren_, false)) List1->clear();
  if (wartend_.isEmpty()) return;
  List1->addItems(wartend_);
  wartend_.clear();
  // Scrolling lays out the whole list: once per round of the event loop is
  // enough, however many entries came.
  if (!rollenAngestossen_) {
    rollenAngestossen_ = true;
    QTimer::singleShot(0, List1, [this] {
      rollenAngestossen_ = false;
      List1->scrollToBottom();
    });
  }
}

void Statusanzeige::zeigen(const QString& s) {
  LabelGAKomFehler->setText(s);
  LabelGAKomFehler->setVisible(true);
}

void Statusanzeige::verbindungsfehler(const QString& text) {
  lblConnectFehler->setText(text);
  lblConnectFehler->setVisible(!text.isEmpty());
}

void Statusanzeige::faktorUebernehmen(engine::clsVRD4Empfaenger* engine) {
  if (!engine) return;
  const QString text = txtFontGroessenfaktor->text();
  if (text.isEmpty()) return;
  if (const auto v = zahlAusFaktorText(text)) {
    engine->FontGroessenFaktor = *v;
    return;
  }
  // The last factor stays; the status label says why.
  zeigen(QStringLiteral("Fontgrößenfaktor: \"") + text + QStringLiteral("\" ist keine Zahl, es bleibt ") +
         QLocale().toString(engine->FontGroessenFaktor));
}

}  // namespace vrd4::app
