#include "render/TextSteuerelement.h"

#include "render/Schrift.h"

namespace vrd4::render {

void SteuerelementEinrichten(CtlLTundBK& ctl, const TextParameter& p, const QString& schriftart,
                             int16_t w, int16_t h, int16_t groesse) {
  ctl.setVisible(true);
  ctl.AutoRedraw = true;
  ctl.setBackStyle(1);
  ctl.move(0, 0, w, h);
  ctl.setScaleWidth(w);
  ctl.setScaleHeight(h);
  ctl.setBackColor(p.FeldHintergrundfarbe);
  ctl.setForeColor(p.FeldVordergrundfarbe);
  ctl.setFontbold(p.Fett);
  ctl.setFontItalic(p.Kursiv);
  ctl.setFontName(schriftart);
  // The pixel height goes in as points; read back it is the target height.
  ctl.setFontSize(groesse);
  ctl.setFontStrikethru(p.Durchgestrichen);
  ctl.setFontTransparent(p.Transparent);
  ctl.setFontUnderline(p.Unterstrichen);
  SchriftGanzzahligAnpassen(ctl);
}

void SteuerelementPlatzieren(CtlLTundBK& ctl, const TextFeld& f, bool transparent,
                             platform::Colour feldfarbe) {
  ctl.move(f.Xstart, f.Ystart, f.FeldBreite, f.FeldHoehe);
  ctl.setScaleWidth(f.FeldBreite);
  ctl.setScaleHeight(f.FeldHoehe);
  if (transparent) {
    // After printing, everything in the field colour vanishes: only the
    // glyphs lie over the board.
    ctl.setMaskColor(feldfarbe);
    ctl.setBackStyle(0);
  } else {
    ctl.setBackStyle(1);
  }
}

void SteuerelementTextZeigen(CtlLTundBK& ctl, int32_t x, int32_t y, const QString& text) {
  ctl.Cls();
  ctl.setCurrentX(x);
  ctl.setCurrentY(y);
  ctl.PrintText(text);
  ctl.SetzeMaskPicture();
}

void SteuerelementLeeren(CtlLTundBK& ctl) {
  ctl.Cls();
  ctl.SetzeMaskPicture();
}

}  // namespace vrd4::render
