#include "gif/GifDatei.h"

#include <utility>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "gif/Lzw.h"

namespace vrd4::gif {

namespace {

// The file ends inside something being read; parsing keeps what it found.
struct DateiEnde {};

class Leser {
 public:
  explicit Leser(const std::vector<uint8_t>& b) : b_(b) {}

  std::size_t pos = 0;  // 0-based

  uint8_t byte() {
    if (pos >= b_.size()) throw DateiEnde{};
    return b_[pos++];
  }
  int32_t wort() {
    const int32_t lo = byte();
    return lo | (byte() << 8);
  }
  // n bytes as text; when fewer remain: n zero bytes, position unchanged.
  std::string text(std::size_t n) {
    if (b_.size() - std::min(pos, b_.size()) < n) return std::string(n, '\0');
    std::string s(reinterpret_cast<const char*>(b_.data() + pos), n);
    pos += n;
    return s;
  }
  void farbtabelle(ColourTable& t, int groesse) {
    const std::size_t n = std::size_t{1} << (groesse + 1);
    if (pos > b_.size() || b_.size() - pos < 3 * n) throw DateiEnde{};
    t.fill(0);
    for (std::size_t i = 0; i < n; ++i) {
      const uint8_t* q = b_.data() + pos + 3 * i;
      t[i] = (uint32_t{q[0]} << 16) | (uint32_t{q[1]} << 8) | q[2];
    }
    t[256] = static_cast<uint32_t>(n);
    pos += 3 * n;
  }
  void unterbloeckeUeberspringen() {
    while (pos < b_.size() && b_[pos] != 0) pos += std::size_t{b_[pos]} + 1;
    if (pos < b_.size()) ++pos;  // the terminator
    pos = std::min(pos, b_.size());
  }

 private:
  const std::vector<uint8_t>& b_;
};

// Where a frame's image data lies in the file: the code-size byte and the end
// of its data sub-blocks (exclusive), both 0-based. Once verbunden, the
// sub-blocks are joined in place: `laenge` data bytes from codeGroesse + 1.
struct Daten {
  std::size_t codeGroesse = 0, ende = 0, laenge = 0;
  bool interlaced = false, verbunden = false;
};

const ColourTable kLeereTabelle{};

}  // namespace

struct GifDatei::Impl {
  std::vector<uint8_t> bytes;
  std::vector<FrameInfo> frames;
  std::vector<Daten> daten;
  std::vector<ColourTable> tabellen = std::vector<ColourTable>(1);  // [0] global, then the local ones
  bool global = false;
  int32_t canvasB = 0, canvasH = 0, logischB = 0, logischH = 0;
  std::optional<int32_t> schleifen;
  bool transparent = false, dispo23 = false, alleDispo2 = false;
  int64_t groesster = 0;  // pixels of the largest frame
  Grenze grenze = Grenze::keine;  // why lesen() refused

