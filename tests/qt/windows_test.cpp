// The desktop front end against the model, on Qt's offscreen platform: window
// sizes, the widget under every point, colours, fonts, pictures and the box.
#include <gtest/gtest.h>

#include "offscreen.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "qt/fonts.h"
#include "qt/frontend.h"
#include "qt/widgets.h"
#include "scenes/scenes.h"

using namespace forms;
using namespace forms::qt;

namespace {

class QtTest : public offscreen::FrontendTest {
protected:
  void answer(QMessageBox& box) override {
    titles.push_back(box.windowTitle().toStdString());
    modality.push_back(box.windowModality());
    FrontendTest::answer(box);
  }
  std::vector<std::string> titles;
  std::vector<Qt::WindowModality> modality;
};

std::string nameAt(const Scene& s, int i) {
  return i < 0 ? std::string("(form)") : std::string(s.controls()[static_cast<std::size_t>(i)].name());
}

// For a grid of pixels, the control whose widget Qt finds there is the one the model names.
void expectQtAgreesWithModel(SceneWindow& w) {
  const Scene& s = w.scene();
  int checked = 0;
  for (int y = 0; y < w.height(); y += 3) {
    for (int x = 0; x < w.width(); x += 3) {
      const PointF centre{x * 15.0 + 7.5, y * 15.0 + 7.5};
      const int model = hitTest(s.controls(), w.clientWidthTwips(), w.clientHeightTwips(), centre);
      const int qt = w.controlAt(QPoint(x, y));
      ASSERT_EQ(nameAt(s, qt), nameAt(s, model)) << s.name() << " at pixel " << x << "," << y;
      ++checked;
    }
  }
  EXPECT_GT(checked, 0);
}

} // namespace

TEST_F(QtTest, EveryNormalSceneOpensAtItsDesignClientSizeInPixels) {
  for (const SceneEntry& e : scenes::catalog()) {
    const SceneDef& d = *e.def;
    if (d.state != WindowState::Normal) {
      continue;
    }
    SceneWindow& w = show(d.name);
    EXPECT_EQ(w.width(), d.width / kTwipsPerPixel) << d.name;
    EXPECT_EQ(w.height(), d.height / kTwipsPerPixel) << d.name;
    EXPECT_EQ(w.windowTitle().trimmed().toStdString(), std::string(d.caption)) << d.name;
    unload(d.name);
  }
  SceneWindow& title = show("Form1");
  EXPECT_EQ(title.width(), 312);
  EXPECT_EQ(title.height(), 213);
  EXPECT_FALSE(title.windowIcon().isNull());
}

TEST_F(QtTest, TheWidgetUnderEveryPointIsTheControlTheModelNames) {
  for (const SceneEntry& e : scenes::catalog()) {
    SceneWindow& w = show(e.def->name);
    expectQtAgreesWithModel(w);
    // Everything made visible, so hidden walls and stores are held to the rule too.
    Scene& s = w.scene();
    for (std::size_t i = 0; i < s.controls().size(); ++i) {
      if (s.controls()[i].kind() != Kind::Timer && s.controls()[i].kind() != Kind::Line) {
        ControlRef(s, static_cast<int>(i)).setVisible(true);
      }
    }
    QCoreApplication::processEvents();
    expectQtAgreesWithModel(w);
    unload(e.def->name);
  }
}

namespace {

// A white picture box whose red children reach past its inner edge on every side.
const SceneDef& clipScene() {
  static const SceneDef def{
      .name = "Clip",
      .caption = "Clip",
      .left = 1500,
      .top = 1500,
      .width = 3000,
      .height = 3000,
      .controls =
          {
              pictureBox("Picture2", 1200, -300, 600, 600).in("Picture1").back(0x000000FF),
              button("Command1", -300, 1200, 600, 600, "").in("Picture1"),
              label("Label1", 900, 1200, 900, 600, "").in("Picture1").back(0x000000FF),
              pictureBox("Picture1", 300, 300, 1500, 1500).back(0x00FFFFFF),
          },
  };
  return def;
}

} // namespace

