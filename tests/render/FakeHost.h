#pragma once
// The render tests' one GUI application (fonts and painting need it), a
// RenderHost that records what the drawing operations report and whose clock
// the test moves by hand, and a text field.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QString>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

#include "render/RenderHost.h"
#include "render/TextParameter.h"
#include "tests/TestHilfe.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace vrd4::render::test {

inline const auto* const kGui = testing::AddGlobalTestEnvironment(new vrd4::test::Anwendung<QGuiApplication>);

using Ereignis = std::pair<QString, QString>;  // kind, message
inline Ereignis befehlFehler(const QString& meldung) { return {"BefehlFehler", meldung}; }

struct FakeHost : RenderHost {
  void VRD4Event(const QString& art, const QString& text) override { ereignisse.push_back({art, text}); }
  void statusEintrag(const QString& entry) override { status.push_back(entry); }
  void writeReply(Antwort which, const QString& value) override { antworten.emplace_back(which, value); }
  double now() const override { return zeit; }

  std::vector<Ereignis> ereignisse;
  std::vector<QString> status;
  std::vector<std::pair<Antwort, QString>> antworten;
  // Binary fractions keep every sum exact, so the ticks' comparisons are too.
  double zeit = 1024.0;
};

// A 20-pixel Arial text, white on black, opaque, top-left aligned.
inline TextParameter feld(int16_t xs, int16_t ys, int16_t xe, int16_t ye, const char* text = "Anpfiff") {
  return {.Xstart = xs, .Ystart = ys, .Xende = xe, .YEnde = ye, .Ausgabetext = QString::fromUtf8(text)};
}

}  // namespace vrd4::render::test
