#pragma once
// The line framing of a received byte stream: chunks are appended (each
// cut before its first NUL), complete lines are taken from the front, and
// what follows the last separator waits for the next chunk. Works on the
// Windows-1252 bytes: one byte is one character, so framing the bytes is
// framing the text. No Qt, no sockets: the fuzzer and the tests drive it
// directly.
#include <cstddef>
#include <string>
#include <string_view>

namespace vrd4::net {

class Zeilenpuffer {
 public:
  // maxZeile: the longest line (and the longest rest) accepted, in bytes.
  explicit Zeilenpuffer(std::size_t maxZeile) : max_(maxZeile) {}

  // Appends chunk up to, not including, its first NUL.
  void anhaengen(std::string_view chunk);

  enum class Ergebnis {
    Zeile,       // zeile holds the next line (without its separator)
    KeineZeile,  // no complete line buffered; the rest stays
    ZuLang,      // a line or the rest is longer than maxZeile
  };
  // Takes the next complete line. separator must not be empty. zeile points
  // into the buffer and stays valid until the next call of any method.
  // Searching resumes where the last call stopped, so a long line arriving
  // in many chunks is scanned once, not once per chunk.
  Ergebnis naechsteZeile(std::string_view separator, std::string_view& zeile);

  // The line naechsteZeile just returned, as a string of its own. From
  // kVerschiebenAb bytes on the buffer itself becomes the line (the bytes
  // after it move to a new buffer), so a picture-sized line is not copied.
  static constexpr std::size_t kVerschiebenAb = std::size_t{64} << 10;
  std::string herausnehmen(std::string_view zeile);

  // The buffered bytes after the last line taken; empties the buffer.
  std::string restNehmen();
  void setMax(std::size_t maxZeile) { max_ = maxZeile; }
  std::size_t groesse() const { return puffer_.size() - anfang_; }
  // The first n (at most groesse()) bytes not yet taken as a line: the head
  // of the line that is still coming in. Valid until the next call.
  std::string_view kopf(std::size_t n) const {
    return std::string_view(puffer_).substr(anfang_, n);
  }
  bool leer() const { return groesse() == 0; }
  void leeren();

 private:
  std::size_t max_;
  std::string puffer_;
  std::size_t anfang_ = 0;      // first byte not yet taken as a line
  std::size_t gesucht_ = 0;     // no separator starts before this offset
  std::size_t trennerLaenge_ = 0;  // separator length gesucht_ is valid for
};

}  // namespace vrd4::net