  void leeren() {
    *this = Impl{};
  }
  bool lesen();
  void verbinden(Daten& d);
  void dekodieren(std::size_t k, std::vector<uint8_t>& out);
};

// The block structure as the file gives it; false = not a usable GIF.
bool GifDatei::Impl::lesen() {
  Leser l(bytes);
  std::string sig = l.text(6);
  std::transform(sig.begin(), sig.end(), sig.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
  if (sig != "gif89a" && sig != "gif87a") return false;

  FrameInfo aktuell;
  try {
    l.pos = 6;
    logischB = l.wort();
    logischH = l.wort();
    const uint8_t packed = l.byte();
    l.pos = 13;  // background index and aspect ratio are not used
    if (packed & 0x80) {
      l.farbtabelle(tabellen[0], packed & 7);
      global = true;
    }
    for (;;) {
      const std::size_t blockPos = l.pos;
      const uint8_t b = l.byte();
      if (b == 0x00) continue;
      if (b == 0x21) {
        const uint8_t label = l.byte();
        if (label == 0xFF) {
          const std::size_t n = l.byte();
          std::string id = l.text(n);
          std::transform(id.begin(), id.end(), id.begin(),
                         [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; });
          if (id == "NETSCAPE2.0") {
            if (l.byte() == 3) {
              l.byte();  // sub-block id
              schleifen = l.wort();
            } else {
              --l.pos;
            }
          }
          l.unterbloeckeUeberspringen();
        } else if (label == 0xF9) {
          // A second control extension before an image replaces the first.
          aktuell = FrameInfo{};
          l.byte();  // block size
          const uint8_t gp = l.byte();
          aktuell.disposal = static_cast<uint8_t>((gp >> 2) & 3);
          if (aktuell.disposal == 3 && frames.empty()) aktuell.disposal = 0;
          aktuell.delay = l.wort() * 10;
          aktuell.transparencyFlag = gp & 1;
          if (aktuell.transparencyFlag)
            aktuell.transparentIndex = l.byte();
          else
            l.pos = std::min(blockPos + 7, bytes.size());
          l.unterbloeckeUeberspringen();
        } else {
          l.unterbloeckeUeberspringen();
        }
      } else if (b == 0x2C) {
        aktuell.left = l.wort();
        aktuell.top = l.wort();
        aktuell.width = l.wort();
        aktuell.height = l.wort();
        const uint8_t ip = l.byte();
        if (ip & 0x80) {
          ColourTable t;
          l.farbtabelle(t, ip & 7);
          tabellen.push_back(t);
          aktuell.colorTable = static_cast<int32_t>(tabellen.size() - 1);
        } else if (!global) {
          return false;  // an image without any colour table
        }
        Daten d;
        d.interlaced = (ip & 0x40) != 0;
        d.codeGroesse = l.pos;
        l.byte();
        l.unterbloeckeUeberspringen();
        d.ende = l.pos;
        if (l.pos - blockPos >= 3) {
          if (static_cast<int32_t>(frames.size()) >= kMaxFrames) {
            grenze = Grenze::Frames;
            return false;
          }
          frames.push_back(aktuell);
          daten.push_back(d);
          canvasB = std::max(canvasB, aktuell.left + aktuell.width);
          canvasH = std::max(canvasH, aktuell.top + aktuell.height);
        }
        aktuell = FrameInfo{};
      } else {
        break;  // the trailer, or anything that is not a block
      }
    }
  } catch (const DateiEnde&) {
    // "End of File": the frames found so far stay.
  }
  if (frames.empty()) return false;
  if (canvasB <= 0 || canvasH <= 0) return false;
  if (canvasB > kMaxSeite || canvasH > kMaxSeite) {
    grenze = Grenze::Seite;
    return false;
  }

  alleDispo2 = true;
  for (const FrameInfo& f : frames) {
    groesster = std::max(groesster, int64_t{f.width} * f.height);
    transparent = transparent || f.transparencyFlag;
    dispo23 = dispo23 || f.disposal >= 2;
    alleDispo2 = alleDispo2 && f.disposal == 2;
  }
  if (groesster > kMaxFramePixel) {
    grenze = Grenze::Frame;
    return false;
  }
  return true;
}

// Joins a frame's data sub-blocks in place (when it is first decoded), so
// that decoding reads them straight from the file's bytes: no copy of a
// frame's data. The data only moves towards the file's start and never over
// a length byte still to be read; a file that ends inside them keeps what is
// there. The bit reader may look past the last frame's data: parse() leaves
// kLzwDatenReserve zero bytes behind the file.
void GifDatei::Impl::verbinden(Daten& d) {
  std::size_t z = d.codeGroesse + 1;
  for (std::size_t q = d.codeGroesse + 1; q < d.ende && bytes[q] != 0;) {
    const std::size_t n = std::min<std::size_t>(bytes[q], d.ende - q - 1);
    const std::size_t naechster = q + std::size_t{bytes[q]} + 1;
    std::memmove(bytes.data() + z, bytes.data() + q + 1, n);
    z += n;
    q = naechster;
  }
  d.laenge = z - d.codeGroesse - 1;
  d.verbunden = true;
}

// Decodes frame k (0-based) into out (sized to the frame by the caller,
// with kLzwReserve bytes behind it).
void GifDatei::Impl::dekodieren(std::size_t k, std::vector<uint8_t>& out) {
  const FrameInfo& f = frames[k];
  const std::size_t pixels = static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height);
  if (pixels == 0) return;
  Daten& d = daten[k];
  if (!d.verbunden) verbinden(d);
  const std::size_t fertig = lzwDekodieren(bytes[d.codeGroesse], {bytes.data() + d.codeGroesse + 1, d.laenge},
                                           out.data(), pixels);
  // Damage leaves index 0; the string copier may have left garbage behind.
  std::memset(out.data() + fertig, 0, pixels - fertig);
  if (!d.interlaced) return;

  // Rows 0, 8, 16 … come first, then 4, 12 …, then 2, 6 …, then the odd
  // ones: put in place along the cycles of that order, one row aside.
  const std::size_t b = static_cast<std::size_t>(f.width);
  const std::size_t h = static_cast<std::size_t>(f.height);
  static constexpr std::size_t kStart[4] = {0, 4, 2, 1};
  static constexpr std::size_t kSchritt[4] = {8, 8, 4, 2};
  std::vector<uint32_t> quelle(h);  // row -> the row of the file's order it shows
  uint32_t i = 0;
  for (int durchgang = 0; durchgang < 4; ++durchgang)
    for (std::size_t zeile = kStart[durchgang]; zeile < h; zeile += kSchritt[durchgang]) quelle[zeile] = i++;
  std::vector<uint8_t> beiseite(b);
  std::vector<bool> gesetzt(h);
  const auto zeile = [&](std::size_t z) { return out.data() + z * b; };
  for (std::size_t s = 0; s < h; ++s) {
    if (gesetzt[s] || quelle[s] == s) continue;
    std::memcpy(beiseite.data(), zeile(s), b);
    for (std::size_t z = s;;) {
      gesetzt[z] = true;
      const std::size_t von = quelle[z];
      if (von == s) {
        std::memcpy(zeile(z), beiseite.data(), b);
        break;
      }
      std::memcpy(zeile(z), zeile(von), b);
      z = von;
    }
  }
}

GifDatei::GifDatei() : d_(std::make_unique<Impl>()) {}
GifDatei::~GifDatei() = default;

int GifDatei::parse(std::span<const uint8_t> bytes) {
  d_->leeren();
  d_->bytes.reserve(bytes.size() + kLzwDatenReserve);
  d_->bytes.assign(bytes.begin(), bytes.end());
  if (!d_->lesen()) {
    const Grenze g = d_->grenze;
    d_->leeren();
    d_->grenze = g;
    return 0;
  }
  d_->bytes.resize(d_->bytes.size() + kLzwDatenReserve, 0);
  return static_cast<int>(d_->frames.size());
}

void GifDatei::tauschen(GifDatei& andere) noexcept { std::swap(d_, andere.d_); }

bool GifDatei::frameDekodieren(int k, std::vector<uint8_t>& out) {
  if (k < 1 || k > frameCount()) {
    out.clear();
    return false;
  }
  const FrameInfo& f = d_->frames[static_cast<std::size_t>(k - 1)];
  const std::size_t pixels = static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height);
  try {
    out.resize(pixels + kLzwReserve);
    d_->dekodieren(static_cast<std::size_t>(k - 1), out);
  } catch (const std::bad_alloc&) {
    out = {};
    return false;
  }
  out.resize(pixels);  // keeps the memory for the next frame
  return true;
}

