#include "app/GuiMessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace vrd4::app {

void GuiMessageBox::show(const std::u16string& text, const std::u16string& title) {
  QString body = QString::fromStdU16String(text);
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  const QString caption =
      title.empty() ? QCoreApplication::applicationName() : QString::fromStdU16String(title);
  QMessageBox box(QMessageBox::NoIcon, caption, body, QMessageBox::Ok);
  box.exec();
}

}  // namespace vrd4::app
