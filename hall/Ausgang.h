#pragma once
// The publisher's outbox: the QoS 1 messages handed to the broker and not
// yet acknowledged. The board never waits for them: past kMaxNachrichten
// messages or kMaxBytes a command is not published at all (the subscribers
// see the gap and draw the next scene). Pure; std only.
#include <cstddef>
#include <unordered_map>

namespace vrd4::halle {

class Ausgang {
 public:
  static constexpr std::size_t kMaxNachrichten = 1000;
  static constexpr std::size_t kMaxBytes = std::size_t{64} << 20;

  // Room for one more message of `bytes`? An empty outbox takes any one.
  bool platz(std::size_t bytes) const {
    return offen_.empty() || (offen_.size() < kMaxNachrichten && bytes_ + bytes <= kMaxBytes);
  }
  void gesendet(int mid, std::size_t bytes) {
    if (offen_.emplace(mid, bytes).second) bytes_ += bytes;
  }
  // An unknown id (sent before leeren) changes nothing.
  void bestaetigt(int mid) {
    if (const auto it = offen_.find(mid); it != offen_.end()) {
      bytes_ -= it->second;
      offen_.erase(it);
    }
  }
  // The connection is gone: what was open no longer counts.
  void leeren() {
    offen_.clear();
    bytes_ = 0;
  }
  std::size_t nachrichten() const { return offen_.size(); }
  std::size_t bytes() const { return bytes_; }

 private:
  std::unordered_map<int, std::size_t> offen_;
  std::size_t bytes_ = 0;
};

}  // namespace vrd4::halle