// A contained control is cut at its container's inner edge: the border stays the
// container's, to the eye and to the pointer, as the model has it.
TEST_F(QtTest, ContainedControlsAreClippedInsideTheirContainersBorder) {
  fe = std::make_unique<QtFrontend>(std::vector<SceneEntry>{scenes::plainEntry(clipScene())});
  SceneWindow& w = show("Clip");
  const Scene& s = w.scene();
  for (int y = 0; y < w.height(); ++y) {
    for (int x = 0; x < w.width(); ++x) {
      const PointF centre{x * 15.0 + 7.5, y * 15.0 + 7.5};
      const int model = hitTest(s.controls(), w.clientWidthTwips(), w.clientHeightTwips(), centre);
      ASSERT_EQ(nameAt(s, w.controlAt(QPoint(x, y))), nameAt(s, model)) << "pixel " << x << "," << y;
    }
  }
  // The box covers pixels 20 to 119 each way; its border is the outer two of them.
  const QImage img = w.grab().toImage();
  for (int i = 20; i < 120; ++i) {
    for (const QPoint p : {QPoint(i, 20), QPoint(i, 21), QPoint(i, 118), QPoint(i, 119), QPoint(20, i),
                           QPoint(21, i), QPoint(118, i), QPoint(119, i)}) {
      ASSERT_NE(img.pixelColor(p), QColor(Qt::red)) << "border pixel " << p.x() << "," << p.y();
    }
  }
  EXPECT_EQ(img.pixelColor(117, 22), QColor(Qt::red)) << "the child shows up to the inner edge";
}

// Form11's name buttons overlap by one pixel row each, and the portrait box
// overlaps the last: a click there, as the window system hands it over, goes to
// the control that comes earlier in the definition.
TEST_F(QtTest, ClicksOnOnePixelOverlapsGoToTheEarlierControl) {
  struct Row {
    int y; // pixels
    const char* control;
    const char* choice;
  } rows[] = {
      {32, "Command2", "2"},  // ぽんた under 大森
      {64, "Command4", "4"},  // 大森 under 梅太
      {96, "Command4", "4"},  // 東野 under 梅太
      {128, "Command3", "3"}, // the portrait box under 東野
  };
  for (const Row& r : rows) {
    SceneWindow& w = show("Form11");
    const Scene& s = w.scene();
    const QPoint at(72, r.y);
    EXPECT_EQ(nameAt(s, w.controlAt(at)), r.control) << r.y;
    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
    QCoreApplication::processEvents();
    EXPECT_EQ(fe->runtime().find("Form11")->ctl("Text1").text(), r.choice) << r.y;
    unload("Form11");
  }
}

// Grounds, borders and lines left to the look: every one drawn in the classic
// scheme's colour for its role, as every front end draws it.
const SceneDef& plainLookScene() {
  static const SceneDef def{
      .name = "Plain",
      .caption = "Plain",
      .left = 1500,
      .top = 1500,
      .width = 3000,
      .height = 3000,
      .controls =
          {
              pictureBox("Picture1", 300, 300, 1500, 1500),
              label("Label1", 1950, 300, 600, 600, ""),
              label("Label2", 1950, 1200, 600, 600, "").back(kSysHighlightText),
              label("Label3", 1950, 2100, 600, 600, "").back(0x80000005),
              line("Line1", 300, 2400, 1500, 2400),
          },
  };
  return def;
}

TEST_F(QtTest, GroundsBordersAndLinesTakeTheLooksColours) {
  fe = std::make_unique<QtFrontend>(std::vector<SceneEntry>{scenes::plainEntry(plainLookScene())});
  const QImage img = show("Plain").grab().toImage();
  const auto rgb = [](const look::Paint& p) {
    const look::Rgb c = look::classic(p);
    return QColor(c.r, c.g, c.b);
  };
  // The box covers pixels 20 to 119 each way: the outer ring, the inner ring, the ground.
  const struct {
    QPoint at;
    look::Paint paint;
  } cases[] = {
      {{10, 10}, look::kSceneBack},
      {{20, 20}, look::Role::Dark},
      {{119, 20}, look::Role::Dark},
      {{20, 119}, look::Role::Dark},
      {{119, 119}, look::Role::Light},
      {{70, 119}, look::Role::Light},
      {{119, 70}, look::Role::Light},
      {{21, 21}, look::Role::Shadow},
      {{118, 118}, look::Role::Shadow},
      {{70, 118}, look::Role::Shadow},
      {{22, 22}, look::defaultBack(Kind::PictureBox)},
      {{70, 70}, look::defaultBack(Kind::PictureBox)},
      {{150, 40}, look::defaultBack(Kind::Label)},
      {{150, 100}, look::paintOf(kSysHighlightText)},
      {{150, 160}, look::paintOf(0x80000005)},
      {{70, 160}, look::kLineColour},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(img.pixelColor(c.at).name(), rgb(c.paint).name()) << c.at.x() << "," << c.at.y();
  }
}

