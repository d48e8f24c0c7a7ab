// Placeholder until text output lands: does nothing.
#include "render/TextAusgabe.h"

namespace vrd4::render {
struct TextRenderer::Impl {
  RenderHost& host;
};
TextRenderer::TextRenderer(RenderHost& host) : d(new Impl{host}) {}
TextRenderer::~TextRenderer() { delete d; }
void TextRenderer::setLauftexte(Lauftexte*) {}
void TextRenderer::TextAusgabe(platform::Surface&, const TextParameter&, bool, double, double) {}
QString TextRenderer::SchriftartPruefen(const QString& name) { return name; }
}  // namespace vrd4::render
