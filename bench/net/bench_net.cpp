// The socket's line handling: framing alone, and whole lines over a real
// loopback connection answered "OK" (both ends clsSocket).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <string>
#include <string_view>

#include "net/Zeilenpuffer.h"
#include "net/clsSocket.h"
#include "platform/Ansi.h"

namespace {

using vrd4::net::clsSocket;
using vrd4::net::Zeilenpuffer;

const std::string kLinie = "Befehl\x1bLinie\x1b" "10\x1b" "20\x1b" "300\x1b" "400\x1b" "1\x1b" "255\r\n";

// Command lines as they come from the peer, in 2000-byte arrivals; each
// line converted to text as the socket delivers it.
void BM_RahmenKurzeZeilen(benchmark::State& state) {
  std::string strom;
  while (strom.size() < (1u << 20)) strom += kLinie;
  std::size_t zeilen = 0;
  for (auto _ : state) {
    Zeilenpuffer p(clsSocket::kMaxZeilenlaenge);
    for (std::size_t i = 0; i < strom.size(); i += clsSocket::kLeseblock) {
      p.anhaengen(std::string_view(strom).substr(i, clsSocket::kLeseblock));
      std::string_view z;
      while (p.naechsteZeile("\r\n", z) == Zeilenpuffer::Ergebnis::Zeile) {
        benchmark::DoNotOptimize(vrd4::platform::fromAnsi(z));
        ++zeilen;
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * strom.size()));
  state.counters["lines/s"] = benchmark::Counter(static_cast<double>(zeilen), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RahmenKurzeZeilen)->Unit(benchmark::kMillisecond);

// The largest forwarded picture command (64 MiB of hex) in 2000-byte
// arrivals.
void BM_RahmenBildzeile(benchmark::State& state) {
  const std::string stueck(clsSocket::kLeseblock, 'A');
  const std::size_t n = (std::size_t{64} << 20) / stueck.size();
  for (auto _ : state) {
    Zeilenpuffer p(clsSocket::kMaxZeilenlaenge);
    std::string_view z;
    for (std::size_t i = 0; i < n; ++i) {
      p.anhaengen(stueck);
      p.naechsteZeile("\r\n", z);
    }
    p.anhaengen("\r\n");
    if (p.naechsteZeile("\r\n", z) != Zeilenpuffer::Ergebnis::Zeile) state.SkipWithError("no line");
    benchmark::DoNotOptimize(vrd4::platform::fromAnsi(z));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n * stueck.size()));
}
BENCHMARK(BM_RahmenBildzeile)->Unit(benchmark::kMillisecond);

// Pipelined over 127.0.0.1: the client sends N lines at once, the server
// answers each "OK"; time until the last "OK" is back.
void BM_LoopbackZeilenMitOK(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  clsSocket server;
  server.Listen();
  std::unique_ptr<clsSocket> angenommen;
  server.ConnectionRequest = [&] {
    angenommen = std::make_unique<clsSocket>();
    angenommen->LineDataArrival = [&](const std::u16string&, const QString&) { angenommen->SendData(u"OK"); };
    angenommen->Accept(server);
  };
  clsSocket client;
  int oks = 0;
  client.LineDataArrival = [&](const std::u16string&, const QString&) { ++oks; };
  client.Connect(QStringLiteral("127.0.0.1"), server.LocalPort);
  QEventLoop schleife;
  QTimer pruefen;
  std::function<bool()> fertig;
  QObject::connect(&pruefen, &QTimer::timeout, [&] {
    if (fertig()) schleife.quit();
  });
  pruefen.start(0);
  fertig = [&] { return client.State() == clsSocket::sckConnected && angenommen; };
  schleife.exec();
  const std::u16string zeile = vrd4::platform::fromAnsi(std::string_view(kLinie).substr(0, kLinie.size() - 2));
  for (auto _ : state) {
    oks = 0;
    for (int i = 0; i < n; ++i) client.SendData(zeile);
    fertig = [&] { return oks == n; };
    schleife.exec();
  }
  state.counters["lines/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * n, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoopbackZeilenMitOK)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
