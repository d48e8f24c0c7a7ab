// The tick loop of clsWBTimer with a sleeper that only records, so no test
// waits for real time.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <memory>
#include <string>
#include <vector>

#include "support/clsWBTimer.h"
#include "tests/TestHilfe.h"

namespace vrd4::support {
namespace {

const auto* const kApp = ::testing::AddGlobalTestEnvironment(new test::Anwendung<QCoreApplication>);

class TimerTest : public ::testing::Test {
 protected:
  std::vector<std::string> ablauf;
  clsWBTimer timer{[this](int32_t ms) { ablauf.push_back("sleep " + std::to_string(ms)); }};
};

// A new interval applies from the next sleep; 0 stops after the round and a
// restart sleeps 0; queued events run after each tick.
TEST_F(TimerTest, SleepsThenTicksThenRunsPendingEventsIntervalZeroStopsAfterTheRound) {
  timer.Timer = [&] {
    ablauf.push_back("tick");
    if (ablauf.size() == 2) timer.IntervalSetzen(25);
    if (ablauf.size() == 4) timer.IntervalSetzen(0);
    if (ablauf.size() == 6) QMetaObject::invokeMethod(QCoreApplication::instance(), [&] {
        ablauf.push_back("event");
        timer.Enabled(false);
      }, Qt::QueuedConnection);
    if (ablauf.size() > 20) timer.Enabled(false);  // a loop that does not stop fails instead of hanging
  };
  timer.IntervalSetzen(10);
  timer.Enabled(true);  // returns only when the loop has ended
  EXPECT_EQ(ablauf, (std::vector<std::string>{"sleep 10", "tick", "sleep 25", "tick"}));
  timer.Enabled(true);
  EXPECT_EQ(ablauf, (std::vector<std::string>{"sleep 10", "tick", "sleep 25", "tick", "sleep 0", "tick", "event"}));
}

TEST_F(TimerTest, EnableInsideATickStartsNoSecondLoopUnlessDisabledFirstThenItNests) {
  int ticks = 0, tiefe = 0;
  std::vector<int> tiefen;
  timer.Timer = [&] {
    tiefen.push_back(++tiefe);
    timer.Enabled(true);  // already on: nothing
    if (++ticks == 1) timer.Enabled(false), timer.Enabled(true);  // the nested loop runs in here
    if (ticks >= 3) timer.Enabled(false);
    --tiefe;
  };
  timer.IntervalSetzen(10);
  timer.Enabled(true);
  EXPECT_EQ(tiefen, (std::vector<int>{1, 2, 2})) << "the outer loop ends with the nested one";
}

TEST(TimerLebensdauer, HandlerMayDestroyTheTimerWhileItsLoopRuns) {
  auto timer = std::make_unique<clsWBTimer>([](int32_t) {});
  int ticks = 0;
  timer->Timer = [&] { ++ticks, timer.reset(); };  // released from inside a tick, still enabled
  timer->IntervalSetzen(10);
  timer->Enabled(true);
  EXPECT_EQ(ticks, 1);
}

}  // namespace
}  // namespace vrd4::support
