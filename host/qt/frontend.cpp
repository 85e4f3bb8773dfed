// The desktop front end: what it does and lacks on each platform is told in frontend.h.
#include "qt/frontend.h"

#include <QApplication>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGridLayout>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <memory>

#include "qt/text.h"
#include "qt/widgets.h"

namespace forms::qt {

QtFrontend::QtFrontend(std::vector<SceneEntry> catalog, QObject* parent)
    : QObject(parent), runtime_(std::make_unique<Runtime>(std::move(catalog), clock_, random_)) {
  runtime_->attach(*this);
  // The program's own icon is its start-up scene's: the desktop shows it for every
  // window, boxes included, and in its task switcher.
  for (const SceneEntry& e : runtime_->catalog()) {
    if (e.def->name == Runtime::kStartScene && !e.def->icon.empty()) {
      QApplication::setWindowIcon(iconFor(e.def->icon));
    }
  }
  // One precise single-shot timer, always set for the earliest tick the runtime has due.
  scheduler_.setTimerType(Qt::PreciseTimer);
  scheduler_.setSingleShot(true);
  connect(&scheduler_, &QTimer::timeout, this, [this] {
    replayClicks();
    runtime_->serviceTimers();
  });
}

QtFrontend::~QtFrontend() = default;

SceneWindow* QtFrontend::windowOf(std::string_view scene) const {
  Scene* s = runtime_->find(scene);
  if (s == nullptr) {
    return nullptr;
  }
  const auto it = windows_.find(s);
  return it == windows_.end() ? nullptr : it->second.get();
}

void QtFrontend::created(Scene& scene) {
  auto w = std::make_unique<SceneWindow>(*runtime_, scene);
  SceneWindow* kept = w.get();
  connect(kept, &SceneWindow::keptOnScreen, this, [this, kept] { giveFocusBack(*kept); });
  connect(kept, &SceneWindow::clickRefused, this,
          [this, &scene](int control) { clickRefused(scene, control); });
  windows_[&scene] = std::move(w);
}

void QtFrontend::shown(Scene& scene) {
  SceneWindow* w = windows_.at(&scene).get();
  // The runtime's state: the design's at the first show; at a later one, as the
  // player left it, a minimized window brought back as it was before.
  const bool first = !w->isVisible();
  const WindowState state = scene.windowState();
  const bool minimize = first && state == WindowState::Minimized;
  if (minimize && QGuiApplication::platformName() == QStringLiteral("wayland")) {
    w->minimizeOnceExposed();
    w->show();
  } else if (minimize) {
    w->showMinimized();
  } else if (first && state == WindowState::Maximized) {
    w->showMaximized();
  } else {
    w->show();
  }
  if (!first && w->isMinimized() && state != WindowState::Minimized) {
    // Minimized by the player: a show brings it back as it was, and to the front.
    w->setWindowState((w->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  }
  if (!minimize && !w->isMinimized()) {
    w->raise();
    w->activateWindow();
    front_ = w;
  }
  w->mirrorFocus();
}

void QtFrontend::giveFocusBack(SceneWindow& kept) {
  // The companion has no input of its own, so it never wants the keyboard again.
  kept.windowHandle()->setFlag(Qt::WindowDoesNotAcceptFocus);
  // The scene in front gets the focus back, and with it the top of the stack: the
  // compositor took both from it for the companion. A Wayland client cannot take
  // the focus (an activation request may only mark the window urgent), but a
  // compositor gives it to a window as the window maps, and puts it on top; so the
  // scene's window maps anew, its state untouched.
  if (front_ != nullptr && front_ != &kept && front_->isVisible() && !front_->isMinimized()) {
    front_->hide();
    front_->show();
  }
}

void QtFrontend::destroyed(Scene& scene) {
  const auto it = windows_.find(&scene);
  if (it == windows_.end()) {
    return;
  }
  std::unique_ptr<SceneWindow> w = std::move(it->second);
  windows_.erase(it);
  if (front_ == w.get()) {
    front_ = nullptr;
  }
  w->detach();
  w->hide();
  // The window may be the one whose event is being handled right now.
  w.release()->deleteLater();
}

void QtFrontend::changed(Scene& scene, int control, Property what) {
  const auto it = windows_.find(&scene);
  if (it == windows_.end()) {
    return;
  }
  if (what == Property::Focus) {
    it->second->mirrorFocus();
  } else {
    it->second->apply(control, what);
  }
}

void QtFrontend::messageBox(std::string_view title, std::string_view prompt) {
  QMessageBox box;
  box.setWindowTitle(qs(title));
  box.setText(qs(prompt));
  box.setIcon(QMessageBox::NoIcon);
  box.setStandardButtons(QMessageBox::Ok);
  // Enter and Escape both close it, as OK does.
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Ok);
  // A plain OK, without the tick some styles put on it.
  box.button(QMessageBox::Ok)->setIcon(QIcon());
  box.setWindowModality(Qt::ApplicationModal);
  const Scene* from = runtime_->handlerScene();
  const auto opener = from != nullptr ? windows_.find(from) : windows_.end();
  if (QGuiApplication::platformName() == QStringLiteral("wayland") && opener != windows_.end() &&
      opener->second->isVisible()) {
    // The compositor places every window there: as the dialog of the scene whose
    // handler opens it, the box opens over that scene where compositors do so.
    box.winId();
    box.windowHandle()->setTransientParent(opener->second->windowHandle());
  }
  // Wide enough for the window manager to show the game's title whole: a short
  // prompt alone would make the box so narrow that the title is cut to "ボ… 01".
  // The title bar's own face is the desktop's; allow for a larger bold one, and for
  // the bar's icon and buttons.
  QFont titleFont = QApplication::font();
  titleFont.setBold(true);
  titleFont.setPixelSize(titleFont.pixelSize() * 5 / 4);
  const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + 128;
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    // The layout owns the spacer from here on.
    auto spacer = std::make_unique<QSpacerItem>(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Minimum);
    grid->addItem(spacer.release(), grid->rowCount(), 0, 1, grid->columnCount());
  }
  if (onBox) {
    onBox(box);
  }
  // Modal through its modality, in a loop of its own rather than exec(), so that
  // it can be shown anew without ending the wait.
  QEventLoop wait;
  connect(&box, &QDialog::finished, &wait, [this, &wait] {
    boxClosed_ = true;
    wait.quit();
  });
  if (QGuiApplication::platformName() == QStringLiteral("wayland")) {
    // A compositor may hand the keyboard to a scene the box blocks and raise that
    // scene over it (sway does, on a click): the box would be buried, and the game
    // stuck behind it. Mapped anew, it comes back in front with the keyboard.
    connect(qApp, &QGuiApplication::focusWindowChanged, &box, [this, &box](QWindow* now) {
      const bool scene = std::any_of(windows_.begin(), windows_.end(), [now](const auto& w) {
        return w.second->isVisible() && w.second->windowHandle() == now;
      });
      if (scene && box.isVisible()) {
        box.hide();
        box.show();
      }
    });
  }
  box.show();
  wait.exec(QEventLoop::DialogExec);
  boxClosed_ = false;
  if (!clicks_.empty()) {
    // Through the meta-object system by name: clang-tidy's analyzer takes a functor's slot object for a leak.
    QMetaObject::invokeMethod(this, "replayClicks", Qt::QueuedConnection);
  }
}

void QtFrontend::clickRefused(const Scene& scene, int control) {
  // Input that was already on its way when the player closed the box reaches
  // the box's loop before the box's handler has returned. It came after the box,
  // so it is the scene's: it waits for the handler to end, and goes before any
  // tick held meanwhile, as input goes before timers.
  if (boxClosed_) {
    clicks_.emplace_back(scene.name(), control);
  }
}

void QtFrontend::replayClicks() {
  auto clicks = std::exchange(clicks_, {});
  if (runtime_->inHandler()) {
    return; // the handler opened another box, and they fell on that one
  }
  for (const auto& [name, control] : clicks) {
    if (Scene* scene = runtime_->find(name)) {
      runtime_->click(*scene, control);
    }
  }
}

void QtFrontend::beep() {
  beeper_.beep();
  if (onBeep) {
    onBeep();
  }
}

void QtFrontend::timersChanged() {
  const auto due = runtime_->nextDue();
  if (!due) {
    scheduler_.stop();
    return;
  }
  const auto wait = *due - clock_.now();
  const auto ms = wait.count() <= 0
                      ? 0
                      : static_cast<int>(std::ceil(std::chrono::duration<double, std::milli>(wait).count()));
  scheduler_.start(ms);
}

void QtFrontend::ended() {
  scheduler_.stop();
  if (quitOnEnd_) {
    QCoreApplication::exit(0);
  }
}

} // namespace forms::qt
