// The water level: a stopwatch in tenths that must be stopped at exactly 10,
// three starts, and the bottle that shows how it went.
#include <gtest/gtest.h>

#include "headless/headless.h"
#include "scenes/scenes.h"

using namespace forms;

namespace {

const std::string kLittle = "box 少ないです";
const std::string kMuch = "box 多いです";
const std::string kJust = "box ちょうどいいぞ！ok";
// The thrower choice asks its question while it loads, before its window is seen.
const std::vector<std::string> kHit = {kJust, "unload Form10", "load Form11",
                                       "box 次は、ペットボトルを投げる人を選んでください。", "show Form11"};

// k tenths of a second as the display writes them: "0.9", "1", "10.1".
std::string tenths(int k) {
  return std::to_string(k / 10) + (k % 10 != 0 ? "." + std::to_string(k % 10) : "");
}

struct Stopwatch {
  Headless h{scenes::catalog()};
  std::vector<std::string> bottleAtBox;

  Stopwatch() {
    h.runtime().show("Form10");
    h.onBox = [this](const std::string&) {
      // Only the water level's own boxes show a bottle; the next scene's load box comes after it.
      if (h.scene("Form10") != nullptr) {
        bottleAtBox.push_back(bottle());
      }
    };
  }
  Scene& scene() { return *h.scene("Form10"); }
  std::string display() { return h.text("Form10", "Text1"); }
  std::string chances() { return h.text("Form10", "Text2"); }
  std::string bottle() { return scene().ctl("Picture4").control().picture; }
  bool startShown() { return scene().ctl("Command1").visible(); }
  bool stopShown() { return scene().ctl("Command2").visible(); }
  // Starts the watch and lets it run for so many ticks.
  void run(int ticks) {
    ASSERT_TRUE(h.click("Form10", "Command1"));
    h.advance(100.0 * ticks);
  }
  void stop() {
    bottleAtBox.clear();
    h.clearLog();
    ASSERT_TRUE(h.click("Form10", "Command2"));
  }
};

} // namespace

TEST(Water, TheDisplayCountsInExactTenthsAndReadsTenForOneTick) {
  Stopwatch w;
  w.run(0);
  EXPECT_EQ(w.display(), "0");
  EXPECT_FALSE(w.startShown());
  EXPECT_TRUE(w.stopShown());
  for (int k = 1; k <= 101; ++k) {
    w.h.advance(99);
    EXPECT_EQ(w.display(), tenths(k - 1));
    w.h.advance(1);
    ASSERT_EQ(w.display(), tenths(k)) << "tick " << k;
  }
}

TEST(Water, AStopIsJudgedOnTheDisplayAndTheThirdStartIsTheLast) {
  const struct {
    int start; // which start this stop follows
    int ticks;
    const char* bottle;
    std::vector<std::string> after; // what follows the click
  } cases[] = {
      {1, 99, "Form10.Picture2", {kLittle}},
      {1, 100, "Form10.Picture1", kHit},
      {1, 101, "Form10.Picture3", {kMuch}},
      {3, 99, "Form10.Picture2", {kLittle, "load Form6", "show Form6", "unload Form10"}},
      {3, 100, "Form10.Picture1", kHit},
      {3, 101, "Form10.Picture3", {kMuch, "load Form6", "show Form6", "unload Form10"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "start " << c.start << ", " << c.ticks << " ticks");
    Stopwatch w;
    for (int miss = 1; miss < c.start; ++miss) {
      w.run(5);
      w.stop();
    }
    w.run(c.ticks);
    EXPECT_EQ(w.chances(), std::to_string(c.start));
    w.stop();
    EXPECT_EQ(w.h.log(), c.after);
    // The bottle is there before its message.
    EXPECT_EQ(w.bottleAtBox, std::vector<std::string>{c.bottle});
    if (w.h.isShown("Form10")) {
      EXPECT_TRUE(w.startShown());
      EXPECT_FALSE(w.stopShown());
      EXPECT_EQ(w.bottle(), c.bottle);
    }
  }
}

TEST(Water, AStopBeforeAnyStartIsTooLittleAndUsesNoChance) {
  Stopwatch w;
  EXPECT_EQ(w.bottle(), "");
  w.stop();
  EXPECT_EQ(w.h.log(), std::vector<std::string>{kLittle});
  EXPECT_EQ(w.bottle(), "Form10.Picture2");
  EXPECT_EQ(w.chances(), "0");
  EXPECT_TRUE(w.startShown());
  EXPECT_FALSE(w.stopShown());
  w.h.advance(1000);
  EXPECT_EQ(w.display(), "0"); // no start, no ticks
}

TEST(Water, TheWatchRunsOnAfterAMissUntilTheNextStart) {
  Stopwatch w;
  w.run(101);
  w.stop();
  w.h.advance(500);
  EXPECT_EQ(w.display(), "10.6");
  w.run(0);
  EXPECT_EQ(w.display(), "0");
  EXPECT_EQ(w.chances(), "2");
  EXPECT_EQ(w.bottle(), "Form10.Picture3"); // the last result stays
  w.h.advance(100);
  EXPECT_EQ(w.display(), "0.1");
}

TEST(Water, TicksWaitWhileTheBoxIsOpen) {
  Stopwatch w;
  w.run(50);
  std::string duringBox;
  w.h.onBox = [&](const std::string&) {
    w.h.advance(1000);
    duringBox = w.display();
  };
  w.stop();
  EXPECT_EQ(duringBox, "5");
  EXPECT_EQ(w.display(), "5");
  w.h.advance(0); // the one held tick comes once the box is closed
  EXPECT_EQ(w.display(), "5.1");
  w.h.advance(100);
  EXPECT_EQ(w.display(), "5.2");
}
