// The floor for the receiver's idle cost: a bare Qt Widgets window with a
// precise 10 ms timer that does nothing.
#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget fenster;
  fenster.resize(768, 480);
  fenster.show();
  QTimer takt;
  takt.setTimerType(Qt::PreciseTimer);
  QObject::connect(&takt, &QTimer::timeout, [] {});
  takt.start(10);
  return app.exec();
}
