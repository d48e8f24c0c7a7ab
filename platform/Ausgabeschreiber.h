#pragma once
// A writer thread for output whose reader may not keep up (a pipe nobody
// reads, a slow terminal, a busy journal): the caller hands over whole lines
// and never waits; the thread writes them at its own pace.
//
// At most maxBytes wait to be written. A block that does not fit is dropped
// whole and its lines counted; the next block that gets through is preceded
// by hinweis(count), which says how many were dropped. A writer blocked for
// good (a reader that never reads) so costs bounded memory and nothing else;
// a reader that has gone (a closed pipe) costs failed writes, no SIGPIPE.
//
// Thread-safe: geben() and leeren() may be called from any thread.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace vrd4::platform {

class Ausgabeschreiber {
 public:
  // Writes one block of whole lines; runs on the writer's thread and may block.
  using Schreiben = std::function<void(std::string_view block)>;
  // The line (with its '\n') that tells of n dropped lines.
  using Hinweis = std::function<std::string(std::size_t n)>;

  Ausgabeschreiber(Schreiben schreiben, std::size_t maxBytes, Hinweis hinweis);
  // Waits up to kAbschiedMs for what is queued to be written; a thread that
  // is still blocked then is left to end with the process.
  ~Ausgabeschreiber();
  Ausgabeschreiber(const Ausgabeschreiber&) = delete;
  Ausgabeschreiber& operator=(const Ausgabeschreiber&) = delete;

  static constexpr int kAbschiedMs = 500;

  // Queues a block of whole lines (each ending in '\n'); returns at once.
  // False when it was dropped (the queue is full).
  bool geben(std::string block);
  // Waits at most frist until everything given so far has been written;
  // true when it has.
  bool leeren(std::chrono::milliseconds frist);
  // Lines dropped since the start.
  std::size_t verworfen() const;

 private:
  struct Zustand;
  std::shared_ptr<Zustand> z_;
};

}  // namespace vrd4::platform
