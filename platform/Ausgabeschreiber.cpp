#include "platform/Ausgabeschreiber.h"

#include <signal.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace vrd4::platform {

// Shared by the object and its thread: a thread still blocked in a write when
// the object goes keeps what it uses.
struct Ausgabeschreiber::Zustand {
  Schreiben schreiben;
  Hinweis hinweis;
  std::size_t maxBytes = 0;

  std::mutex mutex;
  std::condition_variable cv;
  std::deque<std::string> warteschlange;
  std::size_t bytes = 0;         // in the queue
  std::size_t ungemeldet = 0;    // lines dropped since the last block that got through
  std::size_t verworfen = 0;     // lines dropped in all
  unsigned long long gegeben = 0, erledigt = 0;  // blocks queued, blocks written
  bool ende = false, beendet = false;

  void laufen() {
    // A reader that has gone (a closed pipe) is a failed write here, not a
    // SIGPIPE that ends the program.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    std::unique_lock lock(mutex);
    for (;;) {
      cv.wait(lock, [this] { return ende || !warteschlange.empty(); });
      if (warteschlange.empty()) break;  // ende, and everything written
      std::string block = std::move(warteschlange.front());
      warteschlange.pop_front();
      bytes -= std::min(bytes, block.size());
      lock.unlock();
      schreiben(block);
      lock.lock();
      ++erledigt;
      cv.notify_all();
    }
    beendet = true;
    cv.notify_all();
  }
};

Ausgabeschreiber::Ausgabeschreiber(Schreiben schreiben, std::size_t maxBytes, Hinweis hinweis)
    : z_(std::make_shared<Zustand>()) {
  z_->schreiben = std::move(schreiben);
  z_->hinweis = std::move(hinweis);
  z_->maxBytes = maxBytes;
  // Detached from the start: the object never waits for a thread that a
  // reader holds up; the thread keeps the state it needs.
  std::thread([z = z_] { z->laufen(); }).detach();
}

Ausgabeschreiber::~Ausgabeschreiber() {
  std::unique_lock lock(z_->mutex);
  z_->ende = true;
  z_->cv.notify_all();
  z_->cv.wait_for(lock, std::chrono::milliseconds(kAbschiedMs), [this] { return z_->beendet; });
}

bool Ausgabeschreiber::geben(std::string block) {
  if (block.empty()) return true;
  const std::size_t zeilen = std::max<std::size_t>(1, std::size_t(std::count(block.begin(), block.end(), '\n')));
  {
    const std::lock_guard lock(z_->mutex);
    if (z_->ende) return false;
    if (z_->bytes + block.size() > z_->maxBytes) {
      z_->ungemeldet += zeilen;
      z_->verworfen += zeilen;
      return false;
    }
    if (z_->ungemeldet > 0 && z_->hinweis) {
      block.insert(0, z_->hinweis(z_->ungemeldet));
      z_->ungemeldet = 0;
    }
    z_->bytes += block.size();
    z_->warteschlange.push_back(std::move(block));
    ++z_->gegeben;
  }
  z_->cv.notify_all();
  return true;
}

bool Ausgabeschreiber::leeren(std::chrono::milliseconds frist) {
  std::unique_lock lock(z_->mutex);
  const unsigned long long ziel = z_->gegeben;
  return z_->cv.wait_for(lock, frist, [this, ziel] { return z_->erledigt >= ziel; });
}

std::size_t Ausgabeschreiber::verworfen() const {
  const std::lock_guard lock(z_->mutex);
  return z_->verworfen;
}

}  // namespace vrd4::platform
