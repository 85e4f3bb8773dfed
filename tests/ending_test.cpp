// The success ending: the announcement, the closing song and the end of the game.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "headless/headless.h"
#include "scenes/scenes.h"

using namespace forms;

TEST(Ending, OkLeadsToTheSongWhoseButtonEndsTheGame) {
  Headless h(scenes::catalog());
  h.runtime().form("Form12"); // anything still loaded goes with the end
  h.runtime().show("Form13");
  EXPECT_FALSE(h.scene("Form13")->ctl("Text1").visible());
  h.clearLog();

  ASSERT_TRUE(h.click("Form13", "Command1"));
  const std::vector<std::string> toSong = {"unload Form13", "load Form16", "show Form16"};
  EXPECT_EQ(h.log(), toSong);
  EXPECT_EQ(h.scene("Form13"), nullptr);

  ASSERT_TRUE(h.click("Form16", "Command1"));
  EXPECT_TRUE(h.hasEnded());
  ASSERT_FALSE(h.log().empty());
  EXPECT_EQ(h.log().back(), "end");
  EXPECT_TRUE(h.runtime().loaded().empty());
  EXPECT_TRUE(h.boxes().empty());
}

TEST(Ending, SongKeepsEveryIdeographicSpace) {
  const std::string song =
      "ボトロンぽんたの歌　　作詞：星川　陸　　　　　　　　　これくらいの　ペットボトルに　ドライアイスと　お"
      "水を　ちょっといれて　ふたを閉めれば　はい出来上がり　　ボトロンぽんた　ぽんたくん";
  Headless h(scenes::catalog());
  h.runtime().show("Form16");
  const std::string& shown = h.scene("Form16")->ctl("Label1").caption();
  EXPECT_EQ(shown, song);
  const std::string space = "\u3000";
  int spaces = 0;
  for (auto at = shown.find(space); at != std::string::npos; at = shown.find(space, at + space.size())) {
    ++spaces;
  }
  EXPECT_EQ(spaces, 21);
}

TEST(Ending, WholeSuccessRoadFromTheThrowerChoice) {
  Headless h(scenes::catalog());
  h.runtime().show("Form11");
  ASSERT_TRUE(h.click("Form11", "Command1"));
  ASSERT_TRUE(h.click("Form11", "Command5"));
  h.random().push(0.1F);
  ASSERT_TRUE(h.click("Form12", "Command1"));
  h.advance(1);
  ASSERT_TRUE(h.click("Form12", "Command2"));
  ASSERT_TRUE(h.click("Form13", "Command1"));
  ASSERT_TRUE(h.click("Form16", "Command1"));
  const std::vector<std::string> want = {
      "load Form11",   "box 次は、ペットボトルを投げる人を選んでください。",
      "show Form11",   "load Form12",
      "unload Form11", "show Form12",
      "unload Form12", "load Form13",
      "show Form13",   "unload Form13",
      "load Form16",   "show Form16",
      "unload Form16", "end",
  };
  EXPECT_EQ(h.log(), want);
}
