// The whole story from the title, as a player sees it: the success ending, and
// one run into each failure branch through the police to the letter of apology.
#include <gtest/gtest.h>

#include "headless/headless.h"
#include "player.h"
#include "scenes/scenes.h"

using namespace forms;

namespace {

using Story = std::vector<std::string>;

class Play {
public:
  Play() {
    // The first ten draws place the cans so that none covers another or the right
    // one; the eleventh puts the bomb's "1" on the left.
    for (float r : {0.1F, 0.1F, 0.2F, 0.2F, 0.3F, 0.3F, 0.6F, 0.3F, 0.0F, 0.5F, 0.1F}) {
      h.random().push(r);
    }
    h.start();
  }

  // Windows shown and gone, boxes and the end: what is seen, not what is loaded unseen.
  [[nodiscard]] Story seen() const {
    Story out;
    for (const auto& e : h.log()) {
      if (e.rfind("load ", 0) != 0) {
        out.push_back(e);
      }
    }
    return out;
  }

  void title() { h.advance(3000); }
  void shop() { ASSERT_TRUE(h.click("Form2", "Command1")); }
  void mazeToGoal() {
    ASSERT_TRUE(h.click("Form3", "Command1"));
    player::walk(h, "Form3", player::kFreeWay);
  }
  void mazeFoundOnce() {
    ASSERT_TRUE(h.click("Form3", "Command1"));
    ASSERT_TRUE(h.moveTo("Form3", {1027.5, 1087.5}));
    ASSERT_TRUE(h.moveTo("Form3", {187.5, 1087.5})); // onto the chamber's left wall
  }
  void rightCan() { ASSERT_TRUE(h.click("Form5", "Picture4")); }
  void wrongCan() { ASSERT_TRUE(h.click("Form5", "Picture2")); }
  void dryIce(int presses) {
    ASSERT_TRUE(h.click("Form7", "Command2"));
    for (int i = 0; i < presses; ++i) {
      ASSERT_TRUE(h.click("Form7", "Command1"));
      h.advance(100);
    }
    h.advance(5000 - 100.0 * presses);
  }
  void water(int ticks) {
    ASSERT_TRUE(h.click("Form10", "Command1"));
    h.advance(100.0 * ticks);
    ASSERT_TRUE(h.click("Form10", "Command2"));
  }
  void thrower() {
    ASSERT_TRUE(h.click("Form11", "Command1")); // ぽんた
    ASSERT_TRUE(h.click("Form11", "Command5"));
  }
  void bomb(bool hit) {
    ASSERT_TRUE(h.click("Form12", "Command1"));
    h.advance(1); // the draw
    if (hit) {
      ASSERT_EQ(h.scene("Form12")->ctl("Command2").caption(), "1");
      ASSERT_TRUE(h.click("Form12", "Command2"));
    } else {
      h.advance(500);
    }
  }
  void caughtToTheLetter() {
    ASSERT_TRUE(h.click("Form6", "Command1"));
    ASSERT_TRUE(h.click("Form8", "Command1"));
    ASSERT_TRUE(h.type("Form9", "ごめんなさい"));
    ASSERT_TRUE(h.click("Form9", "Command1"));
  }

  Headless h{scenes::catalog()};
};

const Story kToTheMaze = {"show Form1", "show Form2", "unload Form1",
                          "show Form3", "show Form4", "unload Form2"};
const Story kMazeGoal = {"unload Form3", "unload Form4",
                         "box ゲン：よくやった！つぎは、ペットボトルを探しにいくぞ！",
                         "box みんな：おうーーーーーーーーー", "show Form5"};
const Story kBottle = {"unload Form5", "box ん？なんかペットボトルらしきものが・・・・・", "show Form7",
                       "box ア！ペットボトルだ！！", "box ゲン：よくやった！"};
const Story kCrushed = {"box よくやった！！！", "unload Form7", "show Form10"};
const Story kWaterJust = {"box ちょうどいいぞ！ok", "unload Form10",
                          "box 次は、ペットボトルを投げる人を選んでください。", "show Form11"};
const Story kToTheBomb = {"unload Form11", "show Form12"};
const Story kCaught = {"show Form8", "unload Form6", "unload Form8", "show Form9", "unload Form9", "end"};

Story join(std::initializer_list<Story> parts) {
  Story out;
  for (const Story& p : parts) {
    out.insert(out.end(), p.begin(), p.end());
  }
  return out;
}

} // namespace

