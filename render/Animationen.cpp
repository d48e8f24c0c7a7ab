#include "render/Animationen.h"

#include <algorithm>
#include <stdexcept>

#include "platform/MciVideo.h"
#include "render/modAviWiedergeben.h"
#include "support/Numbers.h"

namespace vrd4::render {

namespace {

const QString kBefehlFehler = QStringLiteral("BefehlFehler");

// A GIF slot is its control.
class GifMedium final : public AnimationsMedium {
 public:
  explicit GifMedium(ucAniGIF& ctl) : ctl_(ctl) {}
  void starten() override { ctl_.setAction(1); }
  void stoppen() override { ctl_.setAction(2); }
  void loeschen() override {
    ctl_.setAction(0);
    ctl_.LoadAnimatedGIF_Array({});  // a free slot holds no decoded frames
  }
  void setVisible(bool) override {}  // the slot shows and hides the control itself
  void takt(double) override { ctl_.takt(); }
  bool brauchtTakt() const override { return ctl_.brauchtTakt(); }

 private:
  ucAniGIF& ctl_;
};

// Little-endian 16 bits at the 1-based byte position pos; missing bytes are 0.
int wort(std::span<const uint8_t> b, size_t pos) {
  const int lo = pos - 1 < b.size() ? b[pos - 1] : 0;
  const int hi = pos < b.size() ? b[pos] : 0;
  return lo + 256 * hi;
}

}  // namespace

Animationen::Animationen(RenderHost& host, platform::Surface& board)
    : host_(host), board_(board), uhr_(host) {
  for (auto& c : ctl_) {
    c = std::make_unique<ucAniGIF>(board, uhr_);
    // A slot's GIF waits for AniGifStarten instead of playing unseen.
    c->setDelayAnimation(3);
    // The board's scene keeps a copy of the file for boards that join
    // later: the budget counts what the process holds.
    c->setDateiKopien(2);
  }
}

Animationen::~Animationen() {
  for (Slot& s : slots_) {
    if (s.belegt && s.medium) s.medium->loeschen();
  }
}

ucAniGIF& Animationen::ucAniGIFFeld(int n) {
  if (n < 1 || n > kAnzahl) throw std::out_of_range("ucAniGIFFeld");
  return *ctl_[size_t(n - 1)];
}

bool Animationen::belegt(int n) const { return n >= 1 && n <= kAnzahl && slots_[n - 1].belegt; }

bool Animationen::brauchtTakt() const {
  for (const Slot& s : slots_) {
    if (s.belegt && ((s.startzeit && s.anzeigedauer > 0.0) || (s.medium && s.medium->brauchtTakt()))) return true;
  }
  return false;
}

bool Animationen::nummerGueltig(uint8_t n) {
  if (n >= 1 && n <= kAnzahl) return true;
  host_.VRD4Event(kBefehlFehler,
                   QStringLiteral("AniGif-Nummer: ") + QString::number(n) + QStringLiteral(" gibt es nicht!"));
  return false;
}

// Showing or hiding a slot's control makes the board repaint; it must
// repaint what had been drawn, not an older picture.
void Animationen::bildFestlegen() {
  board_.clearPicture();
  board_.makeImagePicture();
}

uint8_t Animationen::AniGifLadenanPosition(const QString& BildnamemitPfad, int16_t Xstart,
                                           int16_t Ystart, int16_t Xende, int16_t YEnde, bool, bool,
                                           std::span<const uint8_t> bytes, gif::GifDatei* geparst) {
  AnimationsFeld feld{Xstart, Ystart, Xende, YEnde, add16(sub16(Xende, Xstart), 1),
                      add16(sub16(YEnde, Ystart), 1)};

  int frei = 0;
  for (int n = 1; n <= kAnzahl && frei == 0; ++n) {
    if (!slots_[n - 1].belegt) frei = n;
  }
  if (frei == 0) {
    host_.VRD4Event(kBefehlFehler, QStringLiteral("max. ") + QString::number(kAnzahl) +
                                        QStringLiteral("Alle animierten Gif's bereits belegt!"));
    host_.writeReply(Antwort::AniGifNr, QStringLiteral("0"));
    host_.VRD4Event(QStringLiteral("AniGifNr"), QStringLiteral("0"));
    return 0;
  }

  Slot& s = slots_[frei - 1];
  s.feld = feld;
  s.startzeit.reset();
  s.anzeigedauer = 0.0;
  s.dateiname = BildnamemitPfad;
  bildFestlegen();

  ucAniGIF& ctl = ucAniGIFFeld(frei);
  ctl.move(Xstart, Ystart, ctl.surface().widthPx(), ctl.surface().heightPx());

  uint8_t ergebnis = 0;
  QString ablehnung;
  s.medium = laden(frei, BildnamemitPfad.right(3).toUpper(), feld, bytes, geparst, ablehnung);
  if (s.medium) {
    s.belegt = true;
    ergebnis = static_cast<uint8_t>(frei);
  } else if (!ablehnung.isEmpty()) {
    ctl.move(Xstart, Ystart, 0, 0);  // a refused load keeps no large control
    const QString text = QStringLiteral("AniGif: ") + BildnamemitPfad +
                         QStringLiteral(" nicht geladen - ") + ablehnung;
    host_.VRD4Event(kBefehlFehler, text);
    host_.statusEintrag(text);
  }
  const QString nr = QString::number(ergebnis);
  host_.writeReply(Antwort::AniGifNr, nr);
  // A refused load's reason stays the last event: a sender reads it along
  // with the "0".
  if (ablehnung.isEmpty()) host_.VRD4Event(QStringLiteral("AniGifNr"), nr);
  return ergebnis;
}

std::unique_ptr<AnimationsMedium> Animationen::laden(int n, const QString& art,
                                                     const AnimationsFeld& feld,
                                                     std::span<const uint8_t> bytes,
                                                     gif::GifDatei* geparst, QString& ablehnung) {
  const bool istGif = art == QLatin1String("GIF");
  if (!istGif && art != QLatin1String("AVI")) return nullptr;
  // The natural size: the GIF's logical screen, or the AVI main header's
  // width and height.
  const int iw = istGif ? wort(bytes, 7) : wort(bytes, 65);
  const int ih = istGif ? wort(bytes, 9) : wort(bytes, 69);
  // Fitted uniformly until it touches the field's sides or its top and
  // bottom; a natural size of 0 leaves nothing to show.
  const double s = iw > 0 && ih > 0 ? std::min(double(feld.Breite) / iw, double(feld.Hoehe) / ih) : 0.0;
  ucAniGIF& ctl = ucAniGIFFeld(n);
  ctl.move(feld.Xstart, feld.Ystart, iw * s, ih * s);
  ctl.setScaleWidthSetzen(iw);
  ctl.setScaleHeightSetzen(ih);
  int64_t frei = kSpeicherBudget;
  for (const Slot& andere : slots_) frei -= andere.belegt ? andere.speicher : 0;
  Slot& slot = slots_[size_t(n - 1)];
  if (!istGif) {
    ctl.LoadAnimatedGIF_Array({});  // nothing of an earlier GIF under the clip
    using V = platform::MciVideo;
    const int64_t bild = int64_t(iw) * ih;
    if (iw > V::kMaxSeite || ih > V::kMaxSeite || bild > V::kMaxPixel) {
      ablehnung = QStringLiteral("Videobild %1 × %2 über %3 Pixel je Seite oder %4 Mpx")
                      .arg(iw).arg(ih).arg(V::kMaxSeite).arg(V::kMaxPixel >> 20);
      return nullptr;
    }
    // The frames waiting in the decoder, the one being made, the control's pixels.
    slot.speicher = std::min(bild * 4 * V::kMaxWarteschlange, V::kMaxWarteschlangeBytes) +
                    bild * 4 + int64_t(ctl.surface().widthPx()) * ctl.surface().heightPx() * 8;
    if (slot.speicher > frei) {
      ablehnung = speicherAblehnung(slot.speicher, frei);
      return nullptr;
    }
    auto clip = aviOeffnen(n, ctl.surface(), bytes);
    // The clip paints the whole control.
    if (clip) ctl.surface().setBackStyle(1);
    return clip;
  }
  ctl.setSpeicherGrenze(std::max<int64_t>(frei, 1));
  // A GIF slot is taken whatever the load gave, unless a limit refused it.
  const bool geladen = geparst ? ctl.LoadAnimatedGIF_Geparst(*geparst) : ctl.LoadAnimatedGIF_Array(bytes);
  if (!geladen && !ctl.Ablehnung().isEmpty()) {
    ablehnung = ctl.Ablehnung();
    return nullptr;
  }
  slot.speicher = ctl.Speicherbedarf();
  ctl.setStretch(1);
  return std::make_unique<GifMedium>(ctl);
}

void Animationen::AniGifStarten(uint8_t AniGifNr, double AnzeigeDauer) {
  if (!nummerGueltig(AniGifNr)) return;
  Slot& s = slots_[AniGifNr - 1];
  if (!s.belegt) return;
  s.startzeit = host_.now();
  s.anzeigedauer = AnzeigeDauer;
  s.medium->starten();
  ucAniGIFFeld(AniGifNr).setVisible(true);
  s.medium->setVisible(true);
}

void Animationen::AniGifStoppen(uint8_t AniGifNr) {
  if (!nummerGueltig(AniGifNr)) return;
  Slot& s = slots_[AniGifNr - 1];
  if (!s.belegt) return;
  s.startzeit.reset();  // a paused slot never runs out
  s.medium->stoppen();
}

void Animationen::AniGifLoeschen(uint8_t AniGifNr) {
  if (!nummerGueltig(AniGifNr)) return;
  Slot& s = slots_[AniGifNr - 1];
  if (!s.belegt) return;
  ucAniGIFFeld(AniGifNr).setVisible(false);
  s.medium->setVisible(false);
  s.medium->loeschen();
  s.medium.reset();
  s.startzeit.reset();
  s.belegt = false;
  bildFestlegen();
}

void Animationen::AnimationenTakten() {
  // Compared in full precision: the clock counts from boot, and a single
  // precision comparison would coarsen the time limit as the uptime grows.
  const double jetzt = host_.now();
  for (int n = 1; n <= kAnzahl; ++n) {
    const Slot& s = slots_[n - 1];
    if (s.belegt && s.startzeit && s.anzeigedauer > 0.0 && *s.startzeit + s.anzeigedauer < jetzt)
      AniGifLoeschen(static_cast<uint8_t>(n));
  }
  for (Slot& s : slots_) {
    if (s.belegt && s.medium) s.medium->takt(jetzt);
  }
}

}  // namespace vrd4::render
