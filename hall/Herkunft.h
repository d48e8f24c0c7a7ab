#pragma once
// The publisher's memory of what it sent, to tell its own messages from a
// stranger's when the broker hands them back on the hall's topics. Pure;
// std only.
//
//  - A command is its own when it is of the current run and its number and
//    content are what was sent under that number (the last kBefehle
//    numbers are remembered; older ones, and those of its own earlier
//    runs, are Alt). A number beyond the last one sent, one that was not
//    published, or other content under a number sent claims the current
//    run falsely: FremdImLauf — a board may have drawn it, and only a new
//    run brings every board back for sure. Anything else is Fremd.
//  - A scene is its own when its bytes are those of one of the last
//    kSzenen scenes sent. Any other of the current run that ends at or
//    past the last number is FremdImLauf (a board that draws it would
//    ignore the publisher's scene of that number). One of an earlier own
//    run is Alt, and so is any other the broker had kept from before we
//    subscribed (the publisher sends its own after every connect anyway);
//    any other live one, or garbage, is Fremd: the next scene sent covers
//    it.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>
#include <vector>

namespace vrd4::halle {

class Herkunft {
 public:
  static constexpr std::size_t kBefehle = 4096;
  static constexpr std::size_t kSzenen = 8;
  static constexpr std::size_t kAlteLaeufe = 16;
  enum class Urteil { Eigen, Alt, Fremd, FremdImLauf };

  explicit Herkunft(uint64_t lauf) : lauf_(lauf) {}
  // A new run; the old one stays known as ours.
  void neuerLauf(uint64_t lauf);
  uint64_t lauf() const { return lauf_; }

  // The next number of the run was given to a command; `pruefsumme` its
  // content's (inhaltsPruefsumme), nullopt when it was not published.
  void befehl(std::optional<uint64_t> pruefsumme);
  uint64_t seq() const { return seq_; }
  // A scene went out; `pruefsumme` of its whole payload.
  void szene(uint64_t pruefsumme);
  // The last scene sent, as its checksum (nullopt: none in this run).
  std::optional<uint64_t> letzteSzene() const;

  Urteil befehlGesehen(std::string_view payload) const;
  Urteil szeneGesehen(std::string_view payload, bool behalten) const;

 private:
  bool alterLauf(uint64_t lauf) const;

  uint64_t lauf_, seq_ = 0;
  std::deque<std::optional<uint64_t>> befehle_;  // numbers seq_ - size() + 1 .. seq_
  std::deque<uint64_t> szenen_;
  std::vector<uint64_t> alteLaeufe_;
};

}  // namespace vrd4::halle
