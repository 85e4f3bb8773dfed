// The runtime's rules, played on small scenes made for the purpose.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "headless/headless.h"

using namespace forms;

namespace {

// A scene whose handlers a test writes.
class Probe final : public Scene {
public:
  explicit Probe(Runtime& rt, const SceneDef& def) : Scene(rt, def) {
    on("Timer1", Event::Timer, &Probe::Timer1_Timer);
    on("Command1", Event::Click, &Probe::Command1_Click);
    on("Command2", Event::Click, &Probe::Command2_Click);
    onLoad(&Probe::Form_Load);
  }
  static inline std::function<void(Probe&)> onTick;
  static inline std::function<void(Probe&)> onClick1;
  static inline std::function<void(Probe&)> onClick2;
  static inline int ticks = 0;
  using Scene::ctlOf;
  using Scene::MsgBox;
  using Scene::Show;
  using Scene::Unload;

private:
  void Form_Load() {}
  void Timer1_Timer() {
    ++ticks;
    if (onTick) {
      onTick(*this);
    }
  }
  void Command1_Click() {
    if (onClick1) {
      onClick1(*this);
    }
  }
  void Command2_Click() {
    if (onClick2) {
      onClick2(*this);
    }
  }
};

const SceneDef& probeDef() {
  static const SceneDef def{
      .name = "P",
      .caption = "P",
      .width = 3000,
      .height = 3000,
      .controls =
          {
              timer("Timer1", 100),
              button("Command1", 0, 0, 1000, 500, "one").tab(1),
              button("Command2", 0, 600, 1000, 500, "two").tab(0),
              textBox("Text1", 0, 1200, 1000, 300, "0").hidden(),
          },
  };
  return def;
}

const SceneDef& otherDef() {
  static const SceneDef def{.name = "Q",
                            .caption = "Q",
                            .width = 1500,
                            .height = 1500,
                            .controls = {textBox("Text1", 0, 0, 1000, 300, "7")}};
  return def;
}

std::vector<SceneEntry> probeCatalog() {
  return {
      {&probeDef(), [](Runtime& rt) { return std::make_unique<Probe>(rt, probeDef()); }},
      {&otherDef(), [](Runtime& rt) { return std::make_unique<Scene>(rt, otherDef()); }},
  };
}

// Writes down every handler as an observer sees it, with whether another handler
// is running and whether its scene is still the loaded instance.
class Trace final : public Observer {
public:
  explicit Trace(Runtime& rt) : rt_(&rt) {}
  void handlerStarting(Scene& s, int control, Event /*e*/) override {
    lines.push_back(line("start", s, control));
  }
  void handlerReturned(Scene& s, int control, Event /*e*/) override {
    lines.push_back(line("return", s, control));
  }
  std::vector<std::string> lines;

private:
  [[nodiscard]] std::string line(const char* what, Scene& s, int control) const {
    std::string out = std::string(what) + " " + std::string(s.name()) + ".";
    out += control < 0 ? "Form" : std::string(s.controls()[static_cast<std::size_t>(control)].name());
    if (rt_->inHandler()) {
      out += " (nested)";
    }
    if (rt_->find(s.name()) != &s) {
      out += " (unloaded)";
    }
    return out;
  }
  Runtime* rt_;
};

class RuntimeTest : public ::testing::Test {
protected:
  void SetUp() override {
    Probe::onTick = nullptr;
    Probe::onClick1 = nullptr;
    Probe::onClick2 = nullptr;
    Probe::ticks = 0;
    h.runtime().show("P");
  }
  Headless h{probeCatalog()};
};

} // namespace

TEST_F(RuntimeTest, TicksKeepTheirBeatAndDoNotQueue) {
  h.advance(1000);
  EXPECT_EQ(Probe::ticks, 10);
  // A tick held back over several periods by a long handler is one tick.
  Probe::onTick = [&](Probe&) {
    Probe::onTick = nullptr;
    h.clock().set(h.clock().now() + std::chrono::milliseconds(450));
  };
  h.advance(100); // tick 11 at 1100 runs until 1550
  EXPECT_EQ(Probe::ticks, 11);
  h.advance(0); // the beats at 1200 to 1500 passed meanwhile: one tick for all of them
  EXPECT_EQ(Probe::ticks, 12);
  h.advance(49);
  EXPECT_EQ(Probe::ticks, 12);
  h.advance(1); // 1600: back on the beat
  EXPECT_EQ(Probe::ticks, 13);
}

