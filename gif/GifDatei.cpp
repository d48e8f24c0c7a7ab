// Interim decoder so that the control can be built and tried; replaced by
// the full decoder.
#include "gif/GifDatei.h"

#include <algorithm>
#include <cstring>

namespace vrd4::gif {

struct GifDatei::Impl {
  std::vector<uint8_t> b;
  std::vector<FrameInfo> frames;
  std::vector<std::pair<size_t, size_t>> daten;  // LZW data position and end per frame
  std::vector<uint8_t> interlaced;
  std::vector<ColourTable> tabellen{ColourTable{}};
  bool global = false;
  int32_t cw = 0, ch = 0, lw = 0, lh = 0;
  std::optional<int32_t> loop;
  std::vector<uint8_t> strip;
  int32_t sw = 0, sh = 0;
  std::vector<bool> dekodiert;
};

GifDatei::GifDatei() : d_(std::make_unique<Impl>()) {}
GifDatei::~GifDatei() = default;
void GifDatei::clear() { d_ = std::make_unique<Impl>(); }

int GifDatei::parse(std::span<const uint8_t> bytes) {
  clear();
  Impl& d = *d_;
  d.b.assign(bytes.begin(), bytes.end());
  const auto& b = d.b;
  if (b.size() < 13) return (clear(), 0);
  std::string sig(b.begin(), b.begin() + 6);
  for (auto& c : sig) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (sig != "gif89a" && sig != "gif87a") return (clear(), 0);
  d.lw = b[6] | b[7] << 8;
  d.lh = b[8] | b[9] << 8;
  size_t p = 13;
  auto tabelle = [&](int size, ColourTable& t) {
    const size_t n = size_t(1) << (size + 1);
    if (p + 3 * n > b.size()) return false;
    t.fill(0);
    for (size_t i = 0; i < n; ++i) t[i] = uint32_t(b[p + 3 * i]) << 16 | b[p + 3 * i + 1] << 8 | b[p + 3 * i + 2];
    t[256] = uint32_t(n);
    p += 3 * n;
    return true;
  };
  auto skip = [&] {
    while (p < b.size() && b[p] != 0) p += b[p] + 1;
    ++p;
  };
  if (b[10] & 0x80) {
    if (!tabelle(b[10] & 7, d.tabellen[0])) return (clear(), 0);
    d.global = true;
  }
  FrameInfo cur{};
  while (p < b.size()) {
    const uint8_t c = b[p++];
    if (c == 0) continue;
    if (c == 0x21) {
      if (p >= b.size()) break;
      const uint8_t label = b[p++];
      if (label == 0xF9 && p + 5 < b.size()) {
        cur = FrameInfo{};
        const uint8_t packed = b[p + 1];
        cur.disposal = (packed >> 2) & 3;
        if (cur.disposal == 3 && d.frames.empty()) cur.disposal = 0;
        cur.delay = (b[p + 2] | b[p + 3] << 8) * 10;
        cur.transparencyFlag = packed & 1;
        cur.transparentIndex = b[p + 4];
        p += 5;
      } else if (label == 0xFF && p + 12 < b.size() && std::memcmp(&b[p + 1], "NETSCAPE2.0", 11) == 0) {
        p += 12;
        if (p + 3 < b.size() && b[p] == 3) d.loop = b[p + 2] | b[p + 3] << 8;
      }
      skip();
    } else if (c == 0x2C) {
      if (p + 9 > b.size()) break;
      cur.left = b[p] | b[p + 1] << 8;
      cur.top = b[p + 2] | b[p + 3] << 8;
      cur.width = b[p + 4] | b[p + 5] << 8;
      cur.height = b[p + 6] | b[p + 7] << 8;
      const uint8_t packed = b[p + 8];
      p += 9;
      if (packed & 0x80) {
        d.tabellen.emplace_back();
        if (!tabelle(packed & 7, d.tabellen.back())) break;
        cur.colorTable = int32_t(d.tabellen.size() - 1);
      } else if (!d.global) {
        return (clear(), 0);
      }
      const size_t start = p;
      ++p;
      skip();
      if (p > b.size()) break;
      d.frames.push_back(cur);
      d.daten.emplace_back(start, p);
      d.interlaced.push_back(packed & 0x40 ? 1 : 0);
      d.cw = std::max(d.cw, cur.left + cur.width);
      d.ch = std::max(d.ch, cur.top + cur.height);
      cur = FrameInfo{};
    } else {
      break;
    }
  }
  if (d.frames.empty() || d.cw > kMaxSeite || d.ch > kMaxSeite) return (clear(), 0);
  int64_t sw = 0;
  for (auto& f : d.frames) {
    f.offset = int32_t(sw);
    sw += f.width;
    d.sh = std::max(d.sh, f.height);
  }
  if (sw * d.sh > kMaxStreifenPixel || int(d.frames.size()) > kMaxFrames) return (clear(), 0);
  d.sw = int32_t(sw);
  return int(d.frames.size());
}

namespace {
void lzw(const uint8_t* data, size_t n, uint8_t* out, size_t outN) {
  if (n < 1) return;
  const int minSize = std::clamp<int>(data[0], 2, 8);
  std::vector<uint8_t> bytes;
  size_t p = 1;
  while (p < n && data[p] != 0) {
    const size_t len = data[p];
    for (size_t i = 1; i <= len && p + i < n; ++i) bytes.push_back(data[p + i]);
    p += len + 1;
  }
  const int clear = 1 << minSize, eoi = clear + 1;
  std::vector<uint16_t> prefix(4096);
  std::vector<uint8_t> suffix(4096), stack(4097);
  int size = minSize + 1, next = eoi + 1, old = -1;
  uint8_t first = 0;
  size_t o = 0, bit = 0;
  while (o < outN) {
    if (bit + size > bytes.size() * 8) break;
    int code = 0;
    for (int i = 0; i < size; ++i, ++bit) code |= ((bytes[bit >> 3] >> (bit & 7)) & 1) << i;
    if (code == clear) {
      size = minSize + 1;
      next = eoi + 1;
      old = -1;
      continue;
    }
    if (code == eoi) break;
    int sp = 0, c = code;
    if (old == -1) {
      if (code >= clear) break;
      out[o++] = first = uint8_t(code);
      old = code;
      continue;
    }
    if (code > next || (code == next && next >= 4096)) break;
    if (code == next) {
      stack[sp++] = first;
      c = old;
    }
    while (c > eoi) {
      stack[sp++] = suffix[size_t(c)];
      c = prefix[size_t(c)];
    }
    first = uint8_t(c);
    stack[sp++] = first;
    while (sp > 0 && o < outN) out[o++] = stack[size_t(--sp)];
    if (next < 4096) {
      prefix[size_t(next)] = uint16_t(old);
      suffix[size_t(next)] = first;
      ++next;
      if (next == (1 << size) && size < 12) ++size;
    }
    old = code;
  }
}
}  // namespace

bool GifDatei::decode(bool first) {
  Impl& d = *d_;
  if (d.frames.empty()) return false;
  if (first) {
    d.strip.assign(size_t(d.sw) * size_t(d.sh), 0);
    d.dekodiert.assign(d.frames.size(), false);
  }
  const size_t von = first ? 0 : 1, bis = first ? 1 : d.frames.size();
  for (size_t k = von; k < bis; ++k) {
    const FrameInfo& f = d.frames[k];
    d.dekodiert[k] = true;
    if (f.width == 0 || f.height == 0) continue;
    std::vector<uint8_t> pix(size_t(f.width) * size_t(f.height));
    lzw(&d.b[d.daten[k].first], d.daten[k].second - d.daten[k].first, pix.data(), pix.size());
    std::vector<int> zeile(size_t(f.height));
    if (d.interlaced[k]) {
      int r = 0;
      for (auto [s, st] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (int y = s; y < f.height; y += st) zeile[size_t(r++)] = y;
    } else {
      for (int y = 0; y < f.height; ++y) zeile[size_t(y)] = y;
    }
    for (int y = 0; y < f.height; ++y)
      std::memcpy(&d.strip[size_t(zeile[size_t(y)]) * size_t(d.sw) + size_t(f.offset)],
                  &pix[size_t(y) * size_t(f.width)], size_t(f.width));
    d.dekodiert[k] = true;
  }
  return true;
}

int GifDatei::frameCount() const { return int(d_->frames.size()); }
const std::vector<FrameInfo>& GifDatei::frames() const { return d_->frames; }
bool GifDatei::frameDecoded(int k) const {
  return k >= 1 && size_t(k) <= d_->dekodiert.size() && d_->dekodiert[size_t(k - 1)];
}
int32_t GifDatei::canvasWidth() const { return d_->cw; }
int32_t GifDatei::canvasHeight() const { return d_->ch; }
int32_t GifDatei::logicalWidth() const { return d_->lw; }
int32_t GifDatei::logicalHeight() const { return d_->lh; }
std::optional<int32_t> GifDatei::loopCount() const { return d_->loop; }
bool GifDatei::hasGlobalTable() const { return d_->global; }
int GifDatei::localTableCount() const { return int(d_->tabellen.size()) - 1; }
const ColourTable& GifDatei::colourTable(int t) const {
  return d_->tabellen[size_t(std::clamp(t, 0, int(d_->tabellen.size()) - 1))];
}
bool GifDatei::anyTransparent() const {
  return std::any_of(d_->frames.begin(), d_->frames.end(), [](auto& f) { return f.transparencyFlag == 1; });
}
bool GifDatei::anyDisposal2or3() const {
  return std::any_of(d_->frames.begin(), d_->frames.end(), [](auto& f) { return f.disposal >= 2; });
}
bool GifDatei::allDisposal2() const {
  return !d_->frames.empty() &&
         std::all_of(d_->frames.begin(), d_->frames.end(), [](auto& f) { return f.disposal == 2; });
}
int32_t GifDatei::stripWidth() const { return d_->sw; }
int32_t GifDatei::stripHeight() const { return d_->sh; }
const uint8_t* GifDatei::strip() const { return d_->strip.data(); }
uint8_t* GifDatei::strip() { return d_->strip.data(); }

}  // namespace vrd4::gif
