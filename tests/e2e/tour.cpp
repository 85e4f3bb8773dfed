// A guided tour of the scenes for the screen-reader check (tour.py): the game's own
// desktop front end over the real scenes, driven one step at a time from standard
// input, so that every scene a player sees can be shown, changed as its handlers
// change it, and read back through the accessibility bus. After each step it
// prints what the model says the player can see, which the check holds the bus's
// tree against. It is not the game: it shows scenes out of the story's order.
//
// Steps, one JSON array a line:
//   ["show", scene]  ["unload", scene]
//   ["click", scene, control]  ["move", scene, control]  (the pointer over a control)
//   ["set", scene, control, "caption" | "text" | "visible" | "interval", value]
//   ["ok"]  presses OK in the open box; the step that opened it then goes on
// Answer, one JSON object a line, once the step is done or has opened a box:
//   {"box": prompt or null, "scenes": [{"name", "caption", "shown", "controls": [
//     {"name", "kind", "container", "caption", "text", "picture", "tab",
//      "exposed" (its own Visible and its containers'), "onscreen" (some part
//      inside the client area)}]}]}
#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "qt/desktop.h"
#include "qt/frontend.h"
#include "qt/text.h"
#include "scenes/scenes.h"

using namespace forms;
using namespace forms::qt;

namespace {

QString kindName(Kind k) {
  switch (k) {
  case Kind::PictureBox:
    return QStringLiteral("PictureBox");
  case Kind::Label:
    return QStringLiteral("Label");
  case Kind::TextBox:
    return QStringLiteral("TextBox");
  case Kind::CommandButton:
    return QStringLiteral("CommandButton");
  case Kind::Timer:
    return QStringLiteral("Timer");
  case Kind::Line:
    return QStringLiteral("Line");
  }
  return {};
}

QJsonObject sceneState(const Scene& s, const SceneWindow* w) {
  QJsonArray controls;
  const auto& cs = s.controls();
  const Twips width = w != nullptr ? w->clientWidthTwips() : s.def().width;
  const Twips height = w != nullptr ? w->clientHeightTwips() : s.def().height;
  for (int i = 0; i < static_cast<int>(cs.size()); ++i) {
    const Control& c = cs[static_cast<std::size_t>(i)];
    controls.append(QJsonObject{
        {QStringLiteral("name"), qs(c.name())},
        {QStringLiteral("kind"), kindName(c.kind())},
        {QStringLiteral("container"),
         c.container < 0 ? QJsonValue() : QJsonValue(qs(cs[static_cast<std::size_t>(c.container)].name()))},
        {QStringLiteral("caption"), qs(c.caption)},
        {QStringLiteral("text"), qs(c.text)},
        {QStringLiteral("picture"), qs(c.picture)},
        {QStringLiteral("tab"), c.def->tabIndex},
        {QStringLiteral("exposed"), isShown(cs, i)},
        {QStringLiteral("onscreen"), !visibleRect(cs, i, width, height).empty()},
    });
  }
  return {{QStringLiteral("name"), qs(s.name())},
          {QStringLiteral("caption"), qs(s.def().caption)},
          {QStringLiteral("shown"), s.visible()},
          {QStringLiteral("controls"), controls}};
}

class Tour final : public QObject {
public:
  Tour() : frontend_(scenes::catalog()), input_(STDIN_FILENO, QSocketNotifier::Read) {
    frontend_.setQuitOnEnd(false);
    frontend_.onBox = [this](QMessageBox& box) {
      // Once the box is up and drawn, inside its own event loop.
      QTimer::singleShot(0, &box, [this, &box] {
        settle(box.windowHandle());
        report(box.text());
      });
    };
    connect(&input_, &QSocketNotifier::activated, this, [this] { readInput(); });
  }

private:
  void readInput() {
    char buf[4096];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) {
      input_.setEnabled(false);
      QCoreApplication::exit(0);
      return;
    }
    pending_.append(buf, static_cast<std::size_t>(n));
    for (std::size_t end = pending_.find('\n'); end != std::string::npos; end = pending_.find('\n')) {
      const std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      step(QJsonDocument::fromJson(QByteArray::fromStdString(line)).array());
    }
  }

  void step(const QJsonArray& cmd) {
    const QString what = cmd.at(0).toString();
    const std::string scene = cmd.at(1).toString().toStdString();
    Runtime& rt = frontend_.runtime();
    if (what == QStringLiteral("ok")) {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        box->accept();
      }
      return; // the step that opened the box answers when it is done
    }
    if (what == QStringLiteral("show")) {
      rt.show(scene);
    } else if (what == QStringLiteral("unload")) {
      rt.unload(scene);
    } else if (Scene* s = rt.find(scene)) {
      const std::string control = cmd.at(2).toString().toStdString();
      const int index = s->def().indexOf(control);
      if (what == QStringLiteral("click")) {
        rt.click(*s, index);
      } else if (what == QStringLiteral("move")) {
        rt.mouseMove(*s, index);
      } else if (what == QStringLiteral("set")) {
        ControlRef ref = s->ctl(control);
        const QString property = cmd.at(3).toString();
        const std::string value = cmd.at(4).toString().toStdString();
        if (property == QStringLiteral("caption")) {
          ref.setCaption(value);
        } else if (property == QStringLiteral("text")) {
          ref.setText(value);
        } else if (property == QStringLiteral("visible")) {
          ref.setVisible(value == "1");
        } else if (property == QStringLiteral("interval")) {
          ref.setInterval(std::stoi(value));
        }
      }
    }
    for (Scene* s : rt.loaded()) {
      // A minimized window is never exposed.
      if (SceneWindow* w = frontend_.windowOf(s->name()); w != nullptr && s->visible() && !w->isMinimized()) {
        settle(w->windowHandle());
      }
    }
    report({});
  }

  // Until the window is on the screen, or a few seconds have passed.
  static void settle(QWindow* window) {
    QElapsedTimer t;
    t.start();
    while (window != nullptr && !window->isExposed() && t.elapsed() < 5000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    QCoreApplication::processEvents();
  }

  void report(const QString& box) {
    QJsonArray scenes;
    for (const Scene* s : frontend_.runtime().loaded()) {
      scenes.append(sceneState(*s, frontend_.windowOf(s->name())));
    }
    const QJsonObject state{{QStringLiteral("box"), box.isNull() ? QJsonValue() : QJsonValue(box)},
                            {QStringLiteral("scenes"), scenes}};
    const QByteArray line = QJsonDocument(state).toJson(QJsonDocument::Compact);
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }

  QtFrontend frontend_;
  QSocketNotifier input_;
  std::string pending_;
};

} // namespace

int main(int argc, char* argv[]) {
  prepareDesktop();
  QApplication app(argc, argv);
  setUpDesktop();
  Tour tour;
  return QApplication::exec();
}
