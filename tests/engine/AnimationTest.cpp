// Animation slots through the real engine: numbering and replies, the
// control's place and size, playing on the polling step, time limits, Cls.
#include "EngineTestSupport.h"
#include "support/Numbers.h"

namespace vrd4::engine::test {
namespace {

using vrd4::gif::test::einfarbigeFrames;

class Animation : public EngineTest {
 protected:
  render::Animationen& ani() { return engine->animationen(); }
  uint8_t laden(const char* name, const std::vector<uint8_t>& b, int16_t x1 = 1, int16_t y1 = 1, int16_t x2 = 400,
                int16_t y2 = 300) {
    return engine->AniGifLadenanPosition(QString::fromUtf8(name), x1, y1, x2, y2, false, false, b);
  }
  static Ereignis fehler(const char* m) { return {QStringLiteral("BefehlFehler"), QString::fromUtf8(m)}; }
  static Ereignis nr(int n) { return {QStringLiteral("AniGifNr"), QString::number(n)}; }
  // Polling steps until one has run at `sekunden`.
  void bis(double sekunden) { while (t < sekunden + 0.005) schritt(); }
  const std::vector<uint8_t> gif = einfarbigeFrames(100, 50, 2);
};

TEST_F(Animation, SlotsOneToTenLowestFreeFirstEleventhRefusedOthersAreErrorsClsFreesAll) {
  for (int i = 1; i <= 10; ++i) ASSERT_EQ(laden(i % 2 ? "a.GiF" : "b.gif", gif), i);
  events.clear();
  EXPECT_EQ(laden("c.gif", gif), 0);
  EXPECT_THAT(events, ElementsAre(fehler("max. 10Alle animierten Gif's bereits belegt!"), nr(0)));
  EXPECT_EQ(gv::clsVRD4AniGifNr().GetMemory(), u"0");
  engine->AniGifLoeschen(4);
  EXPECT_EQ(laden("a.gif", gif), 4) << "the lowest free slot";
  EXPECT_EQ(gv::clsVRD4AniGifNr().GetMemory(), u"4");

  events.clear();
  engine->AniGifLoeschen(0);
  engine->AniGifStarten(11, 1.0);
  engine->AniGifStoppen(255);
  EXPECT_THAT(events, ElementsAre(fehler("AniGif-Nummer: 0 gibt es nicht!"), fehler("AniGif-Nummer: 11 gibt es nicht!"),
                                  fehler("AniGif-Nummer: 255 gibt es nicht!")));
  for (uint8_t i = 1; i <= 10; ++i) engine->AniGifLoeschen(i);
  events.clear();
  engine->AniGifLoeschen(5);
  engine->AniGifStarten(5, 1.0);
  engine->AniGifStoppen(5);
  EXPECT_TRUE(events.empty()) << "a free slot in range is left alone";

  // Kinds: unknown and unopenable clips take no slot; a ".gif" whose bytes
  // are no GIF does (its control stays empty).
  struct Fall {
    const char* name;
    std::vector<uint8_t> bytes;
    int slot;
  } faelle[] = {{"bild.bmp", gif, 0}, {"clip.avi", std::vector<uint8_t>(100, 0), 0}, {"kaputt.gif", {1, 2, 3}, 1}};
  for (const Fall& f : faelle) {
    events.clear();
    EXPECT_EQ(laden(f.name, f.bytes), f.slot) << f.name;
    EXPECT_THAT(events, ElementsAre(nr(f.slot))) << f.name;
  }
  EXPECT_EQ(ani().ucAniGIFFeld(1).FrameCount(), 0);

  // Cls frees every slot, playing or not, and leaves nothing on the board.
  for (int i = 2; i <= 10; ++i) ASSERT_EQ(laden("a.gif", gif), i);
  for (uint8_t i = 1; i <= 10; ++i) engine->AniGifStarten(i, 0);
  engine->Cls();
  for (int i = 1; i <= 10; ++i) EXPECT_FALSE(ani().belegt(i) || ani().ucAniGIFFeld(i).visible()) << i;
  EXPECT_EQ(pic.presented(), pic.image());
  EXPECT_THROW(laden("a.gif", gif, -32768, 1, 32767, 5), OverflowError);
}

TEST_F(Animation, OverTheDecodersLimitsOrTheSharedBudgetRefusedWithWhyAndSlotZero) {
  std::vector<uint8_t> avi(120, 0);
  avi[64] = 0x10, avi[65] = 0x27, avi[68] = 10;  // 10000 × 10
  struct Fall {
    const char* name;
    std::vector<uint8_t> bytes;
    int16_t x2, y2;
    int vorher;  // loads of the same file that fit first
    const char* grund;
  } faelle[] = {
      {"8192x8200.gif", grossesGif(8192, 8200, 1), 400, 300, 0, "Frame über 64 Mpx"},
      {"breit.avi", avi, 400, 300, 0, "Videobild 10000 × 10 über 8192 Pixel je Seite oder 16 Mpx"},
      // Each: a 16 MB frame while it decodes, a 1024 × 1024 control (16 MB)
      // and the canvas pixels it shows (4 MB).
      {"4x4096.gif", grossesGif(4096, 4096, 4), 1024, 1024, 7, "braucht 37 MB Speicher, frei sind 4 MB"},
  };
  for (const Fall& f : faelle) {
    SCOPED_TRACE(f.name);
    for (int i = 1; i <= f.vorher; ++i) ASSERT_EQ(laden(f.name, f.bytes, 1, 1, f.x2, f.y2), i);
    events.clear();
    list.clear();
    EXPECT_EQ(laden(f.name, f.bytes, 1, 1, f.x2, f.y2), 0);
    const QString text = QStringLiteral("AniGif: %1 nicht geladen - %2").arg(QString::fromUtf8(f.name), QString::fromUtf8(f.grund));
    EXPECT_THAT(events, ElementsAre(Ereignis{QStringLiteral("BefehlFehler"), text}))
        << "the reason stays the last event, with the reply 0";
    EXPECT_EQ(gv::clsVRD4AniGifNr().GetMemory(), u"0");
    EXPECT_THAT(list, ElementsAre(text));
    engine->AniGifStarten(uint8_t(f.vorher + 1), 0);
    EXPECT_EQ(pic.presented(), pic.image()) << "nothing drawn";
    engine->Cls();
  }
}

TEST_F(Animation, DisplayTimeDeletesTheSlotUnlessStopped) {
  for (int i = 1; i <= 3; ++i) ASSERT_EQ(laden("a.gif", gif), i);
  const double start = t;
  engine->AniGifStarten(3, 5.5);
  engine->AniGifStarten(2, 0);  // no limit
  engine->AniGifStarten(1, 2.0);
  engine->AniGifStoppen(1);  // the limit no longer applies
  bis(start + 5.49);
  EXPECT_TRUE(ani().belegt(3));
  bis(start + 5.52);
  EXPECT_FALSE(ani().belegt(3));
  EXPECT_FALSE(ani().ucAniGIFFeld(3).visible());
  bis(start + 100);
  EXPECT_TRUE(ani().belegt(1));
  EXPECT_TRUE(ani().belegt(2));

  const double neu = t;
  engine->AniGifStarten(1, 1.0);  // the limit starts anew
  bis(neu + 0.99);
  EXPECT_TRUE(ani().belegt(1));
  bis(neu + 1.02);
  EXPECT_FALSE(ani().belegt(1));

  // A still picture lets the polling step rest, unless its time limit runs.
  engine->AniGifStoppen(2);
  EXPECT_TRUE(engine->darfRuhen()) << "a stopped GIF needs no steps";
  ASSERT_EQ(laden("still.gif", einfarbigeFrames(10, 10, 1)), 1);
  engine->AniGifStarten(1, 1.0);
  bis(t + 0.5);
  EXPECT_FALSE(engine->darfRuhen()) << "its time limit runs";
  bis(t + 0.6);
  EXPECT_TRUE(engine->darfRuhen());
}

}  // namespace
}  // namespace vrd4::engine::test
