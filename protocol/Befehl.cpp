// Splitting, joining, converting and building command texts.
#include "protocol/Befehl.h"

#include <algorithm>
#include <string>

#include "platform/Ansi.h"
#include "protocol/FeldLesen.h"
#include "protocol/Hex.h"

namespace vrd4::protocol {
namespace {

std::string utf8(std::u16string_view s) { return platform::toUtf8(s); }

}  // namespace

bool istBefehl(std::u16string_view text) { return text.starts_with(kBefehl); }

std::size_t befehlstextLaenge(std::span<const std::u16string> felder) {
  const BefehlsSpec* spec = felder.size() > 1 ? findeBefehl(felder[1]) : nullptr;
  const std::size_t inhalt =
      spec && spec->istBildbefehl() ? static_cast<std::size_t>(spec->inhaltsfeld()) : felder.size();
  std::size_t laenge = felder.empty() ? 0 : felder.size() - 1;  // the ESCs
  for (std::size_t i = 0; i < felder.size(); ++i)
    if (i != inhalt) laenge += felder[i].size();
  return laenge;
}

BefehlZuLang::BefehlZuLang(std::size_t zeichen)
    : std::runtime_error("Befehl zu lang: " + std::to_string(zeichen) + " Zeichen, höchstens " +
                         std::to_string(kMaxBefehlstextZeichen)) {}

void befehlstextPruefen(std::span<const std::u16string> felder) {
  if (const std::size_t n = befehlstextLaenge(felder); n > kMaxBefehlstextZeichen) throw BefehlZuLang(n);
}

std::vector<std::u16string> zerlegen(std::u16string_view text) {
  std::vector<std::u16string> felder;
  felder.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), ESC)) + 1);
  std::size_t anfang = 0;
  for (;;) {
    std::size_t ende = text.find(ESC, anfang);
    if (ende == std::u16string_view::npos) {
      felder.emplace_back(text.substr(anfang));
      return felder;
    }
    felder.emplace_back(text.substr(anfang, ende - anfang));
    anfang = ende + 1;
  }
}

std::u16string zusammenfuegen(std::span<const std::u16string> felder) {
  std::u16string text;
  if (felder.empty()) return text;
  std::size_t laenge = felder.size() - 1;
  for (const auto& f : felder) laenge += f.size();
  text.reserve(laenge);
  for (std::size_t i = 0; i < felder.size(); ++i) {
    if (i > 0) text.push_back(ESC);
    text += felder[i];
  }
  return text;
}

Befehl konvertieren(const BefehlsSpec& spec, std::span<const std::u16string> felder) {
  Befehl b;
  b.spec = &spec;
  b.werte.reserve(spec.parameter.size());
  for (std::size_t i = 0; i < spec.parameter.size(); ++i) {
    const Parameter& p = spec.parameter[i];
    const std::size_t position = i + 2;
    const detail::FeldOrt ort{spec.name, static_cast<int>(position), p.name};
    // The empty end field of AniGifLadenanPosition is not a parameter, so a
    // text without it converts the same.
    if (position >= felder.size()) detail::feldFehlt(ort);
    const std::u16string& feld = felder[position];
    switch (p.typ) {
      case FeldTyp::Int16: b.werte.emplace_back(detail::leseInt16(feld, ort)); break;
      case FeldTyp::Int32: b.werte.emplace_back(detail::leseInt32(feld, ort)); break;
      case FeldTyp::Byte: b.werte.emplace_back(detail::leseByte(feld, ort)); break;
      case FeldTyp::Bool: b.werte.emplace_back(detail::leseBool(feld, ort)); break;
      case FeldTyp::Double: b.werte.emplace_back(leseDouble(feld)); break;
      case FeldTyp::Text: b.werte.emplace_back(std::in_place_type<std::u16string>, feld); break;
    }
  }
  return b;
}

std::u16string bauen(std::u16string_view name, std::span<const Wert> parameter) {
  const BefehlsSpec* spec = findeBefehl(name);
  if (spec == nullptr) throw std::invalid_argument("Unbekannter Befehl: \"" + utf8(name) + "\"");
  if (parameter.size() != spec->parameter.size())
    throw std::invalid_argument("Befehl \"" + utf8(name) + "\" hat " +
                                std::to_string(spec->parameter.size()) + " Parameter, nicht " +
                                std::to_string(parameter.size()));
  std::u16string text(kBefehl);
  text.push_back(ESC);
  text += name;
  for (std::size_t i = 0; i < parameter.size(); ++i) {
    const Parameter& p = spec->parameter[i];
    // The variant's alternatives are in the order of FeldTyp.
    if (parameter[i].index() != static_cast<std::size_t>(p.typ))
      throw std::invalid_argument("Befehl \"" + utf8(name) + "\": Parameter " + utf8(p.name) +
                                  " hat den falschen Typ");
    std::u16string feld = schreibeWert(parameter[i]);
    // ESC would split the text and shift every later field.
    if (feld.find(ESC) != std::u16string::npos)
      throw std::invalid_argument("Befehl \"" + utf8(name) + "\": Parameter " + utf8(p.name) +
                                  " enthält das Trennzeichen ESC");
    text.push_back(ESC);
    text += feld;
  }
  if (spec->leeresEndfeld) text.push_back(ESC);
  return text;
}

