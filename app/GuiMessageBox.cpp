#include "app/GuiMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>

namespace vrd4::app {

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
  auto* box = new QMessageBox(symbol, caption, body, QMessageBox::Ok, besitzer_.data());
  box->setObjectName(QStringLiteral("Meldung"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  // Nobody may be at the screen to click: the box goes by itself.
  QTimer::singleShot(kSelbstSchliessenMs, box, [box] { box->done(QMessageBox::Ok); });
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