TEST(Story, TheShortestSuccessEndsWithTheSongAndTheProgram) {
  Play p;
  p.title();
  p.shop();
  p.mazeToGoal();
  p.rightCan();
  p.dryIce(31);
  p.water(100);
  p.thrower();
  p.bomb(true);
  ASSERT_TRUE(p.h.click("Form13", "Command1"));
  ASSERT_TRUE(p.h.click("Form16", "Command1"));
  EXPECT_EQ(p.seen(),
            join({kToTheMaze,
                  kMazeGoal,
                  kBottle,
                  kCrushed,
                  kWaterJust,
                  kToTheBomb,
                  {"unload Form12", "show Form13", "unload Form13", "show Form16", "unload Form16", "end"}}));
  EXPECT_TRUE(p.h.hasEnded());
  EXPECT_TRUE(p.h.runtime().loaded().empty());
}

TEST(Story, FoundThreeTimesInTheMazeTheFourthStartCallsThePolice) {
  Play p;
  p.title();
  p.shop();
  for (int i = 0; i < 3; ++i) {
    p.mazeFoundOnce();
  }
  ASSERT_TRUE(p.h.click("Form3", "Command1"));
  // The companion with its count stays loaded, minimized, until the end.
  p.caughtToTheLetter();
  const Story found = {"box 見つかりました", "unload Form3", "show Form3"};
  EXPECT_EQ(p.seen(), join({kToTheMaze,
                            found,
                            found,
                            found,
                            {"unload Form3", "show Form6"},
                            {"show Form8", "unload Form6", "unload Form8", "show Form9", "unload Form9",
                             "unload Form4", "end"}}));
}

TEST(Story, ThreeWrongCansCallThePolice) {
  Play p;
  p.title();
  p.shop();
  p.mazeToGoal();
  for (int i = 0; i < 3; ++i) {
    p.wrongCan();
  }
  p.caughtToTheLetter();
  EXPECT_EQ(p.seen(), join({kToTheMaze,
                            kMazeGoal,
                            {"box ない！", "box ない！", "box ない！"},
                            {"unload Form5", "show Form6"},
                            kCaught}));
}

TEST(Story, TooFewPressesOnTheDryIceCallThePolice) {
  Play p;
  p.title();
  p.shop();
  p.mazeToGoal();
  p.rightCan();
  p.dryIce(0);
  p.caughtToTheLetter();
  EXPECT_EQ(p.seen(), join({kToTheMaze,
                            kMazeGoal,
                            kBottle,
                            {"box やばい！作戦がばれた", "show Form6", "unload Form7"},
                            kCaught}));
}

TEST(Story, ThreeMissedStopwatchesCallThePolice) {
  Play p;
  p.title();
  p.shop();
  p.mazeToGoal();
  p.rightCan();
  p.dryIce(31);
  p.water(99);
  p.water(101);
  p.water(5);
  p.caughtToTheLetter();
  EXPECT_EQ(p.seen(),
            join({kToTheMaze,
                  kMazeGoal,
                  kBottle,
                  kCrushed,
                  {"box 少ないです", "box 多いです", "box 少ないです", "show Form6", "unload Form10"},
                  kCaught}));
}

TEST(Story, TooSlowWithTheBombEndsAtTheCafeAndThenThePolice) {
  Play p;
  p.title();
  p.shop();
  p.mazeToGoal();
  p.rightCan();
  p.dryIce(31);
  p.water(100);
  p.thrower();
  p.bomb(false);
  ASSERT_TRUE(p.h.click("Form14", "Command1"));
  p.caughtToTheLetter();
  EXPECT_EQ(p.seen(), join({kToTheMaze,
                            kMazeGoal,
                            kBottle,
                            kCrushed,
                            kWaterJust,
                            kToTheBomb,
                            {"unload Form12", "show Form14", "show Form6", "unload Form14"},
                            kCaught}));
}
