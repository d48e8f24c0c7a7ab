#include "platform/MciVideo.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/Surface.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace vrd4::platform {

namespace {

struct FormatZu {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecZu {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PaketZu {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameZu {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct SwsZu {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
using Paket = std::unique_ptr<AVPacket, PaketZu>;
using Frame = std::unique_ptr<AVFrame, FrameZu>;

// A clip is damaged or hostile far more often than FFmpeg's messages help
// anyone watching the board; they would only fill the terminal.
void ffmpegLeise() {
  static std::once_flag einmal;
  std::call_once(einmal, [] { av_log_set_level(AV_LOG_FATAL); });
}

// The demuxer's one resource is the file named at open. Anything else it
// tries to open (a playlist's entries, a concat list's files, a second file
// of a multi-part clip) is refused, whatever the protocol whitelist says.
struct Zugang {
  std::string url;
  bool offen = false;
};

int nurDieEineDatei(AVFormatContext* s, AVIOContext** pb, const char* url, int flags,
                    AVDictionary**) {
  auto* z = static_cast<Zugang*>(s->opaque);
  if (!z || z->offen || !url || z->url != url || (flags & AVIO_FLAG_WRITE)) return AVERROR(EPERM);
  AVDictionary* opt = nullptr;
  av_dict_set(&opt, "protocol_whitelist", "file", 0);
  const int r = avio_open2(pb, url, AVIO_FLAG_READ, &s->interrupt_callback, &opt);
  av_dict_free(&opt);
  if (r >= 0) z->offen = true;
  return r;
}

bool groesseErlaubt(int w, int h) {
  return w >= 1 && h >= 1 && w <= MciVideo::kMaxSeite && h <= MciVideo::kMaxSeite &&
         int64_t{w} * h <= MciVideo::kMaxPixel;
}

// Demuxer and decoder on one open file. Not movable: the demuxer points at
// zugang.
struct Quelle {
  Zugang zugang;
  std::unique_ptr<AVFormatContext, FormatZu> fmt;
  std::unique_ptr<AVCodecContext, CodecZu> dec;
  int strom = -1;

  Quelle() = default;
  Quelle(const Quelle&) = delete;
  Quelle& operator=(const Quelle&) = delete;

  AVStream* stream() const { return fmt->streams[strom]; }

  uint32_t oeffnen(const std::string& pfad) {
    ffmpegLeise();
    const AVInputFormat* avi = av_find_input_format("avi");
    if (!avi) return kMciTypNichtVorhanden;
    AVFormatContext* c = avformat_alloc_context();
    if (!c) return kMciDateiUngueltig;
    zugang.url = "file:" + pfad;  // "file:" so that no part of the path reads as a protocol
    zugang.offen = false;
    c->opaque = &zugang;
    c->io_open = nurDieEineDatei;
    AVDictionary* opt = nullptr;
    av_dict_set(&opt, "protocol_whitelist", "file", 0);
    av_dict_set(&opt, "format_whitelist", "avi", 0);
    const int r = avformat_open_input(&c, zugang.url.c_str(), avi, &opt);  // frees c on failure
    av_dict_free(&opt);
    if (r < 0) return r == AVERROR(ENOENT) || r == AVERROR(EACCES) ? kMciDateiFehlt : kMciDateiUngueltig;
    fmt.reset(c);

    const AVCodec* codec = nullptr;
    strom = av_find_best_stream(c, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (strom < 0 || !codec) return kMciDateiUngueltig;
    for (unsigned i = 0; i < c->nb_streams; ++i) {
      if (static_cast<int>(i) != strom) c->streams[i]->discard = AVDISCARD_ALL;  // sound and the rest
    }
    const AVCodecParameters* par = stream()->codecpar;
    if ((par->width != 0 || par->height != 0) && !groesseErlaubt(par->width, par->height))
      return kMciDateiUngueltig;
    AVCodecContext* k = avcodec_alloc_context3(codec);
    if (!k) return kMciDateiUngueltig;
    dec.reset(k);
    if (avcodec_parameters_to_context(k, par) < 0) return kMciDateiUngueltig;
    k->max_pixels = MciVideo::kMaxPixel;
    k->thread_count = 1;  // one decoding thread per clip; ten clips may run at once
    if (avcodec_open2(k, codec, nullptr) < 0) return kMciDateiUngueltig;
    return kMciOk;
  }
};

struct Bild {
  double zeit;  // seconds of clip time, growing across repetitions
  QImage bild;
};

// Colour conversion and scaling of decoded frames into BGRA images. The
// contexts are made once per source format and size (sws_getCachedContext
// would make them anew for every frame of a full-range "yuvj" format).
// Bilinear filter. An enlarged 4:2:0 frame is scaled while still in planes
// and converted at the target size afterwards: a third less work than one
// pass that scales and converts, with the same bilinear luma and chroma.
class Skalierer {
 public:
  Skalierer() = default;
  Skalierer(const Skalierer&) = delete;
  Skalierer& operator=(const Skalierer&) = delete;
  ~Skalierer() { av_freep(&mitte_[0]); }