TEST_F(QtTest, TheTitleDrawsItsColoursAndFrame) {
  SceneWindow& w = show("Form1");
  const QImage img = w.grab().toImage();
  // The frame's top edge runs 8 pixels down, from 8 to 296 across.
  EXPECT_EQ(img.pixelColor(150, 8), QColor(Qt::black));
  EXPECT_EQ(img.pixelColor(8, 100), QColor(Qt::black));
  EXPECT_EQ(img.pixelColor(296, 100), QColor(Qt::black));
  EXPECT_EQ(img.pixelColor(150, 200), QColor(Qt::black));
  // Red title text somewhere in the title label, blue credits in theirs.
  bool red = false;
  for (int y = 24; y < 129 && !red; ++y) {
    for (int x = 24; x < 281 && !red; ++x) {
      const QColor c = img.pixelColor(x, y);
      red = c.red() > 200 && c.green() < 60 && c.blue() < 60;
    }
  }
  EXPECT_TRUE(red);
  bool blue = false;
  for (int y = 168; y < 193 && !blue; ++y) {
    for (int x = 144; x < 289 && !blue; ++x) {
      const QColor c = img.pixelColor(x, y);
      blue = c.blue() > 200 && c.red() < 60 && c.green() < 60;
    }
  }
  EXPECT_TRUE(blue);
}

TEST_F(QtTest, PicturesAreDrawnUnscaledFromTheTopLeftAndClipped) {
  SceneWindow& w = show("Form2");
  QWidget* box = w.widgetFor(w.scene().def().indexOf("Picture1"));
  ASSERT_NE(box, nullptr);
  const QImage shown = box->grab().toImage();
  const QImage asset = pictureFor("Form2.Picture1");
  ASSERT_FALSE(asset.isNull());
  EXPECT_EQ(asset.size(), QSize(394, 216));
  // Inside the two-pixel border the box shows the picture pixel for pixel, cut at its edges.
  EXPECT_EQ(box->size(), QSize(393, 217));
  for (int y = 0; y < 213; y += 7) {
    for (int x = 0; x < 389; x += 7) {
      ASSERT_EQ(shown.pixelColor(x + 2, y + 2), asset.pixelColor(x, y)) << x << "," << y;
    }
  }
}

TEST_F(QtTest, NamedFacesAreReplacedByJapaneseFaces) {
  SceneWindow& w = show("Form1");
  QWidget* title = w.widgetFor(w.scene().def().indexOf("Label1"));
  QWidget* credits = w.widgetFor(w.scene().def().indexOf("Label2"));
  const QFontInfo titleFont(title->font());
  const QFontInfo creditsFont(credits->font());
  EXPECT_EQ(titleFont.pixelSize(), 48);
  EXPECT_TRUE(titleFont.bold());
  EXPECT_EQ(creditsFont.pixelSize(), 12);
  const QFontMetrics fm(title->font());
  for (char32_t c : std::u32string(U"ボトロンゲーム2001")) {
    EXPECT_TRUE(fm.inFontUcs4(static_cast<uint>(c))) << static_cast<unsigned>(c);
  }
  EXPECT_EQ(substitutesFor("HG創英角ﾎﾟｯﾌﾟ体").front(), QStringLiteral("RocknRoll One"));
  EXPECT_EQ(substitutesFor("ＭＳ Ｐゴシック").front(), QStringLiteral("IPAPGothic"));
}

TEST_F(QtTest, TheMessageBoxCarriesTheGameTitleAndIsApplicationModal) {
  fe->runtime().show("Form2");
  fe->runtime().messageBox("ない！");
  ASSERT_EQ(boxes.size(), 1U);
  EXPECT_EQ(boxes[0], "ない！");
  EXPECT_EQ(titles[0], "ボトロンゲーム2001");
  EXPECT_EQ(modality[0], Qt::ApplicationModal);
}

TEST_F(QtTest, ClickingTheShopButtonOpensTheMazeAndItsCompanion) {
  SceneWindow& w = show("Form2");
  auto* enter = qobject_cast<QPushButton*>(w.widgetFor(w.scene().def().indexOf("Command1")));
  ASSERT_NE(enter, nullptr);
  EXPECT_EQ(enter->text(), QStringLiteral("進入！！"));
  enter->click();
  QCoreApplication::processEvents();
  EXPECT_EQ(fe->windowOf("Form2"), nullptr);
  ASSERT_NE(fe->windowOf("Form3"), nullptr);
  ASSERT_NE(fe->windowOf("Form4"), nullptr);
  EXPECT_TRUE(fe->windowOf("Form4")->isMinimized());
}

int main(int argc, char** argv) { return offscreen::run(argc, argv); }
