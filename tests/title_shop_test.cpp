// The title hands over to the shop; the shop's button opens the maze.
#include <gtest/gtest.h>

#include "headless/headless.h"
#include "scenes/scenes.h"

using namespace forms;

namespace {

std::vector<std::string> withPrefix(const std::vector<std::string>& log, std::string_view prefix) {
  std::vector<std::string> out;
  for (const auto& e : log) {
    if (e.rfind(prefix, 0) == 0 || e == "end") {
      out.push_back(e);
    }
  }
  return out;
}

} // namespace

TEST(Title, BeepsEveryTenthOfASecondThenHandsOverToTheShop) {
  Headless h(scenes::catalog());
  h.start();
  EXPECT_TRUE(h.isShown("Form1"));
  h.advance(2999);
  EXPECT_EQ(h.beeps(), 29);
  EXPECT_FALSE(h.isShown("Form2"));
  h.advance(1);
  // Both timers fall due at 3000 ms; either order is allowed, one beep more or less.
  EXPECT_GE(h.beeps(), 29);
  EXPECT_LE(h.beeps(), 30);
  EXPECT_TRUE(h.isShown("Form2"));
  EXPECT_EQ(h.runtime().find("Form1"), nullptr);
  const int beeps = h.beeps();
  h.advance(5000);
  EXPECT_EQ(h.beeps(), beeps); // the beeping went with the title
  // The shop is shown before the title goes.
  const auto log = h.log();
  const auto show2 = std::find(log.begin(), log.end(), "show Form2");
  const auto unload1 = std::find(log.begin(), log.end(), "unload Form1");
  EXPECT_LT(show2, unload1);
  EXPECT_EQ(h.focused("Form2"), "Picture1");
}

TEST(Title, ClicksAndMovesDoNothing) {
  Headless h(scenes::catalog());
  h.start();
  for (Twips x = 0; x < 4680; x += 300) {
    for (Twips y = 0; y < 3195; y += 300) {
      h.moveTo("Form1", {double(x), double(y)});
      h.click("Form1", {double(x), double(y)});
    }
  }
  EXPECT_EQ(withPrefix(h.log(), "show"), std::vector<std::string>{"show Form1"});
}

TEST(Title, ClosingItEarlyEndsTheProgramAndTheShopNeverComes) {
  Headless h(scenes::catalog());
  h.start();
  h.advance(1500);
  EXPECT_TRUE(h.close("Form1"));
  EXPECT_TRUE(h.hasEnded());
  h.advance(5000);
  EXPECT_EQ(h.runtime().find("Form2"), nullptr);
  EXPECT_EQ(h.log().back(), "end");
}

TEST(Shop, EnterOpensTheMazeAndItsCompanionThenLeaves) {
  Headless h(scenes::catalog());
  h.start();
  h.advance(3000);
  h.clearLog();
  h.click("Form2", {5000, 3360 + 100}); // the instruction does nothing
  h.click("Form2", {2000, 1500});       // nor does the picture
  EXPECT_TRUE(h.log().empty());
  h.click("Form2", "Command1");
  EXPECT_EQ(withPrefix(h.log(), "show"), (std::vector<std::string>{"show Form3", "show Form4"}));
  EXPECT_EQ(h.log().back(), "unload Form2");
  EXPECT_TRUE(h.isShown("Form3"));
  EXPECT_TRUE(h.isShown("Form4"));
  EXPECT_EQ(h.runtime().find("Form2"), nullptr);
}

TEST(Shop, ClosingItEndsTheProgram) {
  Headless h(scenes::catalog());
  h.start();
  h.advance(3000);
  h.close("Form2");
  EXPECT_TRUE(h.hasEnded());
}
