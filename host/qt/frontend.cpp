#include "qt/frontend.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <cmath>
#include <memory>

#include "qt/text.h"
#include "qt/widgets.h"

namespace forms::qt {

QtFrontend::QtFrontend(std::vector<SceneEntry> catalog, QObject* parent)
    : QObject(parent), runtime_(std::make_unique<Runtime>(std::move(catalog), clock_, random_)) {
  runtime_->attach(*this);
  // One precise single-shot timer, always set for the earliest tick the runtime has due.
  scheduler_.setTimerType(Qt::PreciseTimer);
  scheduler_.setSingleShot(true);
  connect(&scheduler_, &QTimer::timeout, this, [this] { runtime_->serviceTimers(); });
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

void QtFrontend::created(Scene& scene) { windows_[&scene] = std::make_unique<SceneWindow>(*runtime_, scene); }

void QtFrontend::shown(Scene& scene) {
  SceneWindow* w = windows_.at(&scene).get();
  // The design's window state is how a window first opens; a later show only makes
  // it visible and brings it to the front, as the player left it (but not minimized).
  const bool first = !w->isVisible();
  const bool minimize = first && scene.def().state == WindowState::Minimized;
  if (minimize && QGuiApplication::platformName() == QStringLiteral("wayland")) {
    w->minimizeOnceExposed();
    w->show();
  } else if (minimize) {
    w->showMinimized();
  } else if (first && scene.def().state == WindowState::Maximized) {
    w->showMaximized();
  } else {
    w->show();
  }
  if (!first && w->isMinimized()) {
    // Minimized by the player: a show brings it back as it was, and to the front.
    w->setWindowState((w->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  }
  if (!minimize && !w->isMinimized()) {
    w->raise();
    w->activateWindow();
  }
  w->focusFirst();
}

void QtFrontend::destroyed(Scene& scene) {
  const auto it = windows_.find(&scene);
  if (it == windows_.end()) {
    return;
  }
  std::unique_ptr<SceneWindow> w = std::move(it->second);
  windows_.erase(it);
  w->detach();
  w->hide();
  // The window may be the one whose event is being handled right now.
  w.release()->deleteLater();
}

void QtFrontend::changed(Scene& scene, int control, Property what) {
  const auto it = windows_.find(&scene);
  if (it != windows_.end()) {
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
  box.exec();
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
