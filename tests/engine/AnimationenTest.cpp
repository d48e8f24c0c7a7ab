// The animation slot table: numbering, reports, range checks and the time
// limit, with a fake loader standing in for GIF and clip playback.
#include <gtest/gtest.h>

#include <QString>
#include <memory>
#include <vector>

#include "platform/Surface.h"
#include "render/Animationen.h"
#include "support/Numbers.h"

namespace vrd4::render {
namespace {

class Host final : public RenderHost {
 public:
  std::vector<std::pair<QString, QString>> events;
  std::vector<QString> replies;
  double t = 50.0;
  void raiseEvent(const QString& a, const QString& m) override { events.emplace_back(a, m); }
  void addStatus(const QString&) override {}
  void writeReply(Antwort which, const QString& v) override {
    EXPECT_EQ(which, Antwort::AniGifNr);
    replies.push_back(v);
  }
  double now() const override { return t; }
};

struct Protokoll {
  std::vector<std::string> schritte;
};

class Medium final : public AnimationsMedium {
 public:
  Medium(Protokoll& p, int slot) : p_(p), n_(std::to_string(slot)) {}
  void starten() override { p_.schritte.push_back("starten " + n_); }
  void stoppen() override { p_.schritte.push_back("stoppen " + n_); }
  void loeschen() override { p_.schritte.push_back("loeschen " + n_); }
  void setVisible(bool on) override { p_.schritte.push_back((on ? "zeigen " : "verbergen ") + n_); }

 private:
  Protokoll& p_;
  std::string n_;
};

class GifLader final : public AnimationsLader {
 public:
  explicit GifLader(Protokoll& p) : p_(p) {}
  AnimationsFeld letztesFeld;
  std::unique_ptr<AnimationsMedium> laden(int slot, const QString& art, const AnimationsFeld& feld,
                                          std::span<const uint8_t>) override {
    letztesFeld = feld;
    if (art != QStringLiteral("GIF")) return nullptr;
    return std::make_unique<Medium>(p_, slot);
  }

 private:
  Protokoll& p_;
};

class AnimationenTest : public ::testing::Test {
 protected:
  uint8_t laden(const char* name = "a.gif") {
    return ani.AniGifLadenanPosition(QString::fromUtf8(name), 1, 1, 400, 300, false, false, {});
  }
  Host host;
  platform::Surface board{64, 48};
  Protokoll protokoll;
  GifLader lader{protokoll};
  Animationen ani{host, board, &lader};
};

TEST(AnimationenOhneLader, LoadReportsZeroLikeAnUnknownKind) {
  Host host;
  platform::Surface board(8, 8);
  Animationen ani(host, board);
  EXPECT_EQ(ani.AniGifLadenanPosition(QStringLiteral("x.gif"), 1, 1, 5, 5, true, true, {}), 0);
  EXPECT_EQ(host.replies, std::vector<QString>{QStringLiteral("0")});
  ASSERT_EQ(host.events.size(), 1u);
  EXPECT_EQ(host.events[0], std::make_pair(QStringLiteral("AniGifNr"), QStringLiteral("0")));
  ani.AniGifLoeschen(5);
  ani.AniGifStarten(5, 1.0);
  ani.AniGifStoppen(5);
  ani.AnimationenTakten();
  EXPECT_EQ(host.events.size(), 1u) << "free slots in range are left alone silently";
}

TEST_F(AnimationenTest, LoadTakesLowestFreeSlotAndReportsIt) {
  EXPECT_EQ(laden(), 1);
  EXPECT_EQ(laden("b.GiF"), 2) << "the kind is taken in upper case";
  EXPECT_EQ(host.replies, (std::vector<QString>{QStringLiteral("1"), QStringLiteral("2")}));
  EXPECT_EQ(lader.letztesFeld.Breite, 400);
  EXPECT_EQ(lader.letztesFeld.Hoehe, 300);
  ani.AniGifLoeschen(1);
  EXPECT_EQ(laden(), 1);
}

TEST_F(AnimationenTest, UnknownKindLeavesTheSlotFree) {
  EXPECT_EQ(laden("film.mov"), 0);
  EXPECT_FALSE(ani.belegt(1));
  EXPECT_EQ(host.replies.back(), QStringLiteral("0"));
}

TEST_F(AnimationenTest, EleventhLoadReportsAllSlotsTaken) {
  for (int i = 1; i <= 10; ++i) ASSERT_EQ(laden(), i);
  host.events.clear();
  host.replies.clear();
  EXPECT_EQ(laden(), 0);
  ASSERT_EQ(host.events.size(), 2u);
  EXPECT_EQ(host.events[0], std::make_pair(QStringLiteral("BefehlFehler"),
                                           QStringLiteral("max. 10Alle animierten Gif's bereits belegt!")));
  EXPECT_EQ(host.events[1], std::make_pair(QStringLiteral("AniGifNr"), QStringLiteral("0")));
  EXPECT_EQ(host.replies, std::vector<QString>{QStringLiteral("0")});
}

TEST_F(AnimationenTest, NumbersOutsideOneToTenAreReported) {
  ani.AniGifLoeschen(0);
  ani.AniGifStarten(11, 1.0);
  ani.AniGifStoppen(255);
  ASSERT_EQ(host.events.size(), 3u);
  EXPECT_EQ(host.events[0].second, QStringLiteral("AniGif-Nummer: 0 gibt es nicht!"));
  EXPECT_EQ(host.events[1].second, QStringLiteral("AniGif-Nummer: 11 gibt es nicht!"));
  EXPECT_EQ(host.events[2].second, QStringLiteral("AniGif-Nummer: 255 gibt es nicht!"));
}

TEST_F(AnimationenTest, TimeLimitDeletesTheSlotAfterItsDisplayTime) {
  laden();
  ani.AniGifStarten(1, 5.5);
  host.t += 5.4;
  ani.AnimationenTakten();
  EXPECT_TRUE(ani.belegt(1));
  host.t += 0.2;
  ani.AnimationenTakten();
  EXPECT_FALSE(ani.belegt(1));
  EXPECT_EQ(protokoll.schritte,
            (std::vector<std::string>{"starten 1", "zeigen 1", "verbergen 1", "loeschen 1"}));
}

TEST_F(AnimationenTest, ZeroDisplayTimeOrStoppedSlotNeverRunsOut) {
  laden();
  laden();
  ani.AniGifStarten(1, 0.0);
  ani.AniGifStarten(2, 1.0);
  ani.AniGifStoppen(2);
  host.t += 1000.0;
  ani.AnimationenTakten();
  EXPECT_TRUE(ani.belegt(1));
  EXPECT_TRUE(ani.belegt(2));
}

TEST_F(AnimationenTest, FieldSizeOverflowIsAnError) {
  EXPECT_THROW(ani.AniGifLadenanPosition(QStringLiteral("a.gif"), -32768, 1, 32767, 5, false, false, {}),
               OverflowError);
  EXPECT_FALSE(ani.belegt(1));
}

}  // namespace
}  // namespace vrd4::render
