#include "render/Animationen.h"

#include "support/Numbers.h"

namespace vrd4::render {

namespace {
const QString kBefehlFehler = QStringLiteral("BefehlFehler");
}

Animationen::Animationen(RenderHost& host, platform::Surface& board, AnimationsLader* lader)
    : host_(host), board_(board), lader_(lader) {}

Animationen::~Animationen() {
  for (Slot& s : slots_) {
    if (s.belegt && s.medium) s.medium->loeschen();
  }
}

void Animationen::setLader(AnimationsLader* lader) { lader_ = lader; }

bool Animationen::belegt(int n) const { return n >= 1 && n <= kAnzahl && slots_[n - 1].belegt; }

bool Animationen::nummerGueltig(uint8_t n) {
  if (n >= 1 && n <= kAnzahl) return true;
  host_.raiseEvent(kBefehlFehler,
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
                                           std::span<const uint8_t> bytes) {
  AnimationsFeld feld{Xstart, Ystart, Xende, YEnde, add16(sub16(Xende, Xstart), 1),
                      add16(sub16(YEnde, Ystart), 1)};

  int frei = 0;
  for (int n = 1; n <= kAnzahl && frei == 0; ++n) {
    if (!slots_[n - 1].belegt) frei = n;
  }
  if (frei == 0) {
    host_.raiseEvent(kBefehlFehler, QStringLiteral("max. ") + QString::number(kAnzahl) +
                                        QStringLiteral("Alle animierten Gif's bereits belegt!"));
    host_.writeReply(Antwort::AniGifNr, QStringLiteral("0"));
    host_.raiseEvent(QStringLiteral("AniGifNr"), QStringLiteral("0"));
    return 0;
  }

  Slot& s = slots_[frei - 1];
  s.feld = feld;
  s.startzeit.reset();
  s.anzeigedauer = 0.0;
  s.dateiname = BildnamemitPfad;
  bildFestlegen();

  const QString art = BildnamemitPfad.right(3).toUpper();
  uint8_t ergebnis = 0;
  if (lader_) {
    s.medium = lader_->laden(frei, art, feld, bytes);
    if (s.medium) {
      s.belegt = true;
      ergebnis = static_cast<uint8_t>(frei);
    }
  }
  const QString nr = QString::number(ergebnis);
  host_.writeReply(Antwort::AniGifNr, nr);
  host_.raiseEvent(QStringLiteral("AniGifNr"), nr);
  return ergebnis;
}

void Animationen::AniGifStarten(uint8_t AniGifNr, double AnzeigeDauer) {
  if (!nummerGueltig(AniGifNr)) return;
  Slot& s = slots_[AniGifNr - 1];
  if (!s.belegt) return;
  s.startzeit = host_.now();
  s.anzeigedauer = AnzeigeDauer;
  s.medium->starten();
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
