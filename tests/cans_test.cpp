// The trash-can search: where the cans land, which can a click finds, the
// count of wrong tries and the two ways out.
#include <gtest/gtest.h>

#include <initializer_list>

#include "headless/headless.h"
#include "scenes/scenes.h"

using namespace forms;

namespace {

const std::string kNotHere = "box ない！";
const std::vector<std::string> kFound = {"unload Form5",
                                         "box ん？なんかペットボトルらしきものが・・・・・",
                                         "load Form7",
                                         "show Form7",
                                         "box ア！ペットボトルだ！！",
                                         "box ゲン：よくやった！"};
const std::vector<std::string> kCaught = {kNotHere, "unload Form5", "load Form6", "show Form6"};

// Two draws a can, left then top, from Picture1 to Picture5.
void showWith(Headless& h, std::initializer_list<float> draws) {
  for (float d : draws) {
    h.random().push(d);
  }
  h.runtime().show("Form5");
}

// Five cans apart from each other and from the counter box.
void showSpread(Headless& h) { showWith(h, {0, 0, 0.6F, 0, 0, 0.3F, 0.3F, 0.3F, 0.6F, 0.3F}); }

std::vector<std::string> tail(const std::vector<std::string>& log, std::size_t n) {
  return {log.end() - static_cast<std::ptrdiff_t>(std::min(n, log.size())), log.end()};
}

} // namespace

TEST(TrashCans, TenDrawsPlaceTheCansUnclampedEvenOutOfTheDesignArea) {
  Headless h(scenes::catalog());
  showWith(h, {0.5F, 0.25F, 0.999F, 0.1F, 0.75F, 0.875F, 0.95F, 0.99F, 0.0F, 0.5F});
  EXPECT_EQ(h.random().drawn(), 10);
  Scene& s = *h.scene("Form5");
  const struct {
    const char* can;
    float left, top;
  } expected[] = {
      {"Picture1", 500, 250},    {"Picture2", 4995, 500}, {"Picture3", 7500, 8750},
      {"Picture4", 9690, 10098}, {"Picture5", 0, 5200},
  };
  for (const auto& e : expected) {
    EXPECT_FLOAT_EQ(s.ctl(e.can).left(), e.left) << e.can;
    EXPECT_FLOAT_EQ(s.ctl(e.can).top(), e.top) << e.can;
  }
  // The bottle lies wholly below the design client area, yet the maximized
  // window still shows it and a click on it finds it.
  EXPECT_GT(s.ctl("Picture4").top(), float(s.def().height));
  EXPECT_TRUE(h.click("Form5", "Picture4"));
  EXPECT_EQ(h.log().back(), "box ゲン：よくやった！");
  EXPECT_EQ(h.random().drawn(), 10);
}

TEST(TrashCans, WhereCansOverlapTheUpperOneTakesTheClick) {
  Headless h(scenes::catalog());
  // Picture1 (50, 100) lies over the label; Picture4 (2040, 2040) over Picture1;
  // Picture5 (4160, 4160) over Picture4; Picture2 (4500, 1500) under the counter.
  showWith(h, {0.05F, 0.1F, 0.9F, 0.3F, 0.1F, 0.5F, 0.2F, 0.2F, 0.4F, 0.4F});
  std::vector<std::string> countAtBox;
  h.onBox = [&](const std::string&) { countAtBox.push_back(h.text("Form5", "Text1")); };

  h.click("Form5", {1000, 200});  // Picture1 over the label: a wrong can
  h.click("Form5", {4300, 4400}); // Picture5 over the bottle: a wrong can
  h.click("Form5", {6700, 2000}); // the counter over Picture2: only the focus moves
  EXPECT_EQ(h.text("Form5", "Text1"), "2");
  EXPECT_EQ(h.focused("Form5"), "Text1");
  EXPECT_EQ(countAtBox, (std::vector<std::string>{"1", "2"}));

  h.clearLog();
  h.onBox = [&](const std::string&) { EXPECT_TRUE(h.shownScenes().size() <= 1); };
  h.click("Form5", {2200, 2400}); // the bottle over Picture1
  EXPECT_EQ(h.log(), kFound);
}

TEST(TrashCans, WrongCansCountUpAndTheThirdCallsThePolice) {
  const struct {
    std::vector<const char*> clicks;
    bool caught;
  } cases[] = {
      {{"Picture4"}, false},
      {{"Picture1", "Picture2", "Picture4"}, false},
      {{"Picture3", "Picture3", "Picture3"}, true},
      {{"Picture1", "Picture5", "Picture2"}, true},
  };
  for (const auto& c : cases) {
    Headless h(scenes::catalog());
    showSpread(h);
    std::vector<std::string> countAtBox;
    h.onBox = [&](const std::string&) { countAtBox.push_back(h.text("Form5", "Text1")); };
    h.clearLog();
    std::vector<std::string> counts;
    for (const char* can : c.clicks) {
      EXPECT_TRUE(h.click("Form5", can)) << can;
      if (h.isShown("Form5")) {
        counts.push_back(h.text("Form5", "Text1"));
      }
    }
    const auto wrong = c.clicks.size() - (c.caught ? 0 : 1);
    ASSERT_EQ(counts.size(), c.caught ? wrong - 1 : wrong);
    for (std::size_t i = 0; i < counts.size(); ++i) {
      EXPECT_EQ(counts[i], std::to_string(i + 1));
    }
    if (c.caught) {
      // The new count stands in the box before the message opens.
      EXPECT_EQ(countAtBox.back(), "3");
      EXPECT_EQ(tail(h.log(), kCaught.size()), kCaught);
      EXPECT_EQ(h.scene("Form7"), nullptr);
    } else {
      EXPECT_EQ(tail(h.log(), kFound.size()), kFound);
      EXPECT_EQ(h.scene("Form6"), nullptr);
    }
    EXPECT_EQ(h.scene("Form5"), nullptr);
  }
}

TEST(TrashCans, TheCountIsWhateverNumberTheBoxHolds) {
  // Typed after the "0" already there: "02" is 2, "05" is 5.
  const struct {
    const char* typed;
    int wrongClicks;
    bool caught;
  } cases[] = {{"2", 1, true}, {"5", 6, false}};
  for (const auto& c : cases) {
    Headless h(scenes::catalog());
    showSpread(h);
    h.click("Form5", "Text1");
    ASSERT_TRUE(h.type("Form5", c.typed));
    for (int i = 0; i < c.wrongClicks; ++i) {
      h.click("Form5", "Picture2");
    }
    EXPECT_EQ(h.isShown("Form6"), c.caught) << c.typed;
    if (!c.caught) {
      EXPECT_EQ(h.text("Form5", "Text1"), "11");
      h.click("Form5", "Picture4");
      EXPECT_TRUE(h.isShown("Form7"));
    }
  }
}
