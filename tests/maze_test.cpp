// The wire maze played by a scripted pointer: the free way to the goal, every wall
// that finds the player, the attempt counter in Form4 and the way out after the third
// finding.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "headless/headless.h"
#include "routes/routes.h"
#include "scenes/scenes.h"

using namespace forms;

namespace {

const std::string kFound = "box 見つかりました";

using routes::kFreeWay;

class Maze : public ::testing::Test {
protected:
  Maze() : h(scenes::catalog()) {
    EXPECT_EQ(routes::play(h, routes::Route("").then(routes::title()).then(routes::shop())), "");
    h.clearLog();
  }

  void pressStart() { ASSERT_TRUE(h.click("Form3", "Command1")); }

  bool walk(std::span<const PointF> way) { return routes::walk(h, "Form3", way); }

  [[nodiscard]] std::string tries() const { return h.text("Form4", "Text1"); }

  // The control the pointer is over in the maze, or "" for the window itself.
  [[nodiscard]] std::string under(PointF p) const {
    const Scene* s = h.scene("Form3");
    const int i = hitTest(s->controls(), s->def().width, s->def().height, p);
    return i < 0 ? std::string{} : std::string(s->controls()[static_cast<std::size_t>(i)].name());
  }

  void expectWaiting() const {
    const Scene* s = h.scene("Form3");
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(h.isShown("Form3"));
    for (const Control& c : s->controls()) {
      const bool wantVisible = c.name() == "Command1" || c.name() == "Label1" || c.name() == "Picture9";
      EXPECT_EQ(c.visible, wantVisible) << c.name();
    }
  }

