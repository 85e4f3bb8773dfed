#include "qt/frontend.h"

#include <QApplication>
#include <QMessageBox>
#include <cmath>

#include "qt/beep.h"
#include "qt/widgets.h"

namespace forms::qt {

namespace {
QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
} // namespace

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
  switch (scene.def().state) {
  case WindowState::Minimized:
    w->showMinimized();
    break;
  case WindowState::Maximized:
    w->showMaximized();
    break;
  case WindowState::Normal:
    w->show();
    break;
  }
  if (scene.def().state != WindowState::Minimized) {
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
  box.setEscapeButton(QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  if (onBox) {
    onBox(box);
  }
  box.exec();
}

void QtFrontend::beep() {
  forms::qt::beep();
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
