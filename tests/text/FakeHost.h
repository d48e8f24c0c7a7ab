#pragma once
// A RenderHost that records what the drawing operations report and whose
// clock the test moves by hand.
#include <QString>
#include <ostream>
#include <utility>
#include <vector>

#include "render/RenderHost.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace vrd4::render::test {

struct Ereignis {
  QString art, meldung;
  bool operator==(const Ereignis&) const = default;
};

class FakeHost : public RenderHost {
 public:
  void raiseEvent(const QString& art, const QString& meldung) override {
    ereignisse.push_back({art, meldung});
  }
  void addStatus(const QString& entry) override { status.push_back(entry); }
  void writeReply(Antwort which, const QString& value) override {
    antworten.emplace_back(which, value);
  }
  double now() const override { return zeit; }

  std::vector<Ereignis> ereignisse;
  std::vector<QString> status;
  std::vector<std::pair<Antwort, QString>> antworten;
  // Binary fractions keep every sum exact, so the ticks' comparisons are too.
  double zeit = 1024.0;
};

}  // namespace vrd4::render::test