  // Fills ziel (Format_RGB32, target size) from f; false when FFmpeg cannot
  // convert that format or lacks memory (ziel is then left as it was).
  bool skalieren(const AVFrame& f, QImage& ziel) {
    if (!vorbereiten(f, ziel.width(), ziel.height())) return false;
    uint8_t* z[4] = {ziel.bits(), nullptr, nullptr, nullptr};
    int zl[4] = {static_cast<int>(ziel.bytesPerLine()), 0, 0, 0};
    if (direkt_) {
      sws_scale(direkt_.get(), f.data, f.linesize, 0, f.height, z, zl);
    } else {
      sws_scale(groesser_.get(), f.data, f.linesize, 0, f.height, mitte_, mitteZeilen_);
      sws_scale(farbe_.get(), mitte_, mitteZeilen_, 0, ziel.height(), z, zl);
    }
    return true;
  }

 private:
  static std::unique_ptr<SwsContext, SwsZu> kontext(int sw, int sh, AVPixelFormat sf, int zw, int zh,
                                                    AVPixelFormat zf, bool vollerBereich) {
    std::unique_ptr<SwsContext, SwsZu> c(
        sws_getContext(sw, sh, sf, zw, zh, zf, SWS_BILINEAR, nullptr, nullptr, nullptr));
    int *inv = nullptr, *tab = nullptr, quelleVoll = 0, zielVoll = 0, hell = 0, kontrast = 0, saett = 0;
    if (c && vollerBereich &&
        sws_getColorspaceDetails(c.get(), &inv, &quelleVoll, &tab, &zielVoll, &hell, &kontrast, &saett) >= 0)
      sws_setColorspaceDetails(c.get(), inv, 1, tab, zielVoll, hell, kontrast, saett);
    return c;
  }

  // The "yuvj" formats are their plain twins with the full value range.
  static AVPixelFormat ohneJ(AVPixelFormat f, bool& voll) {
    voll = true;
    switch (f) {
      case AV_PIX_FMT_YUVJ420P: return AV_PIX_FMT_YUV420P;
      case AV_PIX_FMT_YUVJ422P: return AV_PIX_FMT_YUV422P;
      case AV_PIX_FMT_YUVJ444P: return AV_PIX_FMT_YUV444P;
      case AV_PIX_FMT_YUVJ440P: return AV_PIX_FMT_YUV440P;
      case AV_PIX_FMT_YUVJ411P: return AV_PIX_FMT_YUV411P;
      default: voll = false; return f;
    }
  }

