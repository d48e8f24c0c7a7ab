// The command table against the wire form the sending programs use
// (tests/Drahtformen.h, written apart from the table): every command in the
// receiver's order, its fields by name and type in wire order, the sender's
// operation, the reply, the picture field; and every text a sending program
// writes converts and builds back to itself.
#include <gtest/gtest.h>

#include "platform/Ansi.h"
#include "protocol/Befehl.h"
#include "tests/Drahtformen.h"

namespace vrd4::protocol {
namespace {

using namespace vrd4::test;

std::u16string typName(FeldTyp t) {
  static const char16_t* const kNamen[] = {u"Int16", u"Int32", u"Byte", u"Bool", u"Double", u"Text"};
  return kNamen[static_cast<int>(t)];
}

// "Name: Typ, Name: Typ, …": one text per row, so a failure shows the row.
std::string liste(const std::vector<Drahtfeld>& felder) {
  std::u16string s;
  for (const Drahtfeld& f : felder) s += (s.empty() ? u"" : u", ") + f.name + u": " + f.typ;
  return platform::toUtf8(s);
}
std::string liste(const BefehlsSpec& spec) {
  std::vector<Drahtfeld> felder;
  for (const Parameter& p : spec.parameter) felder.push_back({std::u16string(p.name), typName(p.typ)});
  return liste(felder);
}

TEST(Drahtform, TheTableHoldsEveryCommandInOrderWithItsFieldsOperationReplyAndPictureField) {
  const auto tabelle = befehlstabelle();
  ASSERT_EQ(tabelle.size(), std::size(kDrahtformen));
  for (std::size_t i = 0; i < tabelle.size(); ++i) {
    const BefehlsSpec& s = tabelle[i];
    const Drahtform& d = kDrahtformen[i];
    SCOPED_TRACE(platform::toUtf8(d.name));
    EXPECT_EQ(s.name, d.name) << "the receiver compares names in this order";
    EXPECT_EQ(liste(s), liste(drahtfelder(d)));
    EXPECT_EQ(s.methode, d.methode);
    EXPECT_EQ(s.antwort, d.antwort);
    EXPECT_EQ(s.leeresEndfeld, d.leeresEndfeld);
    EXPECT_EQ(s.nurOertlich, d.nurQuittiert);
    EXPECT_EQ(s.istBildbefehl() ? s.inhaltsfeld() : 0, d.bildinhalt);
  }
}

// The plain values and each field changed alone: the text reads to the
// row's types and is built again character for character.
TEST(Drahtform, EveryTextASendingProgramWritesConvertsAndBuildsBackToItself) {
  for (const Drahtform& d : kDrahtformen) {
    SCOPED_TRACE(platform::toUtf8(d.name));
    const BefehlsSpec* spec = findeBefehl(d.name);
    ASSERT_NE(spec, nullptr);
    for (const Drahtwerte& w : drahtvarianten(d)) {
      const std::u16string text = drahttext(d, w);
      const auto felder = zerlegen(text);
      EXPECT_EQ(int(felder.size()), spec->feldanzahl());
      EXPECT_EQ(bauen(d.name, konvertieren(*spec, felder).werte), text);
    }
  }
}

}  // namespace
}  // namespace vrd4::protocol
