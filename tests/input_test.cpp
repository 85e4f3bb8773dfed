// The player's input as the runtime takes it, whatever the front end: which kind
// of control takes which pointer event, the keyboard focus, the window state and
// the one line of a text box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "headless/headless.h"
#include "recorder.h"

using namespace forms;

namespace {

// One control of every kind that shows, a label lying in a picture box among them.
const SceneDef& kindsDef() {
  static const SceneDef def{
      .name = "K",
      .caption = "K",
      .width = 6000,
      .height = 4000,
      .controls =
          {
              label("Label1", 150, 150, 600, 300, "中").in("Picture1"),
              button("Command1", 3000, 0, 1200, 450, "押").tab(2),
              textBox("Text1", 3000, 600, 1200, 300, "0").tab(1),
              pictureBox("Picture1", 0, 0, 1500, 1500).tab(0),
              label("Label2", 0, 2000, 1200, 300, "外"),
              pictureBox("Picture2", 1800, 1800, 900, 900).tab(3).hidden(),
              button("Command2", 3000, 1200, 1200, 450, "二").tab(4),
          },
  };
  return def;
}

class InputTest : public ::testing::Test {
protected:
  void SetUp() override {
    h.runtime().observe(&heard);
    h.runtime().show("K");
  }
  void TearDown() override { h.runtime().observe(nullptr); }
  Scene& k() { return *h.scene("K"); }
  int at(std::string_view control) { return kindsDef().indexOf(control); }

  Headless h{{recorder::entry(kindsDef())}};
  recorder::Heard heard;
};

TEST_F(InputTest, APointerEventGoesToTheControlOnTopAndOnlyIfItsKindTakesIt) {
  struct Case {
    PointF at;
    const char* click;
    const char* move;
  };
  const Case cases[] = {
      {{600, 400}, "", "Label1.MouseMove"}, // the label in the box: its own, never the box's
      {{1200, 1200}, "Picture1.Click", "Picture1.MouseMove"},
      {{3600, 200}, "Command1.Click", ""},
      {{3600, 700}, "", ""}, // a text box takes neither
      {{600, 2100}, "", "Label2.MouseMove"},
      {{2200, 2200}, "", ""}, // the hidden box: the form, which takes neither
      {{5500, 3500}, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.at.x) + "," + std::to_string(c.at.y));
    EXPECT_TRUE(h.click("K", c.at));
    EXPECT_EQ(heard.take(), c.click);
    EXPECT_TRUE(h.moveTo("K", c.at));
    EXPECT_EQ(heard.take(), c.move);
  }
  // A front end that names a control of the wrong kind, the form or no control is refused.
  Runtime& rt = h.runtime();
  EXPECT_FALSE(rt.click(k(), at("Label1")));
  EXPECT_FALSE(rt.click(k(), at("Text1")));
  EXPECT_FALSE(rt.mouseMove(k(), at("Command1")));
  EXPECT_FALSE(rt.click(k(), -1));
  EXPECT_FALSE(rt.mouseMove(k(), 99));
  EXPECT_EQ(heard.take(), "");
}

TEST(InputDeathTest, AHandlerForAnEventItsKindCannotTakeIsAMistakeOfTheScene) {
  class Wrong final : public Scene {
  public:
    explicit Wrong(Runtime& rt) : Scene(rt, kindsDef()) { on("Label2", Event::Click, &Wrong::never); }

  private:
    void never() {}
  };
  Headless h({{&kindsDef(), [](Runtime& rt) { return std::make_unique<Wrong>(rt); }}});
  EXPECT_DEATH(h.runtime().show("K"), "does not take");
}

TEST_F(InputTest, TabGoesRoundTheFocusOrderBothWaysAndEnterOrSpaceClickOnlyAButton) {
  EXPECT_EQ(h.focused("K"), "Picture1");
  const std::vector<std::string> forward = {"Text1", "Command1", "Command2", "Picture1"};
  for (const std::string& next : forward) {
    h.key("K", Key::Tab);
    EXPECT_EQ(h.focused("K"), next);
  }
  h.key("K", Key::BackTab);
  EXPECT_EQ(h.focused("K"), "Command2");
  h.key("K", Key::Enter);
  h.key("K", Key::Space);
  EXPECT_EQ(heard.take(), "Command2.Click Command2.Click");
  h.key("K", Key::BackTab); // to Command1
  h.key("K", Key::BackTab); // to the text box: Enter, Space and Escape do nothing there
  for (const Key key : {Key::Enter, Key::Space, Key::Escape}) {
    EXPECT_TRUE(h.key("K", key));
  }
  EXPECT_EQ(h.focused("K"), "Text1");
  EXPECT_EQ(heard.take(), "");
}

TEST_F(InputTest, APressPutsTheFocusOnWhatCanTakeItAndAShowPutsItOnTheFirst) {
  h.click("K", PointF{3600, 700});
  EXPECT_EQ(h.focused("K"), "Text1");
  h.click("K", PointF{600, 2100}); // a label never takes it
  EXPECT_EQ(h.focused("K"), "Text1");
  EXPECT_FALSE(h.runtime().focus(k(), at("Picture2"))); // hidden
  EXPECT_FALSE(h.runtime().focus(k(), at("Label2")));
  h.runtime().show("K");
  EXPECT_EQ(h.focused("K"), "Picture1");
}

