// Whatever the player types into a counter the game can see, it plays on: the
// counters read the text by its number and the scenes carry on to an exit.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "headless/headless.h"
#include "scenes/scenes.h"

using namespace forms;

namespace {

const char* const kLong = "123456789012345678901234567890";
const char* const kLongRounded = "123456789012346000000000000000";
const std::string kVeryLong(100000, 'x');

// What a counter holds after one more, after one more tenth, and whether a stop
// at the typed text itself is under or over 10.
const struct Input {
  const char* typed;
  const char* plusOne;
  const char* plusTenth;
  bool overTen;
} kInputs[] = {
    {"", "1", "0.1", false},
    {"abc", "1", "0.1", false},
    {"1e3", "1001", "1000.1", true},
    {" 2", "3", "2.1", false},
    {"-1", "0", "-0.9", false},
    {"9.9.9", "10.9", "10", false},
    {"２", "3", "2.1", false},
    {kLong, kLongRounded, kLongRounded, true},
    // Control characters, bytes that are no UTF-8, a character cut in two, a sentence,
    // a full-width digit before letters and a box full of letters.
    {"\x01\x7F", "1", "0.1", false},
    {"\xFF\xFE"
     "3",
     "1", "0.1", false},
    {"3\xE3\x81", "4", "3.1", false},
    {"ごめんなさい", "1", "0.1", false},
    {"３ab", "4", "3.1", false},
    {kVeryLong.c_str(), "1", "0.1", false},
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

TEST(PlayerText, ThrowsAnswerBelowTheWindowsBottomEdge) {
  for (const Input& in : kInputs) {
    SCOPED_TRACE(in.typed);
    Headless h(scenes::catalog());
    h.runtime().show("Form12");
    for (int i = 0; i < 3; ++i) {
      h.key("Form12", Key::Tab); // past the three buttons
    }
    typeOver(h, "Form12", "Text1", in.typed);
    // Before any draw Command2 reads the typed answer: 2 wins, 3 is caught, the rest waits.
    h.click("Form12", "Command2");
    const std::string_view typedPlusOne = in.plusOne;
    EXPECT_EQ(h.isShown("Form13"), typedPlusOne == "3");
    EXPECT_EQ(h.isShown("Form14"), typedPlusOne == "4");
    if (h.isShown("Form12")) {
      h.random().push(0.1F); // the 1 on Command2
      h.click("Form12", "Command1");
      h.advance(1);
      EXPECT_EQ(h.text("Form12", "Text1"), "2");
      h.click("Form12", "Command2");
      EXPECT_TRUE(h.isShown("Form13"));
    }
    EXPECT_FALSE(h.hasEnded());
  }
}

TEST(PlayerText, TheLetterTakesAnythingAndOkStillEndsTheGame) {
  Headless h(scenes::catalog());
  h.runtime().show("Form9");
  std::string letter;
  for (const Input& in : kInputs) {
    SCOPED_TRACE(in.typed);
    ASSERT_TRUE(h.type("Form9", in.typed));
    letter += in.typed;
    EXPECT_FALSE(h.hasEnded());
    EXPECT_EQ(h.focused("Form9"), "Text1");
  }
  for (const char* junk : {"\r\n", "行\n二行目"}) {
    ASSERT_TRUE(h.type("Form9", junk)); // a one-line box keeps no line break
  }
  letter += "行二行目";
  EXPECT_EQ(h.text("Form9", "Text1"), letter);
  h.clearLog();
  ASSERT_TRUE(h.click("Form9", "Command1"));
  EXPECT_EQ(h.log(), (std::vector<std::string>{"unload Form9", "end"}));
}

TEST(PlayerText, OnlyTheseBoxesCanBeTypedInto) {
  // Hidden counters take no focus; the two off the window's edge do.
  const std::set<std::string> reachable = {"Form5.Text1", "Form9.Text1", "Form10.Text1", "Form10.Text2",
                                           "Form12.Text1"};
  std::set<std::string> typedInto;
  for (const SceneEntry& e : scenes::catalog()) {
    Headless h(scenes::catalog());
    const std::string scene(e.def->name);
    h.runtime().show(scene);
    for (std::size_t i = 0; i <= e.def->controls.size(); ++i) {
      if (h.type(scene, "")) {
        typedInto.insert(scene + "." + h.focused(scene));
      }
      h.key(scene, Key::Tab);
    }
  }
  EXPECT_EQ(typedInto, reachable);
}
