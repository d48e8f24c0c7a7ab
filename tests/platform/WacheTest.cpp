// The watch that looks in the idle loop's place, on a beat the test gives.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "platform/Wache.h"

namespace vrd4::platform {
namespace {

using namespace std::chrono_literals;

// Whether bedingung holds within 10 s (a watch that never gets there fails
// the test instead of hanging it).
template <class Bedingung>
bool bald(Bedingung bedingung) {
  const auto ende = std::chrono::steady_clock::now() + 10s;
  while (!bedingung()) {
    if (std::chrono::steady_clock::now() > ende) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(Wache, LooksOnEachBeatWakesOnceAtTheFirstChangeAndRestsUntilArmedAgain) {
  std::promise<uint64_t> geweckt;
  std::atomic<int> schlaege{0}, wecken{0};
  Wache wache(10, [&](uint64_t nummer) {
    if (wecken++ == 0) geweckt.set_value(nummer);
  }, [&] { ++schlaege; });
  EXPECT_FALSE(wache.wacht());

  std::atomic<int> blicke{0};
  const uint64_t nummer = wache.beginnen([&] { return ++blicke < 4; });  // changed at the fourth look
  ASSERT_EQ(geweckt.get_future().wait_for(10s), std::future_status::ready);
  EXPECT_EQ(blicke, 4);
  EXPECT_GE(schlaege, 4) << "every look comes after a beat";
  EXPECT_EQ(wache.blickeNehmen(), 4);
  EXPECT_EQ(wache.blickeNehmen(), 0);
  EXPECT_FALSE(wache.wacht()) << "one wake-up, then the watch rests";

  // Disarmed while it looks: beenden() returns when no look runs, and the look
  // with what it holds is gone.
  auto gehalten = std::make_shared<int>(0);
  std::atomic<int> weitere{0};
  const uint64_t zweite = wache.beginnen([&, gehalten] { return ++weitere, true; });
  EXPECT_GT(zweite, nummer);
  ASSERT_TRUE(bald([&] { return weitere >= 3; }));
  wache.beenden();
  EXPECT_EQ(gehalten.use_count(), 1);
  const int danach = weitere;
  std::atomic<bool> neu{false};
  wache.beginnen([&] { return neu = true, false; });
  ASSERT_TRUE(bald([&] { return neu.load(); }));
  EXPECT_EQ(weitere, danach) << "no look of the old watch after beenden()";
}

}  // namespace
}  // namespace vrd4::platform