TEST_F(RuntimeTest, SettingTheIntervalRestartsTheCountEvenWhenUnchanged) {
  h.advance(90);
  Probe::onClick1 = [](Probe& p) { p.ctl("Timer1").setInterval(100); };
  h.click("P", "Command1");
  h.advance(90); // 180: would have ticked at 100 without the restart
  EXPECT_EQ(Probe::ticks, 0);
  h.advance(10);
  EXPECT_EQ(Probe::ticks, 1);
  Probe::onClick1 = [](Probe& p) { p.ctl("Timer1").setInterval(0); };
  h.click("P", "Command1");
  h.advance(10000);
  EXPECT_EQ(Probe::ticks, 1);
}

TEST_F(RuntimeTest, TicksDuringAMessageBoxAreHeldAsOneAndDeliveredAfterTheHandler) {
  Probe::onClick1 = [](Probe& p) { p.MsgBox("wait"); };
  int ticksWhileOpen = -1;
  h.onBox = [&](const std::string&) {
    h.advance(1000); // ten periods pass while the box is open
    ticksWhileOpen = Probe::ticks;
  };
  h.click("P", "Command1");
  EXPECT_EQ(ticksWhileOpen, 0);
  EXPECT_EQ(Probe::ticks, 0); // not before the handler has returned to the loop
  h.advance(0);
  EXPECT_EQ(Probe::ticks, 1);
  EXPECT_FALSE(h.runtime().nextDue() == std::nullopt);
}

TEST_F(RuntimeTest, AHeldTickIsDroppedWhenItsSceneIsUnloaded) {
  Probe::onClick1 = [](Probe& p) {
    p.MsgBox("bye");
    p.Show("Q");
    p.Unload("P");
  };
  h.onBox = [&](const std::string&) { h.advance(500); };
  h.click("P", "Command1");
  h.advance(1000);
  EXPECT_EQ(Probe::ticks, 0);
  EXPECT_EQ(h.runtime().find("P"), nullptr);
}

TEST_F(RuntimeTest, NoInputReachesAnySceneWhileABoxIsOpen) {
  int clicks = 0;
  Probe::onClick1 = [](Probe& p) { p.MsgBox("modal"); };
  Probe::onClick2 = [&](Probe&) { ++clicks; };
  bool taken = true;
  h.onBox = [&](const std::string&) { taken = h.click("P", "Command2") || h.close("P"); };
  h.click("P", "Command1");
  EXPECT_FALSE(taken);
  EXPECT_EQ(clicks, 0);
  EXPECT_NE(h.runtime().find("P"), nullptr);
}

TEST_F(RuntimeTest, UnloadInsideOwnHandlerLeavesTheRegistryAtOnce) {
  std::uint64_t before = h.runtime().find("P")->serial();
  std::string textAfter;
  Probe::onClick1 = [&](Probe& p) {
    p.ctl("Text1").setText("5");
    p.Unload("P");
    EXPECT_EQ(h.runtime().find("P"), nullptr);
    // The handler goes on; its own scene object is still valid memory.
    textAfter = p.ctl("Text1").text();
    p.Show("P"); // a fresh instance from the definition
  };
  h.click("P", "Command1");
  EXPECT_EQ(textAfter, "5");
  Scene* fresh = h.runtime().find("P");
  ASSERT_NE(fresh, nullptr);
  EXPECT_NE(fresh->serial(), before);
  EXPECT_EQ(h.text("P", "Text1"), "0");
  EXPECT_TRUE(h.isShown("P"));
}

TEST_F(RuntimeTest, AControlReferenceLoadsUnseenAndAShowMakesItVisible) {
  Probe::onClick1 = [](Probe& p) { p.ctlOf("Q", "Text1").setText("8"); };
  h.click("P", "Command1");
  ASSERT_NE(h.runtime().find("Q"), nullptr);
  EXPECT_FALSE(h.isShown("Q"));
  EXPECT_EQ(h.text("Q", "Text1"), "8");
  Probe::onClick1 = [](Probe& p) { p.Show("Q"); };
  h.click("P", "Command1");
  EXPECT_TRUE(h.isShown("Q"));
  EXPECT_EQ(h.text("Q", "Text1"), "8"); // shown, not reloaded
  EXPECT_EQ(std::count(h.log().begin(), h.log().end(), "load Q"), 1);
}

TEST_F(RuntimeTest, ClosingTheLastWindowEndsTheProgram) {
  Probe::onClick1 = [](Probe& p) { p.Show("Q"); };
  h.click("P", "Command1");
  EXPECT_TRUE(h.close("P"));
  EXPECT_FALSE(h.hasEnded());
  h.advance(1000);
  EXPECT_EQ(Probe::ticks, 0); // its timer went with it
  EXPECT_TRUE(h.close("Q"));
  EXPECT_TRUE(h.hasEnded());
  EXPECT_TRUE(h.runtime().loaded().empty());
  EXPECT_FALSE(h.click("P", "Command1"));
}