// What a front end hears of the focus, and when: before a control is hidden, so
// that it never has to move a focus of its own; after one is shown.
class Changes final : public Frontend {
public:
  void created(Scene& /*scene*/) override {}
  void shown(Scene& /*scene*/) override {}
  void destroyed(Scene& /*scene*/) override {}
  void changed(Scene& scene, int control, Property what) override {
    if (what == Property::Focus) {
      log.push_back("focus " +
                    (control < 0 ? std::string("none")
                                 : std::string(scene.controls()[static_cast<std::size_t>(control)].name())));
    } else if (what == Property::Visible) {
      log.push_back("visible " + std::string(scene.controls()[static_cast<std::size_t>(control)].name()));
    } else if (what == Property::Text) {
      log.push_back("text " + scene.controls()[static_cast<std::size_t>(control)].text);
    }
  }
  void messageBox(std::string_view /*title*/, std::string_view /*prompt*/) override {}
  void beep() override {}
  void timersChanged() override {}
  void ended() override {}
  std::vector<std::string> log;
};

// The kinds scene shown on a runtime of its own, under that front end.
struct Spied {
  Spied() {
    rt.attach(fe);
    rt.show("K");
  }
  VirtualClock clock;
  DefaultRandom random;
  Runtime rt{{recorder::entry(kindsDef())}, clock, random};
  Changes fe;
};

TEST(Focus, AControlThatCanNoLongerTakeTheFocusGivesItToTheNextInTheTabOrder) {
  Spied spied;
  Runtime& rt = spied.rt;
  Changes& fe = spied.fe;
  Scene& s = *rt.find("K");
  const auto ctl = [&](std::string_view name) { return ControlRef(s, kindsDef().indexOf(name)); };
  ASSERT_TRUE(rt.focus(s, kindsDef().indexOf("Command1")));
  ctl("Command1").setVisible(false); // to Command2, not back to the first
  ctl("Picture2").setVisible(true);  // the focus stays
  ctl("Command2").setVisible(false); // on past the end, to the first again
  ctl("Picture1").setVisible(false); // and its label with it: on to Text1
  ctl("Text1").setVisible(false);    // then the box shown a moment ago
  ctl("Picture2").setVisible(false); // nothing left
  ctl("Command1").setVisible(true);  // a scene without a focus takes it
  EXPECT_EQ(fe.log,
            (std::vector<std::string>{"focus Command1", "focus Command2", "visible Command1",
                                      "visible Picture2", "focus Picture1", "visible Command2", "focus Text1",
                                      "visible Picture1", "focus Picture2", "visible Text1", "focus none",
                                      "visible Picture2", "visible Command1", "focus Command1"}));
}

TEST(Typing, ATextBoxHoldsOneLineAndOnlyATextBoxTakesTyping) {
  Spied spied;
  Runtime& rt = spied.rt;
  Changes& fe = spied.fe;
  Scene& s = *rt.find("K");
  const int text = kindsDef().indexOf("Text1");
  EXPECT_TRUE(rt.typed(s, text, "12"));
  EXPECT_TRUE(rt.typed(s, text, "\r\n3\n4\r"));
  EXPECT_EQ(s.controls()[static_cast<std::size_t>(text)].text, "34");
  EXPECT_EQ(fe.log, (std::vector<std::string>{"text 34"})) << "told only when it holds other than was typed";
  EXPECT_FALSE(rt.typed(s, kindsDef().indexOf("Command1"), "5"));
  EXPECT_FALSE(rt.typed(s, -1, "5"));
}

// The companion's minimized, the cans' maximized window, as the definitions want them.
const SceneDef& statesDef(std::string_view name, WindowState state) {
  static std::vector<std::unique_ptr<SceneDef>> defs;
  defs.push_back(std::make_unique<SceneDef>(SceneDef{
      .name = name,
      .width = 3000,
      .height = 2000,
      .state = state,
      .controls = {pictureBox("Picture1", 2000, 1000, 2000, 2000)},
  }));
  return *defs.back();
}

TEST(WindowStates, OpenAsDefinedThenAsThePlayerLeavesThem) {
  const SceneDef& small = statesDef("Min", WindowState::Minimized);
  const SceneDef& large = statesDef("Max", WindowState::Maximized);
  recorder::Heard heard;
  Headless h({recorder::entry(small), recorder::entry(large)});
  h.runtime().observe(&heard);
  h.runtime().show("Min");
  h.runtime().show("Max");
  Scene& min = *h.scene("Min");
  Scene& max = *h.scene("Max");
  EXPECT_EQ(min.windowState(), WindowState::Minimized);
  EXPECT_FALSE(h.click("Min", PointF{2500, 1500})) << "a minimized window shows nothing to press";
  // A maximized window fills the work area: the box beyond the design size is there.
  EXPECT_EQ(max.clientSize(), Headless::kWorkArea);
  EXPECT_TRUE(h.click("Max", PointF{3500, 2500}));
  EXPECT_EQ(heard.take(), "Picture1.Click");

  ASSERT_TRUE(h.setWindowState("Max", WindowState::Minimized));
  h.runtime().show("Max"); // back as it was before
  EXPECT_EQ(max.windowState(), WindowState::Maximized);
  ASSERT_TRUE(h.setWindowState("Max", WindowState::Normal));
  EXPECT_EQ(max.clientSize(), (Size{3000, 2000}));
  h.click("Max", PointF{3500, 2500}); // cut off at the design size now
  EXPECT_EQ(heard.take(), "");
  h.runtime().show("Max");
  EXPECT_EQ(max.windowState(), WindowState::Normal) << "a later show leaves it as the player left it";

  ASSERT_TRUE(h.setWindowState("Min", WindowState::Normal));
  EXPECT_TRUE(h.click("Min", PointF{2500, 1500}));
  EXPECT_EQ(heard.take(), "Picture1.Click");
  h.runtime().unload("Min");
  h.runtime().show("Min"); // a fresh instance opens as the definition wants
  EXPECT_EQ(h.scene("Min")->windowState(), WindowState::Minimized);
  h.runtime().observe(nullptr);
}

} // namespace
