#include "app/Fenstersymbol.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace vrd4::app {

namespace {

// The SVG's 64 × 64 drawing at the given size.
QPixmap zeichnen(int groesse) {
  QPixmap bild(groesse, groesse);
  bild.fill(Qt::transparent);
  QPainter p(&bild);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(groesse / 64.0, groesse / 64.0);
  p.setPen(Qt::NoPen);
  const auto flaeche = [&p](QRectF r, double rund, const char* farbe) {
    p.setBrush(QColor(farbe));
    p.drawRoundedRect(r, rund, rund);
  };
  flaeche({14, 48, 4, 12}, 1, "#5b6270");  // the stand
  flaeche({46, 48, 4, 12}, 1, "#5b6270");
  flaeche({10, 58, 44, 3}, 1.5, "#5b6270");
  flaeche({3, 4, 58, 46}, 4, "#0d1526");  // the board
  flaeche({5, 6, 54, 42}, 2.5, "#00264d");
  flaeche({10, 10, 44, 4}, 1, "#ffffff");  // title and its line
  flaeche({9, 16, 46, 1.5}, 0, "#ffd400");
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor("#ffffff"), 1.2));  // two frames
  p.drawRect(QRectF(9.6, 20.6, 20.8, 15.8));
  p.drawRect(QRectF(33.6, 20.6, 20.8, 15.8));
  QPen ziffer(QColor("#ffd400"), 2.4, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
  p.setPen(ziffer);  // a 3 and a 2
  QPainterPath drei;
  drei.moveTo(16.5, 24), drei.lineTo(23.5, 24), drei.lineTo(23.5, 28.5), drei.lineTo(17.5, 28.5);
  drei.moveTo(23.5, 28.5), drei.lineTo(23.5, 33), drei.lineTo(16.5, 33);
  QPainterPath zwei;
  zwei.moveTo(40.5, 24), zwei.lineTo(47.5, 24), zwei.lineTo(47.5, 28.5), zwei.lineTo(40.5, 28.5);
  zwei.lineTo(40.5, 33), zwei.lineTo(47.5, 33);
  p.drawPath(drei);
  p.drawPath(zwei);
  p.setPen(Qt::NoPen);
  flaeche({9, 39, 46, 4}, 1, "#e8202a");  // the red bar, the ticker
  flaeche({5, 45, 54, 3}, 0, "#000000");
  flaeche({14, 45.6, 30, 1.8}, 0, "#ffd400");
  return bild;
}

}  // namespace

QIcon fensterSymbol() {
  QIcon symbol;
  for (const int g : {16, 32, 48, 64, 128}) symbol.addPixmap(zeichnen(g));
  return symbol;
}

}  // namespace vrd4::app