  bool vorbereiten(const AVFrame& f, int zw, int zh) {
    const int schluessel[5] = {f.width, f.height, f.format, zw, zh};
    if (bereit_ && std::equal(schluessel, schluessel + 5, schluessel_)) return true;
    bereit_ = false;
    direkt_.reset();
    groesser_.reset();
    farbe_.reset();
    av_freep(&mitte_[0]);
    std::copy(schluessel, schluessel + 5, schluessel_);
    bool voll = false;
    const AVPixelFormat format = ohneJ(static_cast<AVPixelFormat>(f.format), voll);
    if (format == AV_PIX_FMT_YUV420P && zw > f.width && zh > f.height) {
      groesser_ = kontext(f.width, f.height, format, zw, zh, format, false);
      farbe_ = kontext(zw, zh, format, zw, zh, AV_PIX_FMT_BGRA, voll);
      bereit_ = groesser_ && farbe_ && av_image_alloc(mitte_, mitteZeilen_, zw, zh, format, 64) >= 0;
    } else {
      direkt_ = kontext(f.width, f.height, format, zw, zh, AV_PIX_FMT_BGRA, voll);
      bereit_ = direkt_ != nullptr;
    }
    return bereit_;
  }

  bool bereit_ = false;
  int schluessel_[5] = {};  // source width, height, format; target width, height
  std::unique_ptr<SwsContext, SwsZu> direkt_;    // scales and converts in one pass
  std::unique_ptr<SwsContext, SwsZu> groesser_;  // enlarges the planes
  std::unique_ptr<SwsContext, SwsZu> farbe_;     // converts the enlarged planes
  uint8_t* mitte_[4] = {};
  int mitteZeilen_[4] = {};
};

}  // namespace

struct MciVideo::Impl {
  std::string pfad;
  std::unique_ptr<Quelle> quelle;
  int64_t basisTs = 0;  // time stamp of the clip's first frame
  double bildDauer = 0.04;
  int breite = 0, hoehe = 0;
  // The decoder's, kept from one run to the next: its contexts and memory
  // take milliseconds to make, and a restarted clip should show at once.
  Skalierer skalierer;

  // GUI thread only
  Surface* ziel = nullptr;
  bool spielt = false;
  std::optional<double> nullpunkt;  // clock seconds at clip time 0
  ClipStatistik statistik;
  std::thread arbeiter;

  // shared with the decoder; guarded by m
  std::mutex m;
  std::condition_variable cv;
  std::deque<Bild> schlange;
  // Images done with on the GUI thread, for the decoder to fill again: an
  // image of the target's size is megabytes that the system would otherwise
  // map and clear afresh for every frame. At most kMaxFrei.
  std::vector<QImage> frei;
  static constexpr size_t kMaxFrei = 2;
  size_t kapazitaet = 1;
  int zielBreite = 0, zielHoehe = 0;
  bool halt = false;
  bool beendet = false;
  // fixed while the decoder runs
  int64_t vonMs = 0;
  bool wiederholen = false;

  double sekunden(int64_t ts) const {
    return static_cast<double>(ts - basisTs) * av_q2d(quelle->stream()->time_base);
  }

  // Next frame of the video stream into f; false at the end of the file or
  // when kMaxPaketeOhneBild packets in a row gave none.
  bool naechstesBild(AVPacket* pkt, AVFrame* f, bool& dateiEnde) {
    AVCodecContext* dec = quelle->dec.get();
    for (int n = 0; n < kMaxPaketeOhneBild; ++n) {
      if (avcodec_receive_frame(dec, f) == 0) return true;
      if (dateiEnde) return false;
      const int r = av_read_frame(quelle->fmt.get(), pkt);
      if (r < 0) {
        dateiEnde = true;
        avcodec_send_packet(dec, nullptr);  // drain what the decoder holds back
        continue;
      }
      if (pkt->stream_index == quelle->strom) avcodec_send_packet(dec, pkt);  // a damaged packet is skipped
      av_packet_unref(pkt);
    }
    return false;
  }

