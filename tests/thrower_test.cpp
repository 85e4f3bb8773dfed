// The thrower choice: the load's box, the name rows, the portraits, and what
// "OK" hands on to the throw.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "headless/headless.h"
#include "scenes/scenes.h"

using namespace forms;

namespace {

std::string pictureOf(Headless& h, std::string_view scene, std::string_view control) {
  return h.scene(scene)->ctl(control).control().picture;
}

} // namespace

TEST(Thrower, LoadAsksForAThrowerBeforeTheWindowAppears) {
  Headless h(scenes::catalog());
  std::vector<std::string> shownDuringBox;
  h.onBox = [&](const std::string&) { shownDuringBox = h.shownScenes(); };
  h.runtime().show("Form11");

  const std::vector<std::string> want = {"load Form11", "box 次は、ペットボトルを投げる人を選んでください。",
                                         "show Form11"};
  EXPECT_EQ(h.log(), want);
  EXPECT_TRUE(shownDuringBox.empty());
  EXPECT_TRUE(h.isShown("Form11"));
  EXPECT_EQ(h.text("Form11", "Text1"), "2");
  EXPECT_EQ(pictureOf(h, "Form11", "Picture1"), "");
  EXPECT_EQ(h.scene("Form11")->def().picture, "Form11.Picture");
}

TEST(Thrower, NameRowsFromTheTopPickTheirPortraits) {
  // Clicked at the middle of each row as seen on screen, top to bottom.
  struct Row {
    double y;
    const char* caption;
    const char* choice;
    const char* portrait;
  } rows[] = {
      {240, "ぽんた", "1", "Form11.Picture2"},
      {720, "大森", "2", "Form11.Picture3"},
      {1200, "梅太", "4", "Form11.Picture5"},
      {1680, "東野", "3", "Form11.Picture4"},
  };
  Headless h(scenes::catalog());
  h.runtime().show("Form11");
  Scene& s = *h.scene("Form11");
  for (const auto& r : rows) {
    const int hit = hitTest(s.controls(), s.def().width, s.def().height, {1000, r.y});
    ASSERT_GE(hit, 0) << r.y;
    EXPECT_EQ(s.controls()[static_cast<std::size_t>(hit)].caption, r.caption) << r.y;
    ASSERT_TRUE(h.click("Form11", PointF{1000, r.y}));
    EXPECT_EQ(h.text("Form11", "Text1"), r.choice) << r.caption;
    EXPECT_EQ(pictureOf(h, "Form11", "Picture1"), r.portrait) << r.caption;
  }
  // The stores keep their own pictures and stay out of sight.
  for (const char* store : {"Picture2", "Picture3", "Picture4", "Picture5"}) {
    EXPECT_EQ(pictureOf(h, "Form11", store), std::string("Form11.") + store);
    EXPECT_FALSE(s.ctl(store).visible()) << store;
  }
}

// The name buttons overlap by one pixel row (15 twips) each, and the portrait
// box overlaps the last: a click on a shared row goes to the control that comes
// earlier in the definition.
TEST(Thrower, SharedRowsGoToTheEarlierControl) {
  struct Row {
    double y;
    const char* choice;
    const char* portrait;
  } rows[] = {
      {487.5, "2", "Form11.Picture3"},  // ぽんた (0-495) under 大森 (480-975)
      {967.5, "4", "Form11.Picture5"},  // 大森 under 梅太 (960-1455)
      {1447.5, "4", "Form11.Picture5"}, // 東野 (1440-1935) under 梅太
      {1927.5, "3", "Form11.Picture4"}, // the portrait box (from 1920) under 東野
  };
  for (const auto& r : rows) {
    Headless h(scenes::catalog());
    h.runtime().show("Form11");
    ASSERT_TRUE(h.click("Form11", PointF{1000, r.y}));
    EXPECT_EQ(h.text("Form11", "Text1"), r.choice) << r.y;
    EXPECT_EQ(pictureOf(h, "Form11", "Picture1"), r.portrait) << r.y;
  }
}

TEST(Thrower, OnlyPontaReachesTheThrowAndOkAlwaysLeads) {
  struct Case {
    std::vector<const char*> clicks;
    const char* throwText;
    const char* portrait;
  } cases[] = {
      {{}, "0", ""},
      {{"Command1"}, "1", "Form11.Picture2"},
      {{"Command2"}, "0", "Form11.Picture3"},
      {{"Command3"}, "0", "Form11.Picture4"},
      {{"Command4"}, "0", "Form11.Picture5"},
      {{"Command2", "Command1"}, "1", "Form11.Picture2"},
      {{"Command1", "Command2"}, "0", "Form11.Picture3"},
  };
  for (const auto& c : cases) {
    Headless h(scenes::catalog());
    h.runtime().show("Form11");
    std::string trace;
    for (const char* b : c.clicks) {
      ASSERT_TRUE(h.click("Form11", b));
      trace += std::string(b) + " ";
    }
    EXPECT_EQ(pictureOf(h, "Form11", "Picture1"), c.portrait) << trace;
    h.clearLog();
    ASSERT_TRUE(h.click("Form11", "Command5"));

    EXPECT_EQ(h.scene("Form11"), nullptr) << trace;
    EXPECT_TRUE(h.isShown("Form12")) << trace;
    EXPECT_EQ(h.text("Form12", "Text1"), c.throwText) << trace;
    // The throw scene is loaded unseen before Form11 goes only when something is written into it.
    const std::vector<std::string> written = {"load Form12", "unload Form11", "show Form12"};
    const std::vector<std::string> plain = {"unload Form11", "load Form12", "show Form12"};
    EXPECT_EQ(h.log(), std::string(c.throwText) == "1" ? written : plain) << trace;
  }
}