void GifDatei::clear() { d_->leeren(); }
Grenze GifDatei::grenzeUeberschritten() const { return d_->grenze; }

int GifDatei::frameCount() const { return static_cast<int>(d_->frames.size()); }
const std::vector<FrameInfo>& GifDatei::frames() const { return d_->frames; }
int64_t GifDatei::groessterFrame() const { return d_->groesster; }
int64_t GifDatei::dateiBytes() const { return static_cast<int64_t>(d_->bytes.size()); }

int32_t GifDatei::canvasWidth() const { return d_->canvasB; }
int32_t GifDatei::canvasHeight() const { return d_->canvasH; }
int32_t GifDatei::logicalWidth() const { return d_->logischB; }
int32_t GifDatei::logicalHeight() const { return d_->logischH; }
std::optional<int32_t> GifDatei::loopCount() const { return d_->schleifen; }

bool GifDatei::hasGlobalTable() const { return d_->global; }
int GifDatei::localTableCount() const { return static_cast<int>(d_->tabellen.size()) - 1; }
const ColourTable& GifDatei::colourTable(int t) const {
  if (t < 0 || static_cast<std::size_t>(t) >= d_->tabellen.size()) return kLeereTabelle;
  return d_->tabellen[static_cast<std::size_t>(t)];
}

bool GifDatei::anyTransparent() const { return d_->transparent; }
bool GifDatei::anyDisposal2or3() const { return d_->dispo23; }
bool GifDatei::allDisposal2() const { return d_->alleDispo2; }

}  // namespace vrd4::gif
