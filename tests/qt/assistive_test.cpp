// Typing through an input method, and what a screen reader is told, on Qt's
// offscreen platform. The real input method and the real accessibility bus are
// played end to end in tests/e2e (assistive.py, tour.py).
#include <gtest/gtest.h>

#include "offscreen.h"

#include <QAccessible>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPointer>

#include "qt/accessible.h"
#include "qt/widgets.h"
#include "scenes/scenes.h"

using namespace forms;
using namespace forms::qt;

namespace {

class Typing : public offscreen::FrontendTest {
protected:
  QLineEdit& box(SceneWindow& w, std::string_view name) {
    auto* edit = qobject_cast<QLineEdit*>(w.widgetFor(w.scene().def().indexOf(name)));
    EXPECT_NE(edit, nullptr) << name;
    edit->setFocus();
    return *edit;
  }
  static void compose(QLineEdit& edit, const QString& preedit) {
    QInputMethodEvent e(preedit,
                        {{QInputMethodEvent::Cursor, static_cast<int>(preedit.size()), 1, QVariant()}});
    QCoreApplication::sendEvent(&edit, &e);
  }
  static void commit(QLineEdit& edit, const QString& text) {
    QInputMethodEvent e;
    e.setCommitString(text);
    QCoreApplication::sendEvent(&edit, &e);
  }
  static std::string textOf(SceneWindow& w, std::string_view name) { return w.scene().ctl(name).text(); }
};

} // namespace

TEST_F(Typing, ThePreEditIsDrawnAtTheCaretAndOnlyWhatIsCommittedReachesTheLetter) {
  SceneWindow& w = show("Form9");
  QLineEdit& letter = box(w, "Text1");
  const QImage empty = letter.grab().toImage();

  compose(letter, QStringLiteral("ごめんなさい"));
  EXPECT_EQ(textOf(w, "Text1"), "") << "the pre-edit is not the letter's text yet";
  EXPECT_NE(letter.grab().toImage(), empty) << "the pre-edit is not drawn in the box";
  // The input method places its candidate window by the caret, which stands after
  // the pre-edit, inside the box.
  const QRect caret = letter.inputMethodQuery(Qt::ImCursorRectangle).toRect();
  EXPECT_TRUE(letter.rect().contains(caret.center())) << caret.x() << "," << caret.y();
  EXPECT_GT(caret.x(), letter.fontMetrics().horizontalAdvance(QStringLiteral("ごめん")));

  commit(letter, QStringLiteral("ごめんなさい"));
  EXPECT_EQ(textOf(w, "Text1"), "ごめんなさい");
  compose(letter, QStringLiteral("。"));
  commit(letter, QString()); // the composition given up
  EXPECT_EQ(textOf(w, "Text1"), "ごめんなさい");
}

TEST_F(Typing, FullWidthTenCommittedIntoTheDisplayIsJustRight) {
  SceneWindow& w = show("Form10");
  QLineEdit& display = box(w, "Text1");
  display.selectAll();
  compose(display, QStringLiteral("１０"));
  commit(display, QStringLiteral("１０"));
  ASSERT_EQ(textOf(w, "Text1"), "１０");
  fe->runtime().click(w.scene(), w.scene().def().indexOf("Command2"));
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.front(), "ちょうどいいぞ！ok");
  EXPECT_NE(fe->windowOf("Form11"), nullptr) << "just right leads on to the thrower choice";
}

TEST(Pictures, EveryPictureABoxCanShowIsDescribed) {
  for (const SceneEntry& e : scenes::catalog()) {
    for (const ControlDef& c : e.def->controls) {
      if (!c.picture.empty()) {
        EXPECT_FALSE(pictureDescription(c.picture).isEmpty()) << c.picture;
      }
    }
  }
  EXPECT_TRUE(pictureDescription("").isEmpty());
}

// Unloading frees the scene at once, while its window waits to be deleted; a screen
// reader that asks about it meanwhile gets nothing rather than the freed scene.
TEST_F(Typing, AWindowWhoseSceneIsGoneTellsNothing) {
  SceneWindow& w = show("Form2");
  QPointer<SceneWindow> window(&w);
  QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(&w);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->text(QAccessible::Name), QStringLiteral("Form2"));
  ASSERT_EQ(frame->childCount(), 3);
  QAccessibleInterface* label = frame->child(1);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->role(), QAccessible::StaticText);

  fe->runtime().unload("Form2");
  ASSERT_FALSE(window.isNull()) << "the window is deleted later, not at once";
  EXPECT_EQ(frame->text(QAccessible::Name), QString());
  EXPECT_EQ(frame->childCount(), 0);
  EXPECT_EQ(label->text(QAccessible::Name), QString());
}

int main(int argc, char** argv) { return offscreen::run(argc, argv); }