TEST_F(RuntimeTest, ClosingTheLastWindowEndsTheProgramThoughAnUnseenSceneIsLoaded) {
  Probe::onClick1 = [](Probe& p) { p.ctlOf("Q", "Text1").setText("8"); };
  h.click("P", "Command1");
  ASSERT_NE(h.runtime().find("Q"), nullptr);
  EXPECT_TRUE(h.close("P")); // Q has no window the player could close
  EXPECT_TRUE(h.hasEnded());
  EXPECT_TRUE(h.runtime().loaded().empty());
}

TEST_F(RuntimeTest, AnUnseenSceneWithATickingTimerOutlivesTheLastWindow) {
  Probe::onClick1 = [](Probe& p) {
    p.Show("Q");
    p.Unload("P");
    p.ctlOf("P", "Text1").setText("8"); // a fresh P, loaded unseen, its timer running
  };
  Probe::onTick = [](Probe& p) { p.Show("P"); };
  h.click("P", "Command1");
  EXPECT_TRUE(h.close("Q"));
  EXPECT_FALSE(h.hasEnded());
  h.advance(100);
  EXPECT_TRUE(h.isShown("P"));
}

TEST_F(RuntimeTest, AnObserverSeesEveryHandlerStartAndReturn) {
  Trace trace(h.runtime());
  h.runtime().observe(&trace);
  Probe::onClick1 = [](Probe& p) {
    p.MsgBox("wait");
    p.Unload("P");
    p.Show("P");
  };
  Probe::onClick2 = [](Probe& p) { p.runtime().end(); };
  h.onBox = [&](const std::string&) { h.advance(250); }; // two ticks fall due and are held
  h.click("P", "Command1");
  h.advance(100); // the held tick went with the old instance; the new one ticks on its own beat
  h.click("P", "Command2");
  h.advance(1000);
  EXPECT_FALSE(h.click("P", "Command1"));
  EXPECT_EQ(trace.lines, (std::vector<std::string>{
                             "start P.Command1",
                             "start P.Form (nested)",
                             "return P.Form (nested)",
                             "return P.Command1 (unloaded)",
                             "start P.Timer1",
                             "return P.Timer1",
                             "start P.Command2",
                             "return P.Command2 (unloaded)",
                         }));
  h.runtime().observe(nullptr);
}

TEST_F(RuntimeTest, ABoxKnowsTheSceneWhoseHandlerOpenedIt) {
  const Scene* clicked = nullptr;
  std::vector<std::string> openers;
  h.onBox = [&](const std::string& prompt) {
    const Scene* s = h.runtime().handlerScene();
    openers.push_back(prompt + ": " +
                      (s == nullptr                 ? "none"
                       : s == clicked               ? "the clicked P"
                       : s == h.runtime().find("P") ? "the fresh P"
                                                    : "another"));
  };
  Probe::onClick1 = [&](Probe& p) {
    clicked = &p;
    p.MsgBox("click");
    p.Unload("P");
    p.Show("P"); // the fresh P's load handler runs inside this one and returns
    p.MsgBox("after the load");
  };
  Probe::onTick = [](Probe& p) { p.MsgBox("tick"); };
  h.click("P", "Command1");
  EXPECT_EQ(h.runtime().handlerScene(), nullptr);
  h.advance(100);
  EXPECT_EQ(openers, (std::vector<std::string>{"click: the clicked P", "after the load: the clicked P",
                                               "tick: the fresh P"}));
}

TEST_F(RuntimeTest, EndStopsEverythingAtOnce) {
  Probe::onClick1 = [](Probe& p) {
    p.runtime().end();
    p.MsgBox("never");
    p.Show("Q");
  };
  h.click("P", "Command1");
  EXPECT_TRUE(h.hasEnded());
  EXPECT_TRUE(h.boxes().empty());
  EXPECT_TRUE(h.runtime().loaded().empty());
  h.advance(1000);
  EXPECT_EQ(Probe::ticks, 0);
}

TEST_F(RuntimeTest, FocusStartsAtTheLowestTabIndexAndSkipsHiddenBoxes) {
  EXPECT_EQ(h.focused("P"), "Command2");
  h.key("P", Key::Tab);
  EXPECT_EQ(h.focused("P"), "Command1");
  h.key("P", Key::Tab); // Text1 is hidden: back to the start
  EXPECT_EQ(h.focused("P"), "Command2");
  int clicks = 0;
  Probe::onClick2 = [&](Probe&) { ++clicks; };
  h.key("P", Key::Space);
  h.key("P", Key::Enter);
  EXPECT_EQ(clicks, 2);
}
