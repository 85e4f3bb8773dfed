// The desktop front end on Qt 6, under X11 and as a native Wayland client: one
// top-level window per shown scene, precise timers, the message box and the
// beep, over the one runtime.
//
// Takes from the model and the runtime: geometry in twips, containment and the
// stacking order (the widgets are raised in it, so Qt's own answer to "which
// widget is under this pixel" is the model's); which kind takes which event (a
// press or move is handed to the runtime with the control under it, and never
// passes to a container beneath); the keyboard focus (Qt's focus widget follows
// the runtime's, Tab, Shift+Tab, Enter and Space on a button go to the runtime);
// the window state (each first show in the runtime's state; the player's
// minimize, maximize and restore are reported, and what a maximized window gets
// becomes the runtime's work area); the one-line rule of a text box; the look.
//
// Does: the design position and client size under X11; the message box, modal,
// with the game's title; timers on one precise single-shot timer; the beep
// through the sound server or the display's bell; Japanese faces standing in for
// the named ones; the screen reader's tree.
//
// On Wayland the compositor decides, and the front end makes up for what it
// may refuse:
// - positions are the compositor's; a box is made the dialog of the scene whose
//   handler opened it, which compositors that place dialogs open over that scene;
// - a minimize may be ignored (sway has none): a companion still holding the
//   keyboard after its minimize gives it back, and the top of the stack, to the
//   scene in front, whose window maps anew, since a client cannot take the focus;
//   a minimize asked before the window is mapped is dropped, so the companion
//   minimizes once it is first exposed;
// - a maximize may be ignored: the cans' window opens as large as the screen,
//   in the normal state as far as the runtime knows;
// - a compositor may raise a scene over the box that blocks it (sway does, on a
//   click): the box maps anew in front.
//
// Does not: fractional scales (Qt 6.4 draws at the next whole scale and the
// compositor scales that down, so at 150 % a picture pixel spans 1.5 device
// pixels); place a window anywhere under Wayland; promise that the player's
// minimize or maximize is granted (the state the window manager reports is the
// one the runtime keeps).
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
