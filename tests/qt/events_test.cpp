// Which handler a real click or pointer move runs, on the desktop and headless
// alike, at every point of every scene: the desktop's input goes through Qt Test
// to the offscreen platform, the headless front end's through the model's hit test.
#include <gtest/gtest.h>

#include "offscreen.h"

#include <QApplication>
#include <QTest>
#include <QWindow>

#include "headless/headless.h"
#include "qt/frontend.h"
#include "qt/widgets.h"
#include "recorder.h"
#include "scenes/scenes.h"

using namespace forms;
using namespace forms::qt;

namespace {

// A picture box holding a label, a button and a text box, over a label of the
// client area: a press on what the box holds is never the box's.
const SceneDef& nestDef() {
  static const SceneDef def{
      .name = "Nest",
      .caption = "Nest",
      .left = 1500,
      .top = 1500,
      .width = 4500,
      .height = 3000,
      .controls =
          {
              label("Label1", 150, 150, 900, 450, "中").in("Picture1"),
              button("Command1", 150, 750, 900, 450, "押").in("Picture1"),
              textBox("Text1", 1200, 150, 900, 300, "0").in("Picture1"),
              pictureBox("Picture1", 300, 300, 2400, 1800),
              label("Label2", 0, 0, 4500, 2700, "下"),
          },
  };
  return def;
}

class Both {
public:
  explicit Both(const std::vector<SceneEntry>& catalog)
      : desktop(recorder::entries(catalog)), headless(recorder::entries(catalog)) {
    desktop.setQuitOnEnd(false);
    desktop.runtime().observe(&heardOnDesktop);
    headless.runtime().observe(&heardHeadless);
  }
  ~Both() {
    desktop.runtime().observe(nullptr);
    headless.runtime().observe(nullptr);
  }
  Both(const Both&) = delete;
  Both& operator=(const Both&) = delete;
  Both(Both&&) = delete;
  Both& operator=(Both&&) = delete;

  // Every few pixels: the handler the pointer's move there runs, then a click's.
  void expectTheSameHandlersEverywhere(std::string_view scene) {
    desktop.runtime().show(scene);
    headless.runtime().show(scene);
    QCoreApplication::processEvents();
    SceneWindow* w = desktop.windowOf(scene);
    ASSERT_NE(w, nullptr) << scene;
    if (w->isMinimized()) { // nothing to point at: the player restores it first
      w->showNormal();
      headless.setWindowState(scene, WindowState::Normal);
      QCoreApplication::processEvents();
    }
    ASSERT_EQ(desktop.runtime().find(scene)->windowState(), headless.scene(scene)->windowState()) << scene;
    QWindow* window = w->windowHandle();
    for (int y = 1; y < w->height(); y += 4) {
      for (int x = 1; x < w->width(); x += 4) {
        const PointF centre{x * 15.0 + 7.5, y * 15.0 + 7.5};
        QTest::mouseMove(window, QPoint(x, y));
        headless.moveTo(scene, centre);
        ASSERT_EQ(heardOnDesktop.take(), heardHeadless.take())
            << scene << ": a move to pixel " << x << "," << y;
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(x, y));
        headless.click(scene, centre);
        ASSERT_EQ(heardOnDesktop.take(), heardHeadless.take())
            << scene << ": a click at pixel " << x << "," << y;
      }
    }
  }

  QtFrontend desktop;
  Headless headless;
  recorder::Heard heardOnDesktop;
  recorder::Heard heardHeadless;
};

} // namespace

TEST(EventsByKind, AClickOnALabelInAPictureBoxIsNobodysOnBothFrontEnds) {
  Both both({scenes::plainEntry(nestDef())});
  both.expectTheSameHandlersEverywhere("Nest");
  // And the case itself, named: the label takes the move, and no click.
  SceneWindow* w = both.desktop.windowOf("Nest");
  ASSERT_NE(w, nullptr);
  const QPoint onLabel(40, 40);
  ASSERT_EQ(w->controlAt(onLabel), nestDef().indexOf("Label1"));
  QTest::mouseMove(w->windowHandle(), onLabel);
  EXPECT_EQ(both.heardOnDesktop.take(), "Label1.MouseMove");
  QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, onLabel);
  EXPECT_EQ(both.heardOnDesktop.take(), "");
  QTest::mouseMove(w->windowHandle(), QPoint(150, 100));
  QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, QPoint(150, 100));
  EXPECT_EQ(both.heardOnDesktop.take(), "Picture1.MouseMove Picture1.Click");
}

TEST(EventsByKind, EveryPointOfEverySceneRunsTheSameHandlerOnBothFrontEnds) {
  const auto catalog = scenes::catalog();
  for (const SceneEntry& e : catalog) {
    Both both(catalog);
    both.expectTheSameHandlersEverywhere(e.def->name);
  }
}

int main(int argc, char** argv) { return offscreen::run(argc, argv); }
