// The command server's interpreter: any line runs, fails into the status
// list or is refused, never crashes, and a picture content is never longer
// than half its line.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

#include "../protocol/Eingabe.h"
#include "net/clsTalkConnection.h"

namespace {

struct Host final : vrd4::net::TalkHost, vrd4::platform::Clock {
  void statusEintrag(const QString&) override {}
  vrd4::net::Weiterleitung* weiterleitungsClient() override { return nullptr; }
  void befehlAusfuehren(std::span<const std::u16string> felder, std::span<const uint8_t>,
                        const vrd4::render::VorabBild*) override {
    if (felder.size() > 2 && felder[2].empty()) throw std::runtime_error("Feld 2 fehlt");
  }
  void falscheAbfrage(const QString&) override {}
  bool darfAusfuehren() const override { return true; }
  double seconds() const override { return 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static Host host;
  static vrd4::net::Clients clients(host, host);
  static vrd4::net::clsSocket server;  // never listens: the connection has no peer
  vrd4::net::clsTalkConnection c(clients, server);
  const std::u16string zeile = vrd4::fuzz::alsText(data, size);
  c.zeileAusfuehren(zeile);
  vrd4::fuzz::pruefe(c.bildinhalt().size() <= zeile.size() / 2 + 1);
  return 0;
}
