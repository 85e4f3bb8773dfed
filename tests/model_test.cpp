// Containment, stacking and focus as every front end must see them.
#include <gtest/gtest.h>

#include "model/model.h"

using namespace forms;

namespace {

const SceneDef& sample() {
  static const SceneDef def{
      .name = "S",
      .width = 6000,
      .height = 4000,
      .controls =
          {
              textBox("Text1", 5800, 3900, 600, 300, "0").tab(5), // partly outside the client area
              pictureBox("Picture2", 1000, 1000, 2000, 2000).tab(2),
              pictureBox("Picture1", 1500, 1500, 2000, 2000).tab(1).hidden(),
              pictureBox("Inner", 300, 0, 150, 150).in("Picture1").tab(0),
              label("Label1", 0, 0, 6000, 3000, "under everything").tab(3),
              button("Command1", 0, 3500, 900, 300, "b").tab(4),
              timer("Timer1", 10),
          },
  };
  return def;
}

} // namespace

TEST(Model, WindowedControlsLieAboveLabelsAndEarlierAboveLater) {
  auto c = buildControls(sample());
  const auto at = [&](double x, double y) {
    const int i = hitTest(c, 6000, 4000, {x, y});
    return i < 0 ? std::string("form") : std::string(c[static_cast<std::size_t>(i)].name());
  };
  EXPECT_EQ(at(100, 100), "Label1");
  EXPECT_EQ(at(1200, 1200), "Picture2");
  EXPECT_EQ(at(2000, 2000), "Picture2"); // Picture1 is hidden
  EXPECT_EQ(at(100, 3600), "Command1");
  EXPECT_EQ(at(100, 3900), "form");
  c[2].visible = true;
  EXPECT_EQ(at(2000, 2000), "Picture2"); // earlier in the definition lies above
  EXPECT_EQ(at(3200, 3200), "Picture1");
  // The inner box sits inside Picture1's border; where Picture2 covers Picture1, it covers its child too.
  EXPECT_EQ(at(1500 + kPictureBorder + 350, 1500 + kPictureBorder + 50), "Picture2");
  c[1].visible = false;
  EXPECT_EQ(at(1500 + kPictureBorder + 350, 1500 + kPictureBorder + 50), "Inner");
  EXPECT_EQ(at(1500 + 10, 1500 + 10), "Picture1"); // the border itself
}

TEST(Model, AChildIsSeenOnlyWhileItsContainerIs) {
  auto c = buildControls(sample());
  EXPECT_FALSE(isShown(c, 3));
  c[2].visible = true;
  EXPECT_TRUE(isShown(c, 3));
  const RectF r = clientRect(c, 3);
  EXPECT_DOUBLE_EQ(r.left, 1500 + kPictureBorder + 300);
  EXPECT_DOUBLE_EQ(r.top, 1500 + kPictureBorder);
}

TEST(Model, ControlsOutsideTheClientAreaAreClippedYetKeepTheFocus) {
  auto c = buildControls(sample());
  const RectF seen = visibleRect(c, 0, 6000, 4000);
  EXPECT_DOUBLE_EQ(seen.right, 6000);
  EXPECT_DOUBLE_EQ(seen.bottom, 4000);
  c[0].left = 7000; // wholly outside
  EXPECT_TRUE(visibleRect(c, 0, 6000, 4000).empty());
  std::vector<std::string> names;
  for (int i : focusOrder(c)) {
    names.emplace_back(c[static_cast<std::size_t>(i)].name());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Picture2", "Command1", "Text1"}));
}

TEST(Model, ColoursKeepRedInTheLowByte) {
  EXPECT_EQ(red(0x000000FF), 255);
  EXPECT_EQ(blue(0x000000FF), 0);
  EXPECT_EQ(blue(0x00FF0000), 255);
  EXPECT_TRUE(isSystemColour(kSysTitleText));
  EXPECT_EQ(systemColourIndex(kSysHighlightText), 14);
  EXPECT_FALSE(isSystemColour(0x00FFFFFF));
}
