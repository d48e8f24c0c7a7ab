#include "app/GuiMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>

namespace vrd4::app {

QString GuiMessageBox::gezaehlt(const QString& text, int anzahl) {
  return anzahl < 2 ? text : text + QStringLiteral(" (") + QString::number(anzahl) + QStringLiteral("-mal)");
}

void GuiMessageBox::show(const std::u16string& text, const std::u16string& title, platform::MeldungsStil stil) {
  QString body = QString::fromStdU16String(text);
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  const QString caption =
      title.empty() ? QCoreApplication::applicationName() : QString::fromStdU16String(title);
  const QMessageBox::Icon symbol = stil.warnung ? QMessageBox::Warning : QMessageBox::NoIcon;
  if (stil.wartet) {
    QMessageBox box(symbol, caption, body, QMessageBox::Ok);
    box.exec();
    return;
  }
  std::shared_ptr<Offen>& eintrag = offen_[{caption, stil.besitzer}];
  if (!eintrag) eintrag = std::make_shared<Offen>();
  Offen& o = *eintrag;
  if (o.box) {
    // Counted into the open box; its text and its time are renewed once the
    // event loop turns (a flood of lines must not lay out a box per line).
    o.text = body;
    ++o.anzahl;
    if (!o.erneuern) {
      o.erneuern = true;
      QTimer::singleShot(0, o.box.data(), [e = eintrag] {
        e->erneuern = false;
        if (!e->box) return;
        e->box->setText(gezaehlt(e->text, e->anzahl));
        if (auto* uhr = e->box->findChild<QTimer*>(QStringLiteral("Selbstschliessen"))) uhr->start();
      });
    }
    return;
  }
  auto* box = new QMessageBox(symbol, caption, body, QMessageBox::Ok, besitzer_.data());
  box->setObjectName(QStringLiteral("Meldung"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  o.box = box;
  o.text = body;
  o.anzahl = 1;
  o.erneuern = false;
  // Nobody may be at the screen to click: the box goes by itself.
  auto* uhr = new QTimer(box);
  uhr->setObjectName(QStringLiteral("Selbstschliessen"));
  uhr->setSingleShot(true);
  uhr->setInterval(kSelbstSchliessenMs);
  QObject::connect(uhr, &QTimer::timeout, box, [box] { box->done(QMessageBox::Ok); });
  uhr->start();
  if (stil.besitzer != 0) {
    // Another program's window: the window manager keeps the box over it.
    box->winId();
    if (QWindow* fremd = QWindow::fromWinId(stil.besitzer)) {
      box->windowHandle()->setTransientParent(fremd);
      QObject::connect(box, &QObject::destroyed, fremd, [fremd] { fremd->deleteLater(); });
    }
  }
  box->show();
  box->raise();
  box->activateWindow();
}

}  // namespace vrd4::app