  Headless h;
};

TEST_F(Maze, ShopOpensTheMazeAndAMinimizedCompanion) {
  expectWaiting();
  EXPECT_TRUE(h.isShown("Form4"));
  EXPECT_EQ(h.scene("Form4")->def().state, WindowState::Minimized);
  EXPECT_EQ(tries(), "0");
}

TEST_F(Maze, NothingReactsBeforeStart) {
  const std::uint64_t serial = h.scene("Form3")->serial();
  for (double y = 7.5; y < 6705; y += 45) {
    for (double x = 7.5; x < 5955; x += 45) {
      h.moveTo("Form3", {x, y});
    }
  }
  EXPECT_TRUE(h.log().empty());
  EXPECT_EQ(h.scene("Form3")->serial(), serial);
  EXPECT_EQ(tries(), "0");
  // Picture9 is not hidden itself, but its container is.
  EXPECT_FALSE(isShown(h.scene("Form3")->controls(), h.scene("Form3")->def().indexOf("Picture9")));
}

TEST_F(Maze, StartShowsTheWallsAndCounts) {
  pressStart();
  const Scene* s = h.scene("Form3");
  for (std::size_t i = 0; i < s->controls().size(); ++i) {
    EXPECT_EQ(isShown(s->controls(), static_cast<int>(i)), s->controls()[i].name() != "Command1")
        << s->controls()[i].name();
  }
  EXPECT_EQ(tries(), "1");
  EXPECT_TRUE(h.log().empty());
}

TEST_F(Maze, CleanRunReachesTheGoal) {
  pressStart();
  h.clearLog();
  EXPECT_FALSE(walk(kFreeWay)) << "the goal was never reached";
  EXPECT_EQ(h.log(), (std::vector<std::string>{
                         "unload Form3",
                         "unload Form4",
                         "box ゲン：よくやった！つぎは、ペットボトルを探しにいくぞ！",
                         "box みんな：おうーーーーーーーーー",
                         "load Form5",
                         "show Form5",
                     }));
  EXPECT_EQ(h.shownScenes(), std::vector<std::string>{"Form5"});
}

TEST_F(Maze, NoStoryWindowStandsWhileTheGoalBoxesAreOpen) {
  pressStart();
  std::vector<std::vector<std::string>> seen;
  h.onBox = [&](const std::string&) { seen.push_back(h.shownScenes()); };
  walk(kFreeWay);
  ASSERT_EQ(seen.size(), 2U);
  EXPECT_TRUE(seen[0].empty());
  EXPECT_TRUE(seen[1].empty());
}

struct Touch {
  const char* what;
  PointF at;
  const char* control;
};

const Touch kTouches[] = {
    {"left side of the chamber", {187.5, 1300}, "Picture1"},
    {"roof of the chamber", {900, 500}, "Picture2"},
    {"roof, over the instruction's lowest strip", {900, 367.5}, "Picture2"},
    {"right side of the chamber", {1987.5, 1500}, "Picture3"},
    {"chamber floor", {800, 2100}, "Picture4"},
    {"left side of the down corridor", {1387.5, 2600}, "Picture5"},
    {"lower side of the cross corridor", {3000, 3427.5}, "Picture6"},
    {"upper side of the cross corridor", {3000, 2827.5}, "Picture7"},
    {"where Picture9 would be without the border", {5287.5, 2707.5}, "Picture7"},
    {"left side of the final channel", {5107.5, 4500}, "Picture8"},
    // 1800 + 30 + 3480 = 5310 to 5325, 2640 + 30 = 2670 to 2805.
    {"Picture9 inside Picture7's border", {5317.5, 2737.5}, "Picture9"},
    {"right side of the final channel", {5587.5, 4500}, "Picture10"},
    {"Picture8's strip over the goal", {5107.5, 6367.5}, "Picture8"},
    {"Picture10's strip over the goal", {5587.5, 6367.5}, "Picture10"},
};

void PrintTo(const Touch& t, std::ostream* os) { *os << t.what; }

class MazeTouch : public Maze, public ::testing::WithParamInterface<Touch> {};

TEST_P(MazeTouch, FindsThePlayerAndRebuildsTheMaze) {
  const Touch& t = GetParam();
  SCOPED_TRACE(t.what);
  pressStart();
  ASSERT_EQ(under(t.at), t.control);
  h.clearLog();
  EXPECT_TRUE(h.moveTo("Form3", t.at));
  EXPECT_EQ(h.log(), (std::vector<std::string>{kFound, "unload Form3", "load Form3", "show Form3"}));
  expectWaiting();
  EXPECT_EQ(tries(), "1") << "being found does not count";
  // The fresh maze is as quiet as the first one was.
  h.clearLog();
  EXPECT_TRUE(h.moveTo("Form3", t.at));
  EXPECT_TRUE(h.log().empty());
}

INSTANTIATE_TEST_SUITE_P(Walls, MazeTouch, ::testing::ValuesIn(kTouches),
                         [](const ::testing::TestParamInfo<Touch>& p) {
                           return std::string(p.param.control) + "_" + std::to_string(p.index);
                         });

TEST_F(Maze, TheFreeWayFindsNobody) {
  pressStart();
  const std::uint64_t serial = h.scene("Form3")->serial();
  h.clearLog();
  // The edges of every passage, on the free side (a wall's right and bottom edges are not its own).
  const PointF edges[] = {
      {375, 735},   {1799, 735},  {375, 1919},  {1799, 1919}, // chamber corners
      {1575, 2500}, {1799, 2500},                             // down corridor
      {1575, 3015}, {5399, 3015}, {1575, 3239}, {5399, 3239}, // cross corridor
      {5295, 3240}, {5399, 3240}, {5295, 6359}, {5399, 6359}, // final channel
      {1000, 200},  {5900, 6000}, {100, 6600},                // instruction and open ground
  };
  for (const PointF& p : edges) {
    const std::string over = under(p);
    EXPECT_TRUE(h.moveTo("Form3", p));
    EXPECT_TRUE(h.log().empty()) << p.x << ", " << p.y << " is over " << over;
    h.clearLog();
  }
  EXPECT_EQ(h.scene("Form3")->serial(), serial);
}

// The maze as the player sees it once started, in client twips, right and bottom
// edges excluded: every wall (Picture9 sits inside Picture7's border, at 1800 + 30 +
// 3480 across and 2640 + 30 down), and the goal, cut by the window's bottom edge.
struct Area {
  const char* name;
  double left, top, right, bottom;
  [[nodiscard]] bool contains(PointF p) const {
    return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
  }
};
constexpr double kMazeWidth = 5955;
constexpr double kMazeHeight = 6705;
const Area kWallAreas[] = {
    {"Picture1", 0, 720, 375, 1935},      {"Picture2", 0, 360, 1815, 735},
    {"Picture3", 1800, 360, 2175, 3015},  {"Picture4", 0, 1920, 1575, 2295},
    {"Picture5", 1200, 1920, 1575, 3255}, {"Picture6", 1200, 3240, 5175, 3615},
    {"Picture7", 1800, 2640, 5415, 3015}, {"Picture8", 4920, 3240, 5295, 6375},
    {"Picture9", 5310, 2670, 5325, 2805}, {"Picture10", 5400, 2640, 5775, 6375},
};
const Area kGoalArea = {"Label2", 4920, 6360, 5775, kMazeHeight};

// What a pointer at p does to a started maze: finds the player over any wall,
// reaches the goal over the goal, and nothing elsewhere.
std::string expectedAt(PointF p) {
  for (const Area& a : kWallAreas) {
    if (a.contains(p)) {
      return "found";
    }
  }
  return kGoalArea.contains(p) ? "goal" : "nothing";
}

// Both sides of every edge of every wall and of the goal: right at the edge (the
// first twip on each side) and at the middle of the pixel on each side, at both
// ends of the edge and half-way along it. At each point a fresh maze, started,
// meets the pointer first.
TEST(MazeEdges, EveryEdgeFindsThePlayerOnTheWallsSideOnly) {
  struct Probe {
    std::string where;
    PointF at;
  };
  std::vector<Probe> probes;
  const double px = 15;
  const double mid = px / 2;
  // Left and top edges are the wall's own, right and bottom ones are not.
  const struct Offsets {
    const char* how;
    double lowIn, lowOut, highIn, highOut;
  } offsets[] = {{"at the edge", 0, -0.5, -0.5, 0}, {"mid-pixel", mid, -mid, -mid, mid}};
  std::vector<Area> areas(std::begin(kWallAreas), std::end(kWallAreas));
  areas.push_back(kGoalArea);
  for (const Area& a : areas) {
    const std::string name(a.name);
    const double alongX[] = {a.left + mid, std::floor((a.left + a.right) / 2 / px) * px + mid, a.right - mid};
    const double alongY[] = {a.top + mid, std::floor((a.top + a.bottom) / 2 / px) * px + mid, a.bottom - mid};
    for (int k = 0; k < 3; ++k) {
      for (const Offsets& o : offsets) {
        const std::string at = std::string(", ") + o.how + " " + std::to_string(k);
        probes.push_back({name + " left edge, inside" + at, {a.left + o.lowIn, alongY[k]}});
        probes.push_back({name + " left edge, outside" + at, {a.left + o.lowOut, alongY[k]}});
        probes.push_back({name + " right edge, inside" + at, {a.right + o.highIn, alongY[k]}});
        probes.push_back({name + " right edge, outside" + at, {a.right + o.highOut, alongY[k]}});
        probes.push_back({name + " top edge, inside" + at, {alongX[k], a.top + o.lowIn}});
        probes.push_back({name + " top edge, outside" + at, {alongX[k], a.top + o.lowOut}});
        probes.push_back({name + " bottom edge, inside" + at, {alongX[k], a.bottom + o.highIn}});
        probes.push_back({name + " bottom edge, outside" + at, {alongX[k], a.bottom + o.highOut}});
      }
    }
  }
  for (const Probe& p : probes) {
    if (p.at.x < 0 || p.at.y < 0 || p.at.x >= kMazeWidth || p.at.y >= kMazeHeight) {
      continue; // beyond the window: no pointer reaches the maze there
    }
    Headless h(scenes::catalog());
    h.start();
    h.advance(3000);
    ASSERT_TRUE(h.click("Form2", "Command1"));
    ASSERT_TRUE(h.click("Form3", "Command1"));
    h.clearLog();
    ASSERT_TRUE(h.moveTo("Form3", p.at));
    std::string got = "nothing";
    if (!h.log().empty()) {
      got = h.log().front() == kFound ? "found" : h.isShown("Form5") ? "goal" : "something else";
    }
    EXPECT_EQ(got, expectedAt(p.at)) << p.where << " (" << p.at.x << ", " << p.at.y << ")";
  }
}

TEST_F(Maze, FourthStartLeadsToThePoliceAndKeepsTheCompanion) {
  for (int attempt = 1; attempt <= 3; ++attempt) {
    pressStart();
    EXPECT_EQ(tries(), std::to_string(attempt));
    h.moveTo("Form3", {900, 500});
    expectWaiting();
  }
  h.clearLog();
  pressStart();
  EXPECT_EQ(h.log(), (std::vector<std::string>{"unload Form3", "load Form6", "show Form6"}));
  EXPECT_EQ(h.scene("Form3"), nullptr);
  EXPECT_TRUE(h.isShown("Form4"));
  EXPECT_EQ(tries(), "4");
  EXPECT_TRUE(h.isShown("Form6"));
}

TEST_F(Maze, GoalInTheThirdAttemptStillSucceeds) {
  for (int attempt = 1; attempt <= 2; ++attempt) {
    pressStart();
    h.moveTo("Form3", {3000, 3427.5});
  }
  pressStart();
  EXPECT_EQ(tries(), "3");
  walk(kFreeWay);
  EXPECT_EQ(h.scene("Form4"), nullptr);
  EXPECT_TRUE(h.isShown("Form5"));
  EXPECT_EQ(h.scene("Form6"), nullptr);
}

} // namespace
