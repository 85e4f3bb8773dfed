// The caught route: café, police car, police station and the letter, with the
// scolding that comes back every time its box is closed.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "headless/headless.h"
#include "scenes/scenes.h"

using namespace forms;

namespace {

using Log = std::vector<std::string>;

const std::string kRefused = "なに？こうしてやる！";
const std::string kScold = "なにをやっとんだー！";

TEST(Caught, EachSceneHandsOverInItsOwnOrder) {
  Headless h(scenes::catalog());
  h.runtime().show("Form14");
  h.clearLog();

  ASSERT_TRUE(h.click("Form14", "Command1"));
  EXPECT_EQ(h.log(), (Log{"load Form6", "show Form6", "unload Form14"}));
  h.clearLog();

  ASSERT_TRUE(h.click("Form6", "Command1"));
  EXPECT_EQ(h.log(), (Log{"load Form8", "show Form8", "unload Form6"}));
  h.clearLog();

  ASSERT_TRUE(h.click("Form8", "Command1"));
  EXPECT_EQ(h.log(), (Log{"unload Form8", "load Form9", "show Form9"}));
  EXPECT_EQ(h.shownScenes(), Log{"Form9"});
  EXPECT_EQ(h.focused("Form9"), "Text1");
  EXPECT_TRUE(h.boxes().empty());
}

// Opens Form8 and records every box, failing if a box ever opens while another is open.
class Scolding : public ::testing::Test {
protected:
  Scolding() : h(scenes::catalog()) {
    h.runtime().show("Form8");
    h.clearLog();
    h.onBox = [this](const std::string&) {
      ++open;
      maxOpen = std::max(maxOpen, open);
      // While a box is open the player cannot reach the station's buttons.
      refusedClicks += h.click("Form8", "Command1") ? 0 : 1;
      if (holdMs > 0) {
        h.advance(holdMs);
        holdMs = 0;
      }
      --open;
    };
  }

  [[nodiscard]] int scoldings() const {
    return static_cast<int>(std::count(h.boxes().begin(), h.boxes().end(), kScold));
  }

  Headless h;
  int open = 0;
  int maxOpen = 0;
  int refusedClicks = 0;
  double holdMs = 0; // how long the player leaves the next box open
};

TEST_F(Scolding, AcceptingAtOnceOpensNoBox) {
  ASSERT_TRUE(h.click("Form8", "Command1"));
  EXPECT_TRUE(h.boxes().empty());
  h.advance(100);
  EXPECT_TRUE(h.boxes().empty());
  EXPECT_TRUE(h.isShown("Form9"));
}

TEST_F(Scolding, RefusingScoldsOneBoxAtATimeUntilAccepted) {
  holdMs = 10;
  ASSERT_TRUE(h.click("Form8", "Command2"));
  EXPECT_EQ(h.log(), Log{"box " + kRefused});
  h.advance(0.5);
  EXPECT_EQ(scoldings(), 0) << "the timer starts only after the first box is closed";

  // The player leaves the first scolding box open for 50 ms: fifty periods fall due
  // meanwhile, and none of them opens a box over it.
  holdMs = 50;
  h.advance(0.5);
  EXPECT_EQ(scoldings(), 1);
  // The held ticks come as one, at once.
  h.advance(0);
  EXPECT_EQ(scoldings(), 2);
  // Then one box per period, each opened after the last one was closed.
  h.advance(5);
  EXPECT_EQ(scoldings(), 7);

  // Refusing again only shows its box and sets the same interval again.
  h.clearLog();
  ASSERT_TRUE(h.click("Form8", "Command2"));
  EXPECT_EQ(h.log(), Log{"box " + kRefused});
  h.advance(1);
  EXPECT_EQ(scoldings(), 8);

  // Between two boxes the player accepts: the station goes and the boxes stop.
  h.clearLog();
  ASSERT_TRUE(h.click("Form8", "Command1"));
  EXPECT_EQ(h.log(), (Log{"unload Form8", "load Form9", "show Form9"}));
  h.advance(100);
  EXPECT_EQ(scoldings(), 8);

  EXPECT_EQ(maxOpen, 1);
  EXPECT_EQ(refusedClicks, static_cast<int>(h.boxes().size()));
}

TEST(Letter, OkEndsTheGameWhateverWasWritten) {
  for (const std::string letter : {"", "ごめんなさい。もう二度としません。", "sorry　反省しています 2001"}) {
    SCOPED_TRACE(letter);
    Headless h(scenes::catalog());
    h.runtime().show("Form9");
    ASSERT_EQ(h.focused("Form9"), "Text1");
    if (!letter.empty()) {
      ASSERT_TRUE(h.type("Form9", letter));
    }
    EXPECT_EQ(h.text("Form9", "Text1"), letter);
    h.clearLog();
    ASSERT_TRUE(h.click("Form9", "Command1"));
    EXPECT_EQ(h.log(), (Log{"unload Form9", "end"}));
    EXPECT_TRUE(h.hasEnded());
    EXPECT_TRUE(h.runtime().loaded().empty());
  }
}

} // namespace
