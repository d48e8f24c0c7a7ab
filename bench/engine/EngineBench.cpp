// Cost of the receiver's polling step with an empty ring, and of the board
// commands on the 768 x 480 board, each through the dispatcher.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QGuiApplication>
#include <string>

#include "channel/ClsVRD4Memory.h"
#include "channel/modVRD4GlobaleVariablen.h"
#include "engine/clsVRD4Empfaenger.h"
#include "platform/Clock.h"
#include "platform/Surface.h"
#include "protocol/Befehl.h"

namespace {

using namespace vrd4;

class StillerStatus final : public engine::Statusausgabe {
 public:
  void letzterBefehl(const QString&) override {}
  void statusEintrag(const QString&) override {}
};
class StilleEreignisse final : public engine::Ereignisziel {
 public:
  void VRD4Event(const QString&, const QString&) override {}
};

struct Aufbau {
  platform::Surface pic{768, 480};
  StillerStatus status;
  StilleEreignisse events;
  engine::clsVRD4Empfaenger engine{pic, status, events, platform::steadyClock()};
};

std::u16string befehl(std::initializer_list<std::u16string> felder) {
  std::vector<std::u16string> v{u"Befehl"};
  v.insert(v.end(), felder.begin(), felder.end());
  return protocol::zusammenfuegen(v);
}

void BM_LeererPollingSchritt(benchmark::State& state) {
  Aufbau a;
  for (auto _ : state) a.engine.Zeitschleife();
}
BENCHMARK(BM_LeererPollingSchritt)->Unit(benchmark::kMicrosecond);

void lauf(benchmark::State& state, const std::u16string& text) {
  Aufbau a;
  for (auto _ : state) a.engine.BefehlAusfuehren(text);
}

void BM_Linie(benchmark::State& state) {
  lauf(state, befehl({u"Linie", u"1", u"1", u"768", u"480", u"1", u"255"}));
}
BENCHMARK(BM_Linie)->Unit(benchmark::kMicrosecond);

void BM_Rechteck(benchmark::State& state) {
  lauf(state, befehl({u"Rechteck", u"10", u"10", u"700", u"400", u"3", u"65280", u"0"}));
}
BENCHMARK(BM_Rechteck)->Unit(benchmark::kMicrosecond);

void BM_RechteckGefuellt(benchmark::State& state) {
  lauf(state, befehl({u"Rechteck", u"10", u"10", u"700", u"400", u"1", u"65280", u"-1"}));
}
BENCHMARK(BM_RechteckGefuellt)->Unit(benchmark::kMicrosecond);

void BM_Cls(benchmark::State& state) { lauf(state, befehl({u"Cls"})); }
BENCHMARK(BM_Cls)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  vrd4::channel::setChannelNamePrefix("b_engine_" + std::to_string(::getpid()) + "_");
  int qargc = 1;
  QGuiApplication app(qargc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  vrd4::channel::modVRD4GlobaleVariablen::removeChannelObjects();
  return 0;
}