Befehlsbauer::Befehlsbauer(std::u16string_view name) : spec_(findeBefehl(name)), text_(kBefehl) {
  if (spec_ == nullptr) throw std::logic_error("Unbekannter Befehl: \"" + utf8(name) + "\"");
  text_.push_back(ESC);
  text_ += name;
}

Befehlsbauer& Befehlsbauer::feld(bool passt, std::u16string_view feld) {
  if (!passt)
    throw std::logic_error("Befehl \"" + utf8(spec_->name) + "\": Parameter " + std::to_string(anzahl_ + 2) +
                           " passt nicht zur Befehlstabelle");
  ++anzahl_;
  text_.push_back(ESC);
  text_ += feld;
  return *this;
}

bool Befehlsbauer::naechsterIst(FeldTyp typ) const {
  return anzahl_ < spec_->parameter.size() && spec_->parameter[anzahl_].typ == typ;
}

Befehlsbauer& Befehlsbauer::ganz(int64_t v) {
  using enum FeldTyp;
  return feld(naechsterIst(Int16) || naechsterIst(Int32) || naechsterIst(Byte), schreibeGanzzahl(v));
}
Befehlsbauer& Befehlsbauer::janein(bool v) { return feld(naechsterIst(FeldTyp::Bool), schreibeBool(v)); }
Befehlsbauer& Befehlsbauer::zahl(double v) { return feld(naechsterIst(FeldTyp::Double), schreibeDouble(v)); }
Befehlsbauer& Befehlsbauer::text(std::u16string_view v) { return feld(naechsterIst(FeldTyp::Text), v); }

std::u16string Befehlsbauer::text() const {
  if (anzahl_ != spec_->parameter.size())
    throw std::logic_error("Befehl \"" + utf8(spec_->name) + "\": " + std::to_string(anzahl_) + " von " +
                           std::to_string(spec_->parameter.size()) + " Parametern");
  return spec_->leeresEndfeld ? text_ + ESC : text_;
}

std::u16string weiterleitungsform(std::span<const std::u16string> felder,
                                  std::span<const uint8_t> dateiinhalt) {
  if (felder.size() < 2) throw std::invalid_argument("Kein Bildbefehl: zu wenige Felder");
  const BefehlsSpec* spec = findeBefehl(felder[1]);
  if (spec == nullptr || !spec->istBildbefehl())
    throw std::invalid_argument("Kein Bildbefehl: \"" + utf8(felder[1]) + "\"");
  // Fields taken over from the received text: "Befehl" and name, then the
  // command's parameters; the file's bytes follow.
  const auto uebernommen = static_cast<std::size_t>(spec->inhaltsfeld());

  std::size_t laenge = kWeiterleitungsfelder - 1 + 2 * dateiinhalt.size();
  for (std::size_t i = 0; i < uebernommen && i < felder.size(); ++i) laenge += felder[i].size();
  std::u16string text;
  text.reserve(laenge);
  for (std::size_t i = 0; i < uebernommen; ++i) {
    if (i > 0) text.push_back(ESC);
    if (i < felder.size()) text += felder[i];
  }
  text.push_back(ESC);
  hexAnhaengen(text, dateiinhalt);
  text.append(kWeiterleitungsfelder - uebernommen - 1, ESC);
  return text;
}

std::u16string weiterleitungstext(const Befehl& b, std::span<const uint8_t> bildBytes) {
  std::vector<std::u16string> felder{std::u16string(kBefehl), std::u16string(b.spec->name)};
  for (const auto& w : b.werte) felder.push_back(schreibeWert(w));
  if (b.spec->istBildbefehl()) return weiterleitungsform(felder, bildBytes);
  std::u16string t = zusammenfuegen(felder);
  if (b.spec->leeresEndfeld) t.push_back(ESC);
  return t;
}

}  // namespace vrd4::protocol
