#include "render/Board.h"

#include "support/Numbers.h"

namespace vrd4::render {

namespace {

// Puts pen width and foreground colour back however the drawing ends.
class StiftMerken {
 public:
  explicit StiftMerken(platform::Surface& pic)
      : pic_(pic), breite_(pic.drawWidth()), farbe_(pic.foreColor()) {}
  ~StiftMerken() {
    pic_.setDrawWidth(breite_);
    pic_.setForeColor(farbe_);
  }
  StiftMerken(const StiftMerken&) = delete;
  StiftMerken& operator=(const StiftMerken&) = delete;

 private:
  platform::Surface& pic_;
  int breite_;
  platform::Colour farbe_;
};

struct Ecken {
  int16_t x1, y1, x2, y2;
};

// Command pixels are 1-based. The subtraction is 16-bit on purpose: -32768
// has no 0-based neighbour, and the command must fail before it draws.
Ecken nullbasiert(int16_t Xstart, int16_t Ystart, int16_t Xende, int16_t YEnde) {
  return {sub16(Xstart, 1), sub16(Ystart, 1), sub16(Xende, 1), sub16(YEnde, 1)};
}

}  // namespace

void Hintergrundfarbe(platform::Surface& picObjekt, platform::Colour farbe) {
  picObjekt.setBackColor(farbe);
}

void Vordergrundfarbe(platform::Surface& picObjekt, platform::Colour farbe) {
  picObjekt.setForeColor(farbe);
}

void Fuellfarbe(platform::Surface& picObjekt, platform::Colour farbe) {
  picObjekt.setFillColor(farbe);
}

void Fuellstyle(platform::Surface& picObjekt, uint8_t muster) {
  picObjekt.setFillStyle(muster > 7 ? 0 : muster);
}

void Linienstil(platform::Surface& picObjekt, uint8_t stil) {
  picObjekt.setDrawStyle(stil > 6 ? 0 : stil);
}

void Rahmenart(platform::Surface& picObjekt, uint8_t art) {
  picObjekt.setBorderStyle(art > 5 ? 0 : art);
}

void Linie(platform::Surface& picObjekt, int16_t Xstart, int16_t Ystart, int16_t Xende,
           int16_t YEnde, int16_t Linienbreite, platform::Colour Farbe) {
  const Ecken e = nullbasiert(Xstart, Ystart, Xende, YEnde);
  StiftMerken stift(picObjekt);
  picObjekt.setDrawWidth(Linienbreite);
  picObjekt.setForeColor(Farbe);
  picObjekt.pictureFollowsDrawing();
  picObjekt.line(e.x1, e.y1, e.x2, e.y2, Farbe);
  // What was drawn survives a later background colour until Cls.
  picObjekt.makeImagePicture();
}

void Rechteck(platform::Surface& picObjekt, int16_t Xstart, int16_t Ystart, int16_t Xende,
              int16_t YEnde, int16_t Linienbreite, platform::Colour Farbe, bool Fuellen) {
  const Ecken e = nullbasiert(Xstart, Ystart, Xende, YEnde);
  StiftMerken stift(picObjekt);
  picObjekt.setDrawWidth(Linienbreite < 1 ? 1 : Linienbreite);
  picObjekt.setForeColor(Farbe);
  picObjekt.pictureFollowsDrawing();
  if (Fuellen)
    picObjekt.filledBox(e.x1, e.y1, e.x2, e.y2, Farbe);
  else
    picObjekt.box(e.x1, e.y1, e.x2, e.y2, Farbe);
  picObjekt.makeImagePicture();
}

void Tafelgroesse(platform::Surface&, int16_t, int16_t) {}

}  // namespace vrd4::render
