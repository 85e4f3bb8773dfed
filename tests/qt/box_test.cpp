// The message box on the desktop: a real box stands open in its nested event loop
// while the player acts on another window and timers fall due. Nothing reaches a
// scene meanwhile; once the handler has returned, one held tick follows at once
// and the timer keeps the beat it had before the box.
#include <gtest/gtest.h>

#include "offscreen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "qt/frontend.h"
#include "qt/widgets.h"
#include "scenes/scenes.h"

using namespace forms;
using namespace forms::qt;

namespace {

constexpr int kPeriodMs = 100;

// What the scenes below saw, in order: "A.Timer1", "B.Command1", ...
std::vector<std::string> seen;

// A: a button whose handler opens the box, and a timer.
class BoxScene final : public Scene {
public:
  explicit BoxScene(Runtime& rt, const SceneDef& def) : Scene(rt, def) {
    on("Command1", Event::Click, &BoxScene::Command1_Click);
    on("Timer1", Event::Timer, &BoxScene::Timer1_Timer);
  }

private:
  void Command1_Click() { MsgBox("wait"); }
  void Timer1_Timer() { seen.emplace_back("A.Timer1"); }
};

// B: the other window, with a button, a text box and a timer of its own.
class OtherScene final : public Scene {
public:
  explicit OtherScene(Runtime& rt, const SceneDef& def) : Scene(rt, def) {
    on("Command1", Event::Click, &OtherScene::Command1_Click);
    on("Timer1", Event::Timer, &OtherScene::Timer1_Timer);
  }

private:
  void Command1_Click() { seen.emplace_back("B.Command1"); }
  void Timer1_Timer() { seen.emplace_back("B.Timer1"); }
};

const SceneDef& boxDef() {
  static const SceneDef def{.name = "A",
                            .caption = "A",
                            .left = 1500,
                            .top = 1500,
                            .width = 3000,
                            .height = 1500,
                            .controls = {
                                button("Command1", 120, 120, 1500, 495, "box"),
                                timer("Timer1", kPeriodMs),
                            }};
  return def;
}

const SceneDef& otherDef() {
  static const SceneDef def{.name = "B",
                            .caption = "B",
                            .left = 6000,
                            .top = 1500,
                            .width = 3000,
                            .height = 1500,
                            .controls = {
                                textBox("Text1", 120, 120, 1500, 285, "7").tab(0),
                                button("Command1", 120, 600, 1500, 495, "press").tab(1),
                                timer("Timer1", 0),
                            }};
  return def;
}

std::vector<SceneEntry> catalog() {
  return {
      {&boxDef(), [](Runtime& rt) { return std::make_unique<BoxScene>(rt, boxDef()); }},
      {&otherDef(), [](Runtime& rt) { return std::make_unique<OtherScene>(rt, otherDef()); }},
  };
}

class BoxLoop : public ::testing::Test {
public:
  void SetUp() override {
    seen.clear();
    fe = std::make_unique<QtFrontend>(catalog());
    fe->setQuitOnEnd(false);
    fe->runtime().show("A");
    fe->runtime().show("B");
    QCoreApplication::processEvents();
  }
  void TearDown() override {
    fe.reset();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  [[nodiscard]] SceneWindow& window(std::string_view scene) const {
    SceneWindow* w = fe->windowOf(scene);
    EXPECT_NE(w, nullptr) << scene;
    return *w;
  }
  [[nodiscard]] QWidget* widget(std::string_view scene, std::string_view control) const {
    SceneWindow& w = window(scene);
    return w.widgetFor(w.scene().def().indexOf(control));
  }
  // A click as the window system hands it over, at the middle of a control.
  void clickThroughTheWindow(std::string_view scene, std::string_view control) const {
    QWidget* target = widget(scene, control);
    QTest::mouseClick(window(scene).windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      target->mapTo(&window(scene), target->rect().center()));
  }
  // Keys as the window system hands them over, to the window's focused control.
  void typeThroughTheWindow(std::string_view scene, const char* text) const {
    for (const char* c = text; *c != '\0'; ++c) {
      QTest::keyClick(window(scene).windowHandle(), *c);
    }
  }
  [[nodiscard]] std::string runtimeText(std::string_view scene, std::string_view control) const {
    return fe->runtime().find(scene)->ctl(control).text();
  }
  // Lets the event loop run until `until` holds or `ms` have passed.
  static void spin(int ms, const std::function<bool()>& until) {
    QElapsedTimer t;
    t.start();
    while (!until() && t.elapsed() < ms) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
  }

  std::unique_ptr<QtFrontend> fe;
};

struct Case {
  const char* what;
  const char* ticking;                      // the timer that falls due: "A" or "B"
  std::function<void(BoxLoop&)> act;        // done while the box is open
  std::function<bool(BoxLoop&)> tookEffect; // whether it did anything
};

} // namespace

TEST_F(BoxLoop, NothingHappensWhileTheBoxIsOpenThenOneHeldTickAndTheBeatGoesOn) {
  const std::vector<Case> cases = {
      {"a click on another scene's button", "A",
       [](BoxLoop& t) {
         t.clickThroughTheWindow("B", "Command1");
         qobject_cast<QPushButton*>(t.widget("B", "Command1"))->click(); // past the toolkit too
       },
       [](BoxLoop&) { return std::count(seen.begin(), seen.end(), "B.Command1") > 0; }},
      {"a close of another window", "A", [](BoxLoop& t) { t.window("B").windowHandle()->close(); },
       [](BoxLoop& t) { return t.fe->runtime().find("B") == nullptr; }},
      {"typing into another scene's box", "A", [](BoxLoop& t) { t.typeThroughTheWindow("B", "12"); },
       [](BoxLoop& t) {
         return t.runtimeText("B", "Text1") != "7" ||
                qobject_cast<QLineEdit*>(t.widget("B", "Text1"))->text() != QStringLiteral("7");
       }},
      {"another scene's timer falling due", "B", [](BoxLoop&) {},
       [](BoxLoop&) { return std::count(seen.begin(), seen.end(), "B.Timer1") > 0; }},
      {"the box's own scene's timer falling due", "A", [](BoxLoop&) {},
       [](BoxLoop&) { return std::count(seen.begin(), seen.end(), "A.Timer1") > 0; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    Runtime& rt = fe->runtime();
    window("B").activateWindow();
    widget("B", "Text1")->setFocus();
    // One timer beats, from now on.
    const bool own = std::string_view(c.ticking) == "A";
    rt.find("A")->ctl("Timer1").setInterval(own ? kPeriodMs : 0);
    rt.find("B")->ctl("Timer1").setInterval(own ? 0 : kPeriodMs);
    const Time firstBeat = *rt.nextDue();

    bool tookEffectWhileOpen = true;
    std::vector<std::string> seenWhileOpen;
    fe->onBox = [&](QMessageBox& box) {
      QTimer::singleShot(kPeriodMs, &box, [&] { c.act(*this); });
      // Three and a half beats: three fall due while the box stands.
      QTimer::singleShot(kPeriodMs * 7 / 2, &box, [&] {
        seenWhileOpen = seen;
        tookEffectWhileOpen = c.tookEffect(*this);
        box.accept();
      });
    };
    qobject_cast<QPushButton*>(widget("A", "Command1"))->click(); // returns once the handler has
    EXPECT_FALSE(tookEffectWhileOpen);
    EXPECT_EQ(seenWhileOpen, std::vector<std::string>{});
    EXPECT_EQ(seen, std::vector<std::string>{}) << "a tick ran before the handler returned";

    spin(kPeriodMs / 2, [] { return !seen.empty(); });
    const std::string tick = std::string(c.ticking) + ".Timer1";
    EXPECT_EQ(seen, std::vector<std::string>{tick}) << "one held tick, at once";
    // The next tick falls on the beat the timer had before the box.
    const auto next = rt.nextDue();
    ASSERT_TRUE(next.has_value());
    EXPECT_GT(*next, rt.clock().now());
    EXPECT_EQ((*next - firstBeat) % std::chrono::milliseconds(kPeriodMs), Time::zero());

    // With the box gone, the same acts reach the scenes.
    if (rt.find("B") != nullptr) {
      c.act(*this);
      spin(3 * kPeriodMs, [&] { return c.tookEffect(*this); });
      EXPECT_TRUE(c.tookEffect(*this)) << "the act does nothing even without a box";
    }
  }
}

int main(int argc, char** argv) { return offscreen::run(argc, argv); }
