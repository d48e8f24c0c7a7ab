// Picture commands from the ring: a large one is made ready beside the GUI
// thread, so that no file, however large, and no picture, however many
// pixels it claims, holds the polling loop. The ring waits behind it (the
// commands keep their order); blinking, scrolling, animations and the TCP
// server go on.
#include <QFile>
#include <QThreadPool>
#include <utility>

#include "engine/EmpfaengerImpl.h"
#include "platform/Speicher.h"
#include "protocol/Befehl.h"

namespace vrd4::engine {

namespace {

const QString kBefehlFehler = QStringLiteral("BefehlFehler");

// A file larger than this is read beside the GUI thread (reading 32 MB, and
// the pages it touches, takes tens of milliseconds).
constexpr std::uint64_t kSofortBytes = std::uint64_t{256} << 10;

// The size of a file in whole MB, rounded up.
QString megabyte(std::uint64_t bytes) { return QString::number((bytes + (1u << 20) - 1) >> 20); }

}  // namespace

void Bildbefehl::vorbereiten(bool nebenbei) {
  if (!inhalt && gefunden) inhalt = platform::readWholeFile(datei, clsVRD4Empfaenger::kMaxBilddateiBytes, &fehler);
  if (inhalt && !inhalt->empty()) {
    try {
      if (nebenbei && gif) {
        geparst = std::make_unique<gif::GifDatei>();
        geparst->parse(*inhalt);
      } else if (nebenbei && feld) {
        bild = render::bildVorbereiten(*inhalt, *feld);
      }
      if (weiterleiten) zeile = protocol::weiterleitungsform(felder, *inhalt);
    } catch (const std::exception&) {
      // No memory for the parse or the forwarded form: the GUI thread does
      // without (parses, forwards) or fails as it would have.
      geparst.reset();
    }
  }
  fertig.store(true, std::memory_order_release);
}

void clsVRD4Empfaenger::bildbefehlNehmen(std::vector<std::u16string> felder, const protocol::BefehlsSpec& spec,
                                         bool nebenbei) {
  auto b = std::make_shared<Bildbefehl>();
  b->spec = &spec;
  const auto pfadfeld = static_cast<std::size_t>(2 + spec.index(protocol::Rolle::Bild));
  b->pfad = QString::fromStdU16String(felder.size() > pfadfeld ? felder[pfadfeld] : std::u16string());
  b->datei = QFile::encodeName(b->pfad).toStdString();
  b->gefunden = platform::fileExists(b->datei);
  b->weiterleiten = d->client2.offen();
  b->gif = spec.name == u"AniGifLadenanPosition" && b->pfad.right(3).toUpper() == QLatin1String("GIF");
  b->felder = std::move(felder);
  if (nebenbei && b->gefunden) {
    // Large: a large file, or a small one that claims many pixels.
    const std::optional<std::uint64_t> groesse = platform::regularFileSize(b->datei);
    bool gross = groesse && *groesse > kSofortBytes;
    if (!b->gif) b->feld = render::bildFeldAus(b->felder, tafelSkala());
    if (!gross && groesse && b->feld) {
      b->inhalt = platform::readWholeFile(b->datei, kMaxBilddateiBytes, &b->fehler);
      const std::optional<QSize> behauptet = b->inhalt ? render::bildGroesseLesen(*b->inhalt) : std::nullopt;
      gross = behauptet && int64_t(behauptet->width()) * behauptet->height() > render::kSofortPixel;
    }
    if (gross) {
      d->wartend = b;
      QThreadPool::globalInstance()->start([b] { b->vorbereiten(true); });
      return;
    }
  }
  b->vorbereiten(false);
  bildbefehlVollenden(*b);
}

void clsVRD4Empfaenger::bildbefehlVollenden(Bildbefehl& b) {
  const std::u16string name = b.felder.size() > 1 ? b.felder[1] : std::u16string();
  d->befehlsname = QString::fromStdU16String(name);
  antwortBeginnen(b.spec);
  const AntwortNachholen nachholen{*this};
  if (!b.inhalt) {
    VRD4Event(kBefehlFehler,
              QStringLiteral("Bild: ") + b.pfad +
                  (b.fehler.zuGross ? QStringLiteral(" - Datei zu groß (") + megabyte(b.fehler.groesse) +
                                          QStringLiteral(" MB, höchstens ") + megabyte(kMaxBilddateiBytes) +
                                          QStringLiteral(" MB)!")
                                    : QStringLiteral(" - nicht gefunden oder sonstiger Fehler!")));
    return;
  }
  // An empty file has nothing to show or to pass on, forwarded or not.
  if (b.inhalt->empty()) {
    VRD4Event(kBefehlFehler, QStringLiteral("Bild: ") + b.pfad + QStringLiteral(" - Dateigröße wurde falsch eingelesen!"));
    return;
  }
  // Passed on before it runs here, without waiting: the peer's "OK"s are
  // the forwarding client's business.
  if (d->client2.offen())
    d->client2.senden(b.weiterleiten && !b.zeile.empty() ? b.zeile : protocol::weiterleitungsform(b.felder, *b.inhalt));
  b.zeile = std::u16string();

  const VorabGesetzt gesetzt(*d, b.bild ? &*b.bild : nullptr, b.geparst.get());
  // Shared with whoever keeps them (the scene), not copied.
  const auto geteilt = std::make_shared<const std::vector<uint8_t>>(std::move(*b.inhalt));
  antwortendLaufen(*b.spec, b.felder, *geteilt, geteilt);
}

}  // namespace vrd4::engine
