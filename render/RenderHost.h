#pragma once
// What the drawing operations need from the engine that runs them: its event,
// the status list, the reply variables and the clock. The engine implements
// it; tests fake it.
#include <QString>

namespace vrd4::render {

enum class Antwort { BlinktextNr, LauftextNr, AniGifNr };

class RenderHost {
 public:
  virtual ~RenderHost() = default;
  // Raises the engine event VRD4Event(art, meldung), synchronously.
  virtual void VRD4Event(const QString& art, const QString& meldung) = 0;
  // Adds an entry to the status list List1.
  virtual void statusEintrag(const QString& entry) = 0;
  // Writes value into the reply variable (clsVRD4BlinktextNr, …).
  virtual void writeReply(Antwort which, const QString& value) = 0;
  // Monotonic seconds (blinking phases, scroll steps, start delays).
  virtual double now() const = 0;
};

}  // namespace vrd4::render
