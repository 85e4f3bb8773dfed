// The desktop front end: one top-level window per shown scene, precise timers,
// the message box and the beep, over the one runtime.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "qt/beep.h"
#include "qt/widgets.h"
#include "runtime/runtime.h"

class QMessageBox;

namespace forms::qt {

class SceneWindow;

class QtFrontend final : public QObject, public Frontend {
  Q_OBJECT
public:
  explicit QtFrontend(std::vector<SceneEntry> catalog, QObject* parent = nullptr);
  ~QtFrontend() override;
  QtFrontend(const QtFrontend&) = delete;
  QtFrontend& operator=(const QtFrontend&) = delete;
  QtFrontend(QtFrontend&&) = delete;
  QtFrontend& operator=(QtFrontend&&) = delete;

  Runtime& runtime() { return *runtime_; }
  [[nodiscard]] const Beeper& beeper() const { return beeper_; }
  void start() { runtime_->start(); }

  // The window of a loaded scene, or nullptr.
  [[nodiscard]] SceneWindow* windowOf(std::string_view scene) const;

  // Whether the end of the program also ends the Qt event loop (tests keep it running).
  void setQuitOnEnd(bool quit) { quitOnEnd_ = quit; }
  // Called with each box just before it opens; a test can arrange its answer here.
  std::function<void(QMessageBox&)> onBox;
  // Called after each beep has been sounded; a benchmark times the title's ticks here.
  std::function<void()> onBeep;

  // Frontend
  void created(Scene& scene) override;
  void shown(Scene& scene) override;
  void destroyed(Scene& scene) override;
  void changed(Scene& scene, int control, Property what) override;
  void messageBox(std::string_view title, std::string_view prompt) override;
  void beep() override;
  void timersChanged() override;
  void ended() override;

private slots:
  void replayClicks();

private:
  void giveFocusBack(SceneWindow& kept);
  void clickRefused(const Scene& scene, int control);

  SteadyClock clock_;
  DefaultRandom random_;
  std::unique_ptr<Runtime> runtime_;
  QTimer scheduler_;
  Beeper beeper_;
  std::map<const Scene*, std::unique_ptr<SceneWindow>> windows_;
  SceneWindow* front_ = nullptr;                    // the window last shown in front, with the focus
  bool boxClosed_ = false;                          // the box is closed; its handler has not returned yet
  std::vector<std::pair<std::string, int>> clicks_; // made meanwhile: scene, control
  bool quitOnEnd_ = true;
};

} // namespace forms::qt
