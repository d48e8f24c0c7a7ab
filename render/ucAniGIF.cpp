#include "render/ucAniGIF.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "render/ucAniGIFPrivate.h"
#include "support/Numbers.h"

namespace vrd4::render {

namespace {

// A tick due within this of now counts as due: the clock's steps are sums of
// hundredths that rarely land exactly on a frame's delay.
constexpr double kToleranz = 1e-6;
constexpr double kVerzoegertesDekodieren = 0.020;  // seconds after loading

bool signaturGut(const QByteArray& b) {
  if (b.size() < 15) return false;
  const QByteArray s = b.left(6).toLower();
  return s == "gif89a" || s == "gif87a";
}

}  // namespace

QString speicherAblehnung(int64_t bedarf, int64_t frei) {
  const auto mb = [](int64_t b) { return QString::number((b + (1 << 20) - 1) >> 20); };
  return QStringLiteral("braucht %1 MB Speicher, frei sind %2 MB").arg(mb(bedarf), mb(frei));
}

QSize controlGroesse(long wPx, long hPx) {
  int w = int(std::clamp(wPx, 1L, long(kMaxSeitePx)));
  int h = int(std::clamp(hPx, 1L, long(kMaxSeitePx)));
  if (double(w) * h > kMaxControlPixel) {
    const double k = std::sqrt(kMaxControlPixel / (double(w) * h));
    w = std::max(1, int(w * k));
    h = std::max(1, int(h * k));
  }
  return {w, h};
}

ucAniGIF::Impl::Impl(ucAniGIF& q, platform::Surface& parent, const platform::Clock& clock)
    : q(q), clock(clock) {
  surface.setVisible(false);
  surface.setMaskColor(0);  // the mask picture is black where nothing is drawn
  surface.setParentSurface(&parent);
}

ucAniGIF::Impl::~Impl() {
  if (antwort) {
    antwort->disconnect();  // an ending control reports nothing
    antwort->abort();
  }
  surface.setParentSurface(nullptr);
}

void ucAniGIF::Impl::leeren() {
  warten();
  timerStoppen();
  dekodierenUm.reset();
  gif.clear();
  geladen = alleDekodiert = false;
  frame = 0;
  loopsDone = 0;
  mitCanvas = mitMaske = false;
  canvas = QImage();
  offen = Entsorgung{};
  abtastung = {};
  umlauf = schwer = bestimmt = nachzuholen = false;
  zuletzt = folge = 0;
  bilder = {};
  bildspeicher = 0;
  indizes = {};
  ablehnung.clear();
}

int64_t ucAniGIF::Impl::speicherbedarf() const {
  const int64_t W = surface.widthPx(), H = surface.heightPx();
  // The file's bytes and one frame's indices while it is decoded, whatever
  // the animation's length.
  int64_t bedarf = gif.dateiBytes() * dateiKopien + gif.groessterFrame() + W * H * 16;
  // A large source keeps only the pixels the control shows: at most its own
  // pixels (unless it takes the GIF's size).
  const auto gezeigt = [&](int64_t b, int64_t h) {
    return b * h < kSchwerPixel || stretch == 4 ? b * h : std::min(b, W) * std::min(h, H);
  };
  const gif::FrameInfo& f = gif.frames().front();
  if (gif.frameCount() >= 2) {
    bedarf += gezeigt(gif.canvasWidth(), gif.canvasHeight()) * 4;
  } else if (int64_t(f.width) * f.height >= kSchwerPixel) {
    bedarf += gezeigt(f.width, f.height);  // the kept indices beside the decoded frame
  }
  return bedarf + bildspeicher;
}

QString ucAniGIF::Impl::grenzePruefen(int frames) const {
  if (frames <= 0) {
    switch (gif.grenzeUeberschritten()) {
      case gif::Grenze::Seite:
        return QStringLiteral("Seite über %1 Pixel").arg(gif::kMaxSeite);
      case gif::Grenze::Frame:
        return QStringLiteral("Frame über %1 Mpx").arg(gif::kMaxFramePixel >> 20);
      case gif::Grenze::Frames:
        return QStringLiteral("über %1 Frames").arg(gif::kMaxFrames);
      case gif::Grenze::keine: break;
    }
    return {};
  }
  if (int64_t(gif.canvasWidth()) * gif.canvasHeight() > kMaxCanvasPixel)
    return QStringLiteral("Bild über %1 Mpx").arg(kMaxCanvasPixel >> 20);
  const int64_t bedarf = speicherbedarf();
  if (speicherGrenze > 0 && bedarf > speicherGrenze)
    return speicherAblehnung(bedarf, speicherGrenze);
  return {};
}

bool ucAniGIF::Impl::laden(std::span<const uint8_t> bytes) {
  leeren();
  return geparst(gif.parse(bytes));
}

bool ucAniGIF::Impl::laden(gif::GifDatei& geparst) {
  leeren();
  gif.tauschen(geparst);
  return this->geparst(gif.frameCount());
}

bool ucAniGIF::Impl::geparst(int n) {
  QString grund = grenzePruefen(n);
  // One frame stays decoded for good (a large one on the worker, see
  // zeichnen()); more frames are decoded as they play.
  if (grund.isEmpty() && n == 1 &&
      int64_t(gif.frames().front().width) * gif.frames().front().height < kSchwerPixel &&
      !gif.frameDekodieren(1, indizes))
    grund = QStringLiteral("kein Speicher für das Bild");
  if (n <= 0 || !grund.isEmpty()) {
    leeren();
    ablehnung = grund;
    zeichnen(false);
    return false;
  }
  if (const auto l = gif.loopCount()) loops = std::abs(*l);
  geladen = true;
  frame = 1;
  canvasAnlegen();
  layoutBerechnen();
  bildspeicher = bildspeicherWahl();
  zeichnen(true);
  if (n == 1) {
    alleDekodiert = true;
  } else if (delayMode & 1) {
    dekodierenUm = clock.seconds() + kVerzoegertesDekodieren;
  } else {
    restDekodieren();
  }
  if (alleDekodiert && !(delayMode & 2)) q.setAction(1);
  return true;
}

void ucAniGIF::Impl::restDekodieren() {
  dekodierenUm.reset();
  // Frames are decoded when they are shown; from here on they may be.
  alleDekodiert = true;
}

int32_t ucAniGIF::Impl::frameDelayMs(int32_t k) const {
  return std::max(gif.frames()[size_t(k - 1)].delay, int32_t(minDelay));
}

void ucAniGIF::Impl::timerStarten() {
  if (!geladen || zustand == 1 || gif.frameCount() < 2) return;
  faellig = clock.seconds() + frameDelayMs(frame) / 1000.0;
  zustand = 1;
}

void ucAniGIF::Impl::timerStoppen() {
  faellig.reset();
  zustand = 0;
}

void ucAniGIF::Impl::tick() {
  const double war = *faellig;
  faellig.reset();
  if (!alleDekodiert) restDekodieren();
  const int32_t n = gif.frameCount();
  bool durchgang = false;
  if (++frame > n) {
    frame = 1;
    durchgang = true;
  }
  bool ende = false;
  if (n > 1) {
    if (durchgang && loops != 0 && ++loopsDone >= loops) {
      loopsDone = 0;
      zustand = 0;
      ende = true;
    }
  } else {
    loopsDone = 1;
    zustand = 0;
    ende = true;
  }
  zeichnen(true);
  if (ende) {
    if (q.LoopsEnded) q.LoopsEnded();
    return;
  }
  // A handler may have stopped or restarted the animation.
  if (zustand != 1 || faellig) return;
  // Keep the rhythm of the due times; after a long stall start afresh
  // instead of catching up with a burst of frames.
  const double d = frameDelayMs(frame) / 1000.0, jetzt = clock.seconds();
  faellig = war + d > jetzt ? war + d : jetzt + d;
}

// --- the control ------------------------------------------------------------

ucAniGIF::ucAniGIF(platform::Surface& parent, const platform::Clock& clock)
    : d(std::make_unique<Impl>(*this, parent, clock)) {}

ucAniGIF::~ucAniGIF() {
  FrameChanged = nullptr;
  LoopsEnded = nullptr;
  d->leeren();
}

platform::Surface& ucAniGIF::surface() { return d->surface; }

void ucAniGIF::move(double left, double top, double width, double height) {
  const platform::Surface* p = d->surface.parentSurface();
  const double fx = p ? p->widthPx() / p->scaleWidth() : 1.0;
  const double fy = p ? p->heightPx() / p->scaleHeight() : 1.0;
  auto px = [](double v, double f) {
    return std::isfinite(v * f) ? std::lround(std::clamp(v * f, -1e6, 1e6)) : 0L;
  };
  const QSize g = controlGroesse(px(width, fx), px(height, fy));
  if (g.width() != d->surface.widthPx() || g.height() != d->surface.heightPx()) {
    d->surface.resize(g.width(), g.height());
    d->layoutBerechnen();
    d->zeichnen(false);
  }
  d->surface.move(int(px(left, fx)), int(px(top, fy)));
}

void ucAniGIF::setVisible(bool on) {
  if (on == d->surface.visible()) return;
  if (!on && d->zustand == 1) setAction(2);
  d->surface.setVisible(on);
  if (on && d->zustand == 2) {
    d->zustand = 0;
    d->timerStarten();
  }
}
bool ucAniGIF::visible() const { return d->surface.visible(); }

bool ucAniGIF::Enabled() const { return d->enabled; }
void ucAniGIF::setEnabled(bool on) { d->enabled = on; }
int32_t ucAniGIF::FrameCount() const { return d->geladen ? d->gif.frameCount() : 0; }
int32_t ucAniGIF::ActualWidth() const { return d->geladen ? d->gif.canvasWidth() : 0; }
int32_t ucAniGIF::ActualHeight() const { return d->geladen ? d->gif.canvasHeight() : 0; }

int32_t ucAniGIF::Stretch() const { return d->stretch; }
void ucAniGIF::setStretch(int32_t s) {
  if (s < 0 || s > 4 || s == d->stretch) return;
  const int32_t vorher = d->zustand;
  if (vorher == 1) setAction(2);
  d->stretch = s;
  d->layoutBerechnen();
  if (vorher == 1) {
    d->zustand = 0;
    d->timerStarten();
  } else {
    d->zeichnen(false);
  }
}

int32_t ucAniGIF::MinFrameDelay() const { return d->minDelay; }
void ucAniGIF::setMinFrameDelay(int32_t ms) { d->minDelay = int16_t(std::clamp(ms, -32768, 32767)); }
int32_t ucAniGIF::Loops() const { return d->loops; }
void ucAniGIF::setLoops(int32_t n) { d->loops = n == INT32_MIN ? INT32_MAX : std::abs(n); }

void ucAniGIF::setScaleWidthSetzen(int32_t w) {
  if (w <= 0) return;
  d->surface.setScale(w, d->surface.scaleHeight());
  d->skalaGesetzt = true;
}
void ucAniGIF::setScaleHeightSetzen(int32_t h) {
  if (h <= 0) return;
  d->surface.setScale(d->surface.scaleWidth(), h);
  d->skalaGesetzt = true;
}
int32_t ucAniGIF::ScaleWidthHolen() const { return roundToInt32(d->surface.scaleWidth()); }
int32_t ucAniGIF::ScaleHeightHolen() const { return roundToInt32(d->surface.scaleHeight()); }
int32_t ucAniGIF::ScaleModeHolen() const { return d->skalaGesetzt ? 0 : 3; }
void ucAniGIF::setScaleModeSetzen(int32_t m) {
  if (m != 3) return;
  d->surface.resetScale();
  d->skalaGesetzt = false;
}

int32_t ucAniGIF::LoopsRemaining() const {
  if (!d->geladen) return -1;
  return d->loops == 0 ? 0 : d->loops - d->loopsDone;
}

int32_t ucAniGIF::Mirrored() const { return d->mirror; }
void ucAniGIF::setMirrored(int32_t m) {
  if (m < 0 || m > 3 || m == d->mirror) return;
  d->mirror = m;
  if (d->geladen && d->zustand != 1) d->zeichnen(false);
}

int32_t ucAniGIF::Action() const { return d->zustand; }
void ucAniGIF::setAction(int32_t a) {
  if (!d->geladen || a < 0 || a > 4) return;
  const int32_t n = d->gif.frameCount();
  switch (a) {
    case 0:
      d->timerStoppen();
      d->loopsDone = 0;
      d->frame = 1;
      d->zeichnen(true);
      break;
    case 1: d->timerStarten(); break;
    case 2:
      if (d->zustand != 0) {
        d->timerStoppen();
        d->zustand = 2;
      }
      break;
    case 3:
      d->timerStoppen();
      if (!d->alleDekodiert) d->restDekodieren();
      d->frame = d->frame >= n ? 1 : d->frame + 1;
      d->zustand = 2;
      d->zeichnen(true);
      break;
    case 4:
      d->timerStoppen();
      d->loopsDone = 0;
      d->frame = 1;
      d->zeichnen(true);
      d->timerStarten();
      break;
  }
}

int32_t ucAniGIF::DelayAnimation() const { return d->delayMode; }
void ucAniGIF::setDelayAnimation(int32_t m) {
  if (m >= 0 && m <= 3) d->delayMode = m;
}
int32_t ucAniGIF::OffsetX() const { return d->offX; }
void ucAniGIF::setOffsetX(int32_t x) { d->offX = x; }
int32_t ucAniGIF::OffsetY() const { return d->offY; }
void ucAniGIF::setOffsetY(int32_t y) {
  d->offY = y;
  d->zeichnen(false);
}

int32_t ucAniGIF::aktuellesFrame() const { return d->frame; }

bool ucAniGIF::LoadAnimatedGIF_File(const QString& FileName) {
  QFile f(FileName);
  const QFileInfo info(FileName);
  if (!info.isFile() || info.size() > kMaxGifBytes || !f.open(QIODevice::ReadOnly)) {
    d->leeren();
    d->zeichnen(false);
    return false;
  }
  const QByteArray b = f.read(kMaxGifBytes + 1);
  if (b.size() != info.size() || b.size() > kMaxGifBytes) {
    d->leeren();
    d->zeichnen(false);
    return false;
  }
  return LoadAnimatedGIF_Array({reinterpret_cast<const uint8_t*>(b.constData()), size_t(b.size())});
}

bool ucAniGIF::LoadAnimatedGIF_Array(std::span<const uint8_t> bytes) { return d->laden(bytes); }
bool ucAniGIF::LoadAnimatedGIF_Geparst(gif::GifDatei& geparst) { return d->laden(geparst); }

void ucAniGIF::setSpeicherGrenze(int64_t bytes) { d->speicherGrenze = std::max<int64_t>(bytes, 0); }
void ucAniGIF::setDateiKopien(int n) { d->dateiKopien = std::max(n, 1); }
int64_t ucAniGIF::Speicherbedarf() const { return d->geladen ? d->speicherbedarf() : 0; }
QString ucAniGIF::Ablehnung() const { return d->ablehnung; }

void ucAniGIF::LoadAnimatedGIF_Remote(const QString& RemotePath) {
  if (RemotePath.isEmpty()) return;
  if (d->antwort) {
    d->antwort->disconnect();
    d->antwort->abort();
    d->antwort->deleteLater();
  }
  d->empfangen.clear();
  const QUrl url(RemotePath);
  const QString schema = url.scheme().toLower();
  if (schema != QLatin1String("file") && schema != QLatin1String("http") &&
      schema != QLatin1String("https")) {
    if (RemoteLoadFailure) RemoteLoadFailure();
    return;
  }
  if (!d->netz) d->netz = std::make_unique<QNetworkAccessManager>();
  QNetworkReply* r = d->netz->get(QNetworkRequest(url));
  d->antwort = r;
  Impl* impl = d.get();
  QObject::connect(r, &QNetworkReply::readyRead, d->netz.get(), [impl, r] {
    if (impl->empfangen.size() + r->bytesAvailable() > kMaxGifBytes) {
      impl->empfangen.clear();
      r->abort();  // finished follows with an error
      return;
    }
    impl->empfangen += r->readAll();
  });
  QObject::connect(r, &QNetworkReply::finished, d->netz.get(), [this, impl, r] {
    r->deleteLater();
    if (impl->antwort != r) return;
    impl->antwort = nullptr;
    if (r->error() == QNetworkReply::NoError) impl->empfangen += r->readAll();
    QByteArray b;
    b.swap(impl->empfangen);
    if (r->error() != QNetworkReply::NoError || b.size() > kMaxGifBytes || !signaturGut(b)) {
      if (RemoteLoadFailure) RemoteLoadFailure();
      return;
    }
    const auto* p = reinterpret_cast<const uint8_t*>(b.constData());
    bool cancel = false;
    if (RemoteLoadComplete) RemoteLoadComplete(cancel, p[6] + 256.0 * p[7], p[8] + 256.0 * p[9]);
    if (!cancel) LoadAnimatedGIF_Array({p, size_t(b.size())});
  });
}

void ucAniGIF::Refresh() { d->zeichnen(false); }

void ucAniGIF::takt() {
  // A frame composed on the worker is drawn once it is done; until then the
  // animation waits (a tick never waits for it).
  if (d->arbeit.valid()) {
    if (d->arbeit.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
    d->zeichnen(false);
  }
  const double jetzt = d->clock.seconds();
  if (d->dekodierenUm && jetzt + kToleranz >= *d->dekodierenUm) {
    d->restDekodieren();
    if (d->geladen && !(d->delayMode & 2)) setAction(1);
  }
  if (d->zustand == 1 && d->faellig && jetzt + kToleranz >= *d->faellig) d->tick();
}

bool ucAniGIF::brauchtTakt() const {
  return d->arbeit.valid() || d->dekodierenUm.has_value() || (d->zustand == 1 && d->faellig.has_value());
}

}  // namespace vrd4::render
