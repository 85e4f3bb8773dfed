// The wire maze as Qt builds it: every wall widget where the model puts it, and
// Qt's own answer for the widget under each pixel the same as the model's.
#include <gtest/gtest.h>

#include "offscreen.h"

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <set>
#include <string>
#include <vector>

#include "qt/frontend.h"
#include "qt/widgets.h"
#include "scenes/scenes.h"

using namespace forms;
using forms::qt::px;
using forms::qt::SceneWindow;

namespace {

const char* const kWalls[] = {"Picture1", "Picture2", "Picture3", "Picture4", "Picture5",
                              "Picture6", "Picture7", "Picture8", "Picture9", "Picture10"};

class MazeWidgets : public ::testing::Test {
protected:
  MazeWidgets() : fe(scenes::catalog()) {
    fe.setQuitOnEnd(false);
    fe.onBox = [this](QMessageBox& box) {
      prompts.push_back(box.text().toStdString());
      QTimer::singleShot(0, &box, &QMessageBox::accept);
    };
    fe.runtime().show("Form3");
    fe.runtime().show("Form4");
  }

  ~MazeWidgets() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  [[nodiscard]] SceneWindow& maze() const {
    SceneWindow* w = fe.windowOf("Form3");
    EXPECT_NE(w, nullptr);
    return *w;
  }
  [[nodiscard]] static int indexOf(const SceneWindow& w, std::string_view control) {
    return w.scene().def().indexOf(control);
  }

  void pressStart() {
    auto* start = qobject_cast<QPushButton*>(maze().widgetFor(indexOf(maze(), "Command1")));
    ASSERT_NE(start, nullptr);
    start->click();
  }

  // Where a control's widget lies in the window's client area, in pixels.
  static QRect placeOf(const SceneWindow& w, int control) {
    const QWidget* widget = w.widgetFor(control);
    return {widget->mapTo(&w, QPoint(0, 0)), widget->size()};
  }

  qt::QtFrontend fe;
  std::vector<std::string> prompts;
};

TEST_F(MazeWidgets, WallsSitWhereTheModelPutsThem) {
  pressStart();
  const SceneWindow& w = maze();
  EXPECT_EQ(w.size(), QSize(397, 447));
  const auto& controls = w.scene().controls();
  for (const char* name : kWalls) {
    SCOPED_TRACE(name);
    const int i = indexOf(w, name);
    const RectF r = clientRect(controls, i);
    const Control& c = controls[static_cast<std::size_t>(i)];
    EXPECT_EQ(placeOf(w, i), QRect(px(r.left), px(r.top), px(c.width), px(c.height)));
    EXPECT_TRUE(w.widgetFor(i)->isVisibleTo(&w));
  }
  // The small box inside the red bar: 1800 + 30 + 3480 twips across, 2640 + 30 down.
  EXPECT_EQ(placeOf(w, indexOf(w, "Picture9")), QRect(354, 178, 1, 9));
  EXPECT_TRUE(w.widgetFor(indexOf(w, "Picture7"))->isAncestorOf(w.widgetFor(indexOf(w, "Picture9"))));
  EXPECT_FALSE(w.widgetFor(indexOf(w, "Command1"))->isVisibleTo(&w));
}

TEST_F(MazeWidgets, QtFindsTheControlTheModelHitsAtEveryPixel) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    SCOPED_TRACE(attempt == 0 ? "before the start" : "after the start");
    if (attempt == 1) {
      pressStart();
    }
    const SceneWindow& w = maze();
    const auto& controls = w.scene().controls();
    const SceneDef& def = w.scene().def();
    int mismatches = 0;
    std::set<int> seen;
    for (int y = 0; y < w.height(); ++y) {
      for (int x = 0; x < w.width(); ++x) {
        const PointF centre{x * 15.0 + 7.5, y * 15.0 + 7.5};
        const int model = hitTest(controls, def.width, def.height, centre);
        const int onScreen = w.controlAt(QPoint(x, y));
        seen.insert(onScreen);
        if (model != onScreen && ++mismatches <= 5) {
          ADD_FAILURE() << "pixel " << x << ", " << y << ": model " << model << ", Qt " << onScreen;
        }
      }
    }
    EXPECT_EQ(mismatches, 0);
    if (attempt == 1) {
      // Every wall, the one-pixel box included, and the goal show somewhere.
      for (const char* name : kWalls) {
        EXPECT_TRUE(seen.contains(indexOf(w, name))) << name;
      }
      EXPECT_TRUE(seen.contains(indexOf(w, "Label2")));
    }
  }
}

TEST_F(MazeWidgets, TouchingTheSmallBoxRebuildsTheMazeAtItsPlace) {
  pressStart();
  SceneWindow* before = &maze();
  QWidget* box = before->widgetFor(indexOf(*before, "Picture9"));
  const QPoint local(0, 4);
  QMouseEvent move(QEvent::MouseMove, QPointF(local), QPointF(box->mapToGlobal(local)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(box, &move);

  EXPECT_EQ(prompts, std::vector<std::string>{"見つかりました"});
  SceneWindow& after = maze();
  EXPECT_NE(&after, before);
  EXPECT_TRUE(after.isVisible());
  EXPECT_EQ(after.geometry().topLeft(), QPoint(px(4260), px(2040)));
  EXPECT_TRUE(after.widgetFor(indexOf(after, "Command1"))->isVisibleTo(&after));
  EXPECT_FALSE(after.widgetFor(indexOf(after, "Picture7"))->isVisibleTo(&after));
  EXPECT_EQ(fe.runtime().find("Form4")->ctl("Text1").text(), "1");
}

} // namespace

int main(int argc, char** argv) { return offscreen::run(argc, argv); }
