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
  static inline std::function<void(Probe&)> onFormLoad;
  static inline std::function<void(Probe&)> onTick;
  static inline std::function<void(Probe&)> onClick1;
  static inline std::function<void(Probe&)> onClick2;
  static inline int ticks = 0;
  using Scene::ctlOf;
  using Scene::MsgBox;
  using Scene::Show;
  using Scene::Unload;

private:
  void Form_Load() {
    if (onFormLoad) {
      onFormLoad(*this);
    }
  }
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
    Probe::onFormLoad = nullptr;
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

// Ten beats pass while a box stands open, inside a handler or outside any (as a
// front end may open one): not one tick meanwhile, one at once when the handler
// has returned, and the next on the beat the timer had before the box.
TEST_F(RuntimeTest, TicksAreHeldWhileABoxIsOpenThenOneFollowsAndTheBeatGoesOn) {
  for (const bool inHandler : {true, false}) {
    SCOPED_TRACE(inHandler ? "box inside a handler" : "box outside any handler");
    Headless fresh(probeCatalog());
    Probe::ticks = 0;
    Probe::onClick1 = [](Probe& p) { p.MsgBox("wait"); };
    fresh.runtime().show("P"); // the timer beats at 100, 200, ...
    int ticksWhileOpen = -1;
    fresh.onBox = [&](const std::string&) {
      fresh.advance(1050);
      ticksWhileOpen = Probe::ticks;
    };
    if (inHandler) {
      fresh.click("P", "Command1");
    } else {
      fresh.runtime().messageBox("wait");
    }
    EXPECT_EQ(ticksWhileOpen, 0);
    EXPECT_EQ(Probe::ticks, 0);
    fresh.advance(0); // 1050: the held tick, at once
    EXPECT_EQ(Probe::ticks, 1);
    fresh.advance(49);
    EXPECT_EQ(Probe::ticks, 1);
    fresh.advance(1); // 1100: the old beat
    EXPECT_EQ(Probe::ticks, 2);
    fresh.advance(100);
    EXPECT_EQ(Probe::ticks, 3);
  }
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

// After its own scene is unloaded, a handler runs on to its end; a reference to one
// of the scene's controls then loads a fresh instance, unseen, as any reference to
// an unloaded scene does, and the handler reads and writes that one.
TEST_F(RuntimeTest, UnloadInsideOwnHandlerLeavesTheRegistryAtOnceAndAReferenceLoadsAFreshOne) {
  const std::uint64_t before = h.runtime().find("P")->serial();
  std::string textAfter;
  bool ranToTheEnd = false;
  Probe::onClick1 = [&](Probe& p) {
    p.ctl("Text1").setText("5");
    p.Unload("P");
    EXPECT_EQ(h.runtime().find("P"), nullptr);
    textAfter = p.ctl("Text1").text();
    EXPECT_NE(h.runtime().find("P"), nullptr);
    EXPECT_FALSE(h.isShown("P"));
    p.ctl("Text1").setText("6");
    p.Show("P"); // the instance the reference loaded
    ranToTheEnd = true;
  };
  h.clearLog();
  h.click("P", "Command1");
  EXPECT_TRUE(ranToTheEnd);
  EXPECT_EQ(textAfter, "0");
  Scene* fresh = h.runtime().find("P");
  ASSERT_NE(fresh, nullptr);
  EXPECT_NE(fresh->serial(), before);
  EXPECT_EQ(h.text("P", "Text1"), "6");
  EXPECT_TRUE(h.isShown("P"));
  EXPECT_EQ(h.log(), (std::vector<std::string>{"unload P", "load P", "show P"}));
}

// A show or a control reference made outside any handler, as the start-up show is,
// while the scene's Form_Load takes it away again or ends the program.
TEST_F(RuntimeTest, AShowOrReferenceOutsideAnyHandlerSurvivesWhateverFormLoadDoes) {
  struct Case {
    const char* what;
    std::function<void(Probe&)> load;
    bool byReference;
    std::vector<std::string> log;
    std::vector<std::string> shown;
  };
  const auto unloadItself = [](Probe& p) { p.Unload("P"); };
  const auto endTheProgram = [](Probe& p) { p.runtime().end(); };
  const auto unloadItselfAndReadOn = [](Probe& p) {
    p.Unload("P");
    EXPECT_EQ(p.ctl("Text1").text(), "0"); // the instance it runs in, not yet another load
  };
  const auto handOnToQ = [](Probe& p) {
    p.Show("Q");
    p.Unload("P");
  };
  const std::vector<Case> cases = {
      {"show, unloads itself", unloadItself, false, {"load P", "unload P"}, {}},
      {"show, unloads itself and reads on", unloadItselfAndReadOn, false, {"load P", "unload P"}, {}},
      {"show, ends the program", endTheProgram, false, {"load P", "unload P", "end"}, {}},
      {"show, hands on to Q", handOnToQ, false, {"load P", "load Q", "show Q", "unload P"}, {"Q"}},
      {"reference, unloads itself", unloadItself, true, {"load P", "unload P"}, {}},
      {"reference, ends the program", endTheProgram, true, {"load P", "unload P", "end"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Headless fresh(probeCatalog());
    Probe::ticks = 0;
    Probe::onFormLoad = c.load;
    if (c.byReference) {
      EXPECT_EQ(fresh.runtime().form("P").name(), "P");
    } else {
      fresh.runtime().show("P");
    }
    Probe::onFormLoad = nullptr;
    EXPECT_EQ(fresh.log(), c.log);
    EXPECT_EQ(fresh.shownScenes(), c.shown);
    EXPECT_EQ(fresh.runtime().find("P"), nullptr);
    fresh.advance(1000);
    EXPECT_EQ(Probe::ticks, 0);
  }
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