  // Back to the first frame: seek, or when the file has no index to seek
  // with, open it afresh.
  bool zurueckspulen() {
    avcodec_flush_buffers(quelle->dec.get());
    if (av_seek_frame(quelle->fmt.get(), quelle->strom, basisTs, AVSEEK_FLAG_BACKWARD) >= 0) return true;
    auto neu = std::make_unique<Quelle>();
    if (neu->oeffnen(pfad) != kMciOk) return false;
    quelle = std::move(neu);
    return true;
  }

  void arbeiten();
  void beenden() {
    std::lock_guard l(m);
    beendet = true;
    cv.notify_all();
  }
};

void MciVideo::Impl::arbeiten() {
  Paket pkt(av_packet_alloc());
  Frame f(av_frame_alloc());
  if (!pkt || !f || !zurueckspulen()) return beenden();
  double versatz = 0.0;  // clip time of the current pass's first frame
  bool ersterDurchgang = true;
  for (;;) {
    bool dateiEnde = false;
    int bilder = 0;
    double letzte = 0.0, laenge = 0.0;
    while (naechstesBild(pkt.get(), f.get(), dateiEnde)) {
      const int64_t ts = f->best_effort_timestamp;
      double t = ts == AV_NOPTS_VALUE ? letzte + bildDauer : sekunden(ts);
      if (!std::isfinite(t) || t < letzte) t = letzte;
      letzte = t;
      laenge = std::max(laenge, t + bildDauer);
      ++bilder;
      const bool vorDemAnfang = ersterDurchgang && (t + bildDauer) * 1000.0 <= static_cast<double>(vonMs);
      if (vorDemAnfang || !groesseErlaubt(f->width, f->height)) {
        av_frame_unref(f.get());
        continue;
      }
      int zw, zh;
      QImage bild;
      {
        std::lock_guard l(m);
        zw = zielBreite;
        zh = zielHoehe;
        if (!frei.empty() && frei.back().size() == QSize(zw, zh)) {
          bild = std::move(frei.back());
          frei.pop_back();
        } else {
          frei.clear();  // of a size the target no longer has
        }
      }
      if (bild.isNull()) bild = QImage(zw, zh, QImage::Format_RGB32);
      if (bild.isNull() || !skalierer.skalieren(*f, bild)) return beenden();
      av_frame_unref(f.get());

      std::unique_lock l(m);
      cv.wait(l, [&] { return halt || schlange.size() < kapazitaet; });
      if (halt) return;
      schlange.push_back(Bild{versatz + t, std::move(bild)});
      cv.notify_all();
    }
    {
      std::lock_guard l(m);
      if (halt) return;
    }
    // A pass without a single frame would loop at full speed for nothing.
    if (!wiederholen || bilder == 0 || !zurueckspulen()) return beenden();
    versatz += std::max(laenge, 0.01);
    ersterDurchgang = false;
  }
}

MciVideo::MciVideo() : d(std::make_unique<Impl>()) {}

MciVideo::~MciVideo() { anhalten(); }

std::unique_ptr<MciVideo> MciVideo::oeffnen(const std::string& pfad, uint32_t& fehler) {
  std::unique_ptr<MciVideo> v(new MciVideo());
  Impl& i = *v->d;
  i.pfad = pfad;
  i.quelle = std::make_unique<Quelle>();
  fehler = i.quelle->oeffnen(pfad);
  if (fehler != kMciOk) return nullptr;

  // A clip that opens must also show a picture: decode the first frame now.
  Paket pkt(av_packet_alloc());
  Frame f(av_frame_alloc());
  bool dateiEnde = false;
  fehler = kMciDateiUngueltig;
  if (!pkt || !f || !i.naechstesBild(pkt.get(), f.get(), dateiEnde)) return nullptr;
  if (!groesseErlaubt(f->width, f->height)) return nullptr;
  i.breite = f->width;
  i.hoehe = f->height;
  i.basisTs = f->best_effort_timestamp == AV_NOPTS_VALUE ? 0 : f->best_effort_timestamp;

  const AVStream* st = i.quelle->stream();
  AVRational rate = st->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = st->r_frame_rate;
  double dauer = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : av_q2d(st->time_base);
  if (!(dauer >= 0.001 && dauer <= 10.0)) dauer = 0.04;
  i.bildDauer = dauer;
  fehler = kMciOk;
  return v;
}

void MciVideo::setZiel(Surface* ziel) {
  d->ziel = ziel;
  zielGanz();
}

Surface* MciVideo::ziel() const { return d->ziel; }

void MciVideo::zielGanz() {
  std::lock_guard l(d->m);
  d->zielBreite = d->ziel ? d->ziel->widthPx() : 0;
  d->zielHoehe = d->ziel ? d->ziel->heightPx() : 0;
  const int64_t bytes = std::max<int64_t>(int64_t{d->zielBreite} * d->zielHoehe * 4, 1);
  d->kapazitaet = static_cast<size_t>(std::clamp<int64_t>(kMaxWarteschlangeBytes / bytes, 1, kMaxWarteschlange));
  d->cv.notify_all();
}

void MciVideo::abspielen(int64_t vonMs, bool wiederholen) {
  anhalten();
  d->spielt = true;
  d->vonMs = std::max<int64_t>(vonMs, 0);
  d->wiederholen = wiederholen;
  {
    std::lock_guard l(d->m);
    if (d->zielBreite < 1 || d->zielHoehe < 1) return;  // nowhere to show it
  }
  try {
    d->arbeiter = std::thread([this] { d->arbeiten(); });
  } catch (const std::system_error&) {
    // No thread to be had: the clip keeps showing what it showed.
  }
}

void MciVideo::anhalten() {
  {
    std::lock_guard l(d->m);
    d->halt = true;
    d->cv.notify_all();
  }
  if (d->arbeiter.joinable()) d->arbeiter.join();
  std::lock_guard l(d->m);
  d->schlange.clear();
  d->frei.clear();
  d->halt = false;
  d->beendet = false;
  d->spielt = false;
  d->nullpunkt.reset();
}

bool MciVideo::spielt() const { return d->spielt; }

void MciVideo::takt(double sekunden) {
  if (!d->spielt || !d->ziel) return;
  std::optional<QImage> zeigen;
  uint64_t ueberholt = 0;
  {
    std::lock_guard l(d->m);
    if (d->schlange.empty()) return;
    if (!d->nullpunkt) d->nullpunkt = sekunden - d->schlange.front().zeit;
    // Half a millisecond of slack: clock and frame times are sums of doubles.
    const double jetzt = sekunden - *d->nullpunkt + 0.0005;
    while (!d->schlange.empty() && d->schlange.front().zeit <= jetzt) {
      if (zeigen) ++ueberholt;
      zeigen = std::move(d->schlange.front().bild);
      d->schlange.pop_front();
    }
    if (zeigen) d->cv.notify_all();
  }
  if (!zeigen) return;
  // A frame of the surface's size takes the surface's place; the former
  // image goes back to the decoder.
  if (!d->ziel->swapImage(*zeigen))
    d->ziel->paintPicture(*zeigen, 0, 0, d->ziel->scaleWidth(), d->ziel->scaleHeight());
  {
    std::lock_guard l(d->m);
    if (d->frei.size() < Impl::kMaxFrei) d->frei.push_back(std::move(*zeigen));
  }
  ++d->statistik.gezeigt;
  d->statistik.verworfen += ueberholt;
}

int MciVideo::breite() const { return d->breite; }
int MciVideo::hoehe() const { return d->hoehe; }
double MciVideo::bildDauer() const { return d->bildDauer; }
ClipStatistik MciVideo::statistik() const { return d->statistik; }

bool MciVideo::warteBisDekodiert(std::chrono::milliseconds max) {
  if (!d->arbeiter.joinable()) return true;
  std::unique_lock l(d->m);
  return d->cv.wait_for(l, max, [&] { return d->beendet || d->schlange.size() >= d->kapazitaet; });
}

}  // namespace vrd4::platform
