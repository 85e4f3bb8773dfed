// The whole story from the title, as a player sees it: the success ending, one run
// into each failure branch through the police to the letter of apology, and the
// title closed at once.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "headless/headless.h"
#include "routes/routes.h"
#include "scenes/scenes.h"

using namespace forms;

namespace {

using Story = std::vector<std::string>;

// Windows shown and gone, boxes and the end: what is seen, not what is loaded unseen.
Story seen(const Headless& h) {
  Story out;
  for (const auto& e : h.log()) {
    if (e.rfind("load ", 0) != 0) {
      out.push_back(e);
    }
  }
  return out;
}

Story join(std::initializer_list<Story> parts) {
  Story out;
  for (const Story& p : parts) {
    out.insert(out.end(), p.begin(), p.end());
  }
  return out;
}

const Story kToTheMaze = {"show Form1", "show Form2", "unload Form1",
                          "show Form3", "show Form4", "unload Form2"};
const Story kFound = {"box 見つかりました", "unload Form3", "show Form3"};
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

} // namespace

// Every route the tests, benchmarks and fuzz seeds share, each with its story.
TEST(Story, EveryRouteEndsTheProgramAfterWhatThePlayerSees) {
  const std::map<std::string_view, Story> stories = {
      {"win",
       join({kToTheMaze,
             kMazeGoal,
             kBottle,
             kCrushed,
             kWaterJust,
             kToTheBomb,
             {"unload Form12", "show Form13", "unload Form13", "show Form16", "unload Form16", "end"}})},
      // Found three times, the fourth start calls the police. The companion with its
      // count stays loaded, minimized, until the end.
      {"caught-in-the-maze", join({kToTheMaze,
                                   kFound,
                                   kFound,
                                   kFound,
                                   {"unload Form3", "show Form6"},
                                   {"show Form8", "unload Form6", "unload Form8", "show Form9",
                                    "unload Form9", "unload Form4", "end"}})},
      {"caught-at-the-cans", join({kToTheMaze,
                                   kMazeGoal,
                                   {"box ない！", "box ない！", "box ない！"},
                                   {"unload Form5", "show Form6"},
                                   kCaught})},
      {"caught-at-the-dry-ice", join({kToTheMaze,
                                      kMazeGoal,
                                      kBottle,
                                      {"box やばい！作戦がばれた", "show Form6", "unload Form7"},
                                      kCaught})},
      {"caught-at-the-water",
       join({kToTheMaze,
             kMazeGoal,
             kBottle,
             kCrushed,
             {"box 少ないです", "box 多いです", "box 少ないです", "show Form6", "unload Form10"},
             kCaught})},
      // Too slow with the bomb: the café, then the police.
      {"caught-at-the-cafe", join({kToTheMaze,
                                   kMazeGoal,
                                   kBottle,
                                   kCrushed,
                                   kWaterJust,
                                   kToTheBomb,
                                   {"unload Form12", "show Form14", "show Form6", "unload Form14"},
                                   kCaught})},
      {"closed-at-the-title", {"show Form1", "unload Form1", "end"}},
  };
  for (const routes::Named& r : routes::all()) {
    SCOPED_TRACE(r.name);
    const auto story = stories.find(r.name);
    ASSERT_NE(story, stories.end()) << "no story told for this route";
    Headless h(scenes::catalog());
    ASSERT_EQ(routes::play(h, r.route), "");
    EXPECT_EQ(seen(h), story->second);
    EXPECT_TRUE(h.hasEnded());
    EXPECT_TRUE(h.runtime().loaded().empty());
  }
}

// A route the game does not follow stops at the first step it refuses, and says which.
TEST(Story, ARouteTheGameRefusesStopsAtTheRefusedStep) {
  const struct {
    routes::Route route;
    std::string refused;
  } cases[] = {
      {routes::Route("").then(routes::shop()), "step 1, the press on Form2.Command1, was not taken"},
      {routes::Route("").then(routes::title()).then(routes::shop()).then(routes::rightCan()),
       "step 3, the press on Form5.Picture4, was not taken"},
      {routes::Route("Form3").then(routes::foundInTheMaze()).then(routes::foundInTheMaze()).close("Form2"),
       "step 5, the close of Form2, was not taken"},
      {routes::Route("Form9").type("Form9", "ごめんなさい").walk("Form3", routes::kFreeWay),
       "step 2, the walk through Form3, was not taken"},
  };
  for (const auto& c : cases) {
    Headless h(scenes::catalog());
    EXPECT_EQ(routes::play(h, c.route), c.refused);
  }
}
