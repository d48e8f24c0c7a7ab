// The tick loop of clsWBTimer with a sleeper that only records, so no test
// waits for real time.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>
#include <string>
#include <vector>

#include "support/clsWBTimer.h"

namespace vrd4::support {
namespace {

class TimerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!QCoreApplication::instance()) {
      static int argc = 1;
      static char name[] = "timer_tests";
      static char* argv[] = {name, nullptr};
      static QCoreApplication app(argc, argv);
    }
  }
  std::vector<std::string> ablauf;
  clsWBTimer timer{[this](int32_t ms) { ablauf.push_back("sleep " + std::to_string(ms)); }};
};

TEST_F(TimerTest, SleepsBeforeEachTickAndStopsWhenHandlerDisables) {
  int ticks = 0;
  timer.Timer = [&] {
    ablauf.push_back("tick");
    if (++ticks == 3) timer.Enabled(false);
  };
  timer.IntervalSetzen(10);
  timer.Enabled(true);  // returns only when the loop has ended
  EXPECT_EQ(ablauf, (std::vector<std::string>{"sleep 10", "tick", "sleep 10", "tick", "sleep 10", "tick"}));
  EXPECT_FALSE(timer.running());
  EXPECT_FALSE(timer.Enabled());
}

TEST_F(TimerTest, PendingEventsRunAfterTheTickOfTheSameRound) {
  int ticks = 0;
  timer.Timer = [&] {
    ablauf.push_back("tick");
    if (++ticks == 1) {
      QMetaObject::invokeMethod(
          QCoreApplication::instance(),
          [&] {
            ablauf.push_back("event");
            timer.Enabled(false);  // a message handler stops the loop
          },
          Qt::QueuedConnection);
    }
  };
  timer.IntervalSetzen(5);
  timer.Enabled(true);
  EXPECT_EQ(ablauf, (std::vector<std::string>{"sleep 5", "tick", "event"}));
}

TEST_F(TimerTest, SecondEnableWhileRunningStartsNoSecondLoop) {
  int tiefe = 0, maxTiefe = 0, ticks = 0;
  timer.Timer = [&] {
    ++tiefe;
    maxTiefe = std::max(maxTiefe, tiefe);
    timer.Enabled(true);  // e.g. the window activated once more
    if (++ticks == 3) timer.Enabled(false);
    --tiefe;
  };
  timer.IntervalSetzen(10);
  timer.Enabled(true);
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(maxTiefe, 1);
}

TEST_F(TimerTest, DisableThenEnableWithinOneTickNestsANewLoop) {
  int ticks = 0, tiefe = 0;
  std::vector<int> tiefen;
  timer.Timer = [&] {
    ++ticks;
    tiefen.push_back(tiefe);
    if (ticks == 1) {
      timer.Enabled(false);
      ++tiefe;
      timer.Enabled(true);  // the nested loop runs inside this call
      --tiefe;
    } else if (ticks == 3) {
      timer.Enabled(false);
    }
  };
  timer.IntervalSetzen(10);
  timer.Enabled(true);
  EXPECT_EQ(tiefen, (std::vector<int>{0, 1, 1}));
  EXPECT_EQ(ticks, 3) << "the outer loop ends with the nested one";
}

TEST_F(TimerTest, IntervalZeroStopsAfterTheRoundAndRestartsWithZeroSleep) {
  int ticks = 0;
  timer.Timer = [&] {
    ablauf.push_back("tick");
    ++ticks;
    if (ticks == 2) timer.IntervalSetzen(0);
    if (ticks == 4) timer.Enabled(false);
  };
  timer.IntervalSetzen(10);
  timer.Enabled(true);
  EXPECT_EQ(ticks, 2);
  EXPECT_FALSE(timer.Enabled());
  timer.Enabled(true);
  EXPECT_EQ(ablauf, (std::vector<std::string>{"sleep 10", "tick", "sleep 10", "tick", "sleep 0", "tick",
                                              "sleep 0", "tick"}));
}

TEST_F(TimerTest, IntervalChangeOnlyAltersTheNextSleep) {
  int ticks = 0;
  timer.Timer = [&] {
    if (++ticks == 1) timer.IntervalSetzen(25);
    if (ticks == 2) timer.Enabled(false);
  };
  timer.IntervalSetzen(10);
  timer.Enabled(true);
  EXPECT_EQ(ablauf, (std::vector<std::string>{"sleep 10", "sleep 25"}));
}

TEST(TimerLebensdauer, HandlerMayDestroyTheTimerWhileItsLoopRuns) {
  std::vector<int> schlaf;
  auto timer = std::make_unique<clsWBTimer>([&](int32_t ms) { schlaf.push_back(ms); });
  int ticks = 0;
  timer->Timer = [&] {
    ++ticks;
    timer->Enabled(false);
    timer.reset();  // the window released its timer from inside a tick
  };
  timer->IntervalSetzen(10);
  timer->Enabled(true);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(timer, nullptr);
}

}  // namespace
}  // namespace vrd4::support
