// Whatever the player types into a counter the game can see, it plays on: the
// counters read the text by its number and the scenes carry on to an exit.
#include <gtest/gtest.h>

#include "headless/headless.h"
#include "scenes/scenes.h"

using namespace forms;

namespace {

const char* const kLong = "123456789012345678901234567890";
const char* const kLongRounded = "123456789012346000000000000000";

// What a counter holds after one more, after one more tenth, and whether a stop
// at the typed text itself is under or over 10.
const struct Input {
  const char* typed;
  const char* plusOne;
  const char* plusTenth;
  bool overTen;
} kInputs[] = {
    {"", "1", "0.1", false},         {"abc", "1", "0.1", false},
    {"1e3", "1001", "1000.1", true}, {" 2", "3", "2.1", false},
    {"-1", "0", "-0.9", false},      {"9.9.9", "10.9", "10", false},
    {"２", "3", "2.1", false},       {kLong, kLongRounded, kLongRounded, true},
};

// The player selects what the focused box holds and types over it.
void typeOver(Headless& h, std::string_view scene, std::string_view control, const char* text) {
  ASSERT_EQ(h.focused(scene), control);
  Scene& s = *h.scene(scene);
  ASSERT_TRUE(h.runtime().typed(s, s.def().indexOf(control), text));
}

// Starts the water level, waits for exactly 10 and stops.
void hitTen(Headless& h) {
  ASSERT_TRUE(h.click("Form10", "Command1"));
  h.advance(10000);
  ASSERT_EQ(h.text("Form10", "Text1"), "10");
  h.click("Form10", "Command2");
  EXPECT_TRUE(h.isShown("Form11"));
}

} // namespace

TEST(PlayerText, TryCounterOfTheTrashCans) {
  for (const Input& in : kInputs) {
    SCOPED_TRACE(in.typed);
    Headless h(scenes::catalog());
    for (float d : {0.0F, 0.0F, 0.6F, 0.0F, 0.0F, 0.3F, 0.3F, 0.3F, 0.6F, 0.3F}) {
      h.random().push(d); // the cans apart from each other and from the box
    }
    h.runtime().show("Form5");
    h.click("Form5", "Text1");
    typeOver(h, "Form5", "Text1", in.typed);
    std::string atBox;
    h.onBox = [&](const std::string&) { atBox = h.text("Form5", "Text1"); };
    h.click("Form5", "Picture1");
    EXPECT_EQ(atBox, in.plusOne);
    const bool last = std::string_view(in.plusOne) == "3";
    EXPECT_EQ(h.isShown("Form6"), last);
    if (!last) {
      EXPECT_EQ(h.text("Form5", "Text1"), in.plusOne);
      h.click("Form5", "Picture4");
      EXPECT_TRUE(h.isShown("Form7"));
    }
    EXPECT_FALSE(h.hasEnded());
  }
}

TEST(PlayerText, StopwatchDisplay) {
  for (const Input& in : kInputs) {
    SCOPED_TRACE(in.typed);
    Headless h(scenes::catalog());
    h.runtime().show("Form10");
    h.click("Form10", "Command1");
    h.advance(50);
    h.click("Form10", "Text1");
    typeOver(h, "Form10", "Text1", in.typed);
    h.click("Form10", "Command2");
    EXPECT_EQ(h.boxes().back(), in.overTen ? "多いです" : "少ないです");
    h.advance(50); // the next tick goes on from what was typed
    EXPECT_EQ(h.text("Form10", "Text1"), in.plusTenth);
    hitTen(h);
    EXPECT_FALSE(h.hasEnded());
  }
}

TEST(PlayerText, ChanceCounterOffTheWindowsEdge) {
  for (const Input& in : kInputs) {
    SCOPED_TRACE(in.typed);
    Headless h(scenes::catalog());
    h.runtime().show("Form10");
    for (int i = 0; i < 3; ++i) {
      h.key("Form10", Key::Tab); // past the display and both buttons
    }
    typeOver(h, "Form10", "Text2", in.typed);
    h.click("Form10", "Command1");
    EXPECT_EQ(h.text("Form10", "Text2"), in.plusOne);
    h.click("Form10", "Command2"); // a miss at "0"
    const bool last = std::string_view(in.plusOne) == "3";
    EXPECT_EQ(h.isShown("Form6"), last);
    if (!last) {
      hitTen(h);
    }
    EXPECT_FALSE(h.hasEnded());
  }
}
