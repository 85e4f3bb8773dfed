// Dry-ice crushing: the start button over the press button, the count read
// every five seconds after the start, and the hammer swinging with each press.
#include <gtest/gtest.h>

#include "headless/headless.h"
#include "scenes/scenes.h"

using namespace forms;

namespace {

const std::vector<std::string> kWon = {"box よくやった！！！", "unload Form7", "load Form10", "show Form10"};
const std::vector<std::string> kCaught = {"box やばい！作戦がばれた", "load Form6", "show Form6",
                                          "unload Form7"};

std::string pictureOf(Headless& h, std::string_view control) {
  return h.scene("Form7")->ctl(control).control().picture;
}

void press(Headless& h, int times) {
  for (int i = 0; i < times; ++i) {
    ASSERT_TRUE(h.click("Form7", "Command1"));
  }
}

} // namespace

TEST(DryIce, StartCoversThePressButtonAndNothingIsDecidedBeforeIt) {
  Headless h(scenes::catalog());
  h.runtime().show("Form7");
  h.advance(60000);
  EXPECT_TRUE(h.boxes().empty());
  // A click where the press button lies meets the start button above it.
  h.click("Form7", {1440 + 100, 3960 + 100});
  Scene& s = *h.scene("Form7");
  EXPECT_FALSE(s.ctl("Command2").visible());
  EXPECT_EQ(s.ctl("Timer1").interval(), 5000);
  EXPECT_EQ(h.text("Form7", "Text2"), "0");
  EXPECT_EQ(pictureOf(h, "Picture3"), "");
}

TEST(DryIce, PressesAreReadEveryFiveSecondsAfterTheStart) {
  const struct {
    const char* name;
    int beforeStart; // pressed through the keyboard focus, under the start button
    std::vector<int> perPeriod;
    const std::vector<std::string>* exit; // nullptr: still waiting
  } cases[] = {
      {"no presses", 0, {0}, &kCaught},
      {"29", 0, {29}, &kCaught},
      {"31", 0, {31}, &kWon},
      {"30, then one more", 0, {30, 1}, &kWon},
      {"30 and no more", 0, {30, 0, 0}, nullptr},
      {"one before the start and 30", 1, {30}, &kWon},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Headless h(scenes::catalog());
    h.runtime().show("Form7");
    // Ticks that fall due while an exit's box is open must not bring a second one.
    h.onBox = [&](const std::string&) { h.advance(12000); };
    if (c.beforeStart > 0) {
      h.key("Form7", Key::Tab);
      h.key("Form7", Key::Tab);
      ASSERT_EQ(h.focused("Form7"), "Command1");
      for (int i = 0; i < c.beforeStart; ++i) {
        h.key("Form7", Key::Space);
      }
      EXPECT_EQ(h.text("Form7", "Text2"), std::to_string(c.beforeStart));
    }
    h.click("Form7", "Command2");
    h.clearLog();
    for (const int n : c.perPeriod) {
      ASSERT_TRUE(h.log().empty());
      press(h, n);
      h.advance(4999);
      EXPECT_TRUE(h.log().empty());
      h.advance(1);
    }
    if (c.exit != nullptr) {
      EXPECT_EQ(h.log(), *c.exit);
    } else {
      EXPECT_TRUE(h.log().empty());
      EXPECT_TRUE(h.isShown("Form7"));
      EXPECT_EQ(h.text("Form7", "Text2"), "30");
    }
  }
}

TEST(DryIce, TheHammerRisesAndStrikesInTurn) {
  Headless h(scenes::catalog());
  h.runtime().show("Form7");
  h.click("Form7", "Command2");
  for (int n = 1; n <= 6; ++n) {
    press(h, 1);
    const bool raised = n % 2 == 1;
    EXPECT_EQ(pictureOf(h, "Picture3"), raised ? "Form7.Picture1" : "Form7.Picture2") << n;
    EXPECT_EQ(h.text("Form7", "Text1"), raised ? "1" : "2") << n;
    EXPECT_EQ(h.text("Form7", "Text2"), std::to_string(n));
  }
  // The stores keep their own pictures.
  EXPECT_EQ(pictureOf(h, "Picture1"), "Form7.Picture1");
  EXPECT_EQ(pictureOf(h, "Picture2"), "Form7.Picture2");
}
