// The forms runtime: scene instances and their lifecycle, events, timers, the
// message box, the beep, the random source and the end of the program.
// It knows nothing of any toolkit; a front end shows what it does.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/model.h"

namespace forms {

using Time = std::chrono::nanoseconds; // since an arbitrary start

class Clock {
public:
  virtual ~Clock() = default;
  [[nodiscard]] virtual Time now() const = 0;
};

class SteadyClock final : public Clock {
public:
  [[nodiscard]] Time now() const override;
};

// One program-wide sequence of single-precision numbers in [0, 1).
class RandomSource {
public:
  virtual ~RandomSource() = default;
  virtual float next() = 0;
};

// The program's own sequence: a fixed start state, never seeded by the program.
class DefaultRandom final : public RandomSource {
public:
  float next() override;

private:
  std::uint64_t state_ = 0x853C49E6748FEA9BULL;
};

// What changed, as the front end hears it: a control's property, or the keyboard
// focus of a scene (the control that holds it now, -1 for none).
enum class Property : std::uint8_t { Text, Visible, Caption, Position, Picture, Interval, Focus };

// The keys the runtime gives a meaning to; every other key is the focused text box's.
enum class Key : std::uint8_t { Tab, Space, Enter, Escape, BackTab };

struct Size {
  Twips width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

// The client area of a scene's window in a state: its design size, or for a
// maximized window the work area of the screen it lies on.
Size clientSize(const SceneDef& def, WindowState state, Size workArea);

class Scene;
class Runtime;

// What a front end does for the runtime. Every call comes on the one UI thread.
//
// A front end shows what the runtime decides and reports what the player does;
// it keeps no rule of its own. Geometry, stacking, hit testing and focus order
// come from the model; which kind takes which event, the keyboard focus and the
// window state are the runtime's. In return for these calls it reports:
//   - the pointer: click() and mouseMove() with the control on top at the point
//     (the model's hitTest, or the toolkit's own answer where it agrees with it),
//     -1 for the form; the runtime refuses what that kind does not take, and
//     nothing passes to a control beneath;
//   - a press on a control, or the platform moving the keyboard focus itself:
//     focus(); Tab, Shift+Tab, Enter, Space and Escape: key(), never handled in
//     the front end (Enter or Space on a button is its click);
//   - a text box's whole new text after an edit: typed();
//   - the player minimizing, maximizing or restoring a window:
//     windowStateChanged(); the work area a maximized window fills: setWorkArea();
//   - a window closed by the player: closeRequested().
class Frontend {
public:
  virtual ~Frontend() = default;
  virtual void created(Scene& scene) = 0; // built from its definition, not yet seen
  // Made visible and brought to the front: in scene.windowState() (a minimized one
  // is restored by a later show), with the focus on scene.focus().
  virtual void shown(Scene& scene) = 0;
  virtual void destroyed(Scene& scene) = 0; // its window and controls go now
  // A property of a control changed; for Property::Focus, `control` is the one that
  // holds the focus of the scene now (-1: none). A focus that leaves a control being
  // hidden moves before the control is hidden; one that a control being shown
  // takes, after.
  virtual void changed(Scene& scene, int control, Property what) = 0;
  // Opens the box and returns when the player has pressed OK or closed it.
  virtual void messageBox(std::string_view title, std::string_view prompt) = 0;
  virtual void beep() = 0;
  virtual void timersChanged() = 0; // the earliest due time may have moved
  virtual void ended() = 0;         // the program is over
};

// A control of one scene instance, as a handler sees it. It holds that instance:
// after an unload of the scene, take a fresh one with ctl() or ctlOf().
class ControlRef {
public:
  ControlRef(Scene& scene, int index) : scene_(&scene), index_(index) {}

  [[nodiscard]] const std::string& text() const;
  void setText(std::string value);
  [[nodiscard]] bool visible() const;
  void setVisible(bool value);
  [[nodiscard]] const std::string& caption() const;
  void setCaption(std::string value);
  [[nodiscard]] float left() const;
  [[nodiscard]] float top() const;
  void setLeft(float twips);
  void setTop(float twips);
  // Shows the picture that another picture box holds; that box is unchanged.
  void setPicture(const ControlRef& from);
  [[nodiscard]] std::int32_t interval() const;
  void setInterval(std::int32_t ms);

  // The number the text holds (textToNumber).
  [[nodiscard]] double number() const;

  [[nodiscard]] Control& control() const;
  [[nodiscard]] int index() const { return index_; }

private:
  Scene* scene_;
  int index_;
};

// A loaded scene: its live controls and its handlers.
class Scene {
public:
  Scene(Runtime& runtime, const SceneDef& def);
  virtual ~Scene() = default;
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;
  Scene(Scene&&) = delete;
  Scene& operator=(Scene&&) = delete;

  [[nodiscard]] const SceneDef& def() const { return *def_; }
  [[nodiscard]] std::string_view name() const { return def_->name; }
  [[nodiscard]] std::vector<Control>& controls() { return controls_; }
  [[nodiscard]] const std::vector<Control>& controls() const { return controls_; }
  [[nodiscard]] bool visible() const { return visible_; }
  [[nodiscard]] std::uint64_t serial() const { return serial_; }
  [[nodiscard]] Runtime& runtime() const { return *runtime_; }
  // The control that holds the keyboard focus, or -1.
  [[nodiscard]] int focus() const { return focus_; }
  // The window's state: the definition's until the first show, then as the player
  // leaves it; a show brings a minimized window back as it was before.
  [[nodiscard]] WindowState windowState() const { return state_; }
  [[nodiscard]] Size clientSize() const;

  // A control of this scene by name.
  ControlRef ctl(std::string_view control);
  [[nodiscard]] bool hasHandler(int control, Event e) const;

protected:
  using Handler = std::function<void()>;
  template <class S> void on(std::string_view control, Event e, void (S::*fn)()) {
    S* self = static_cast<S*>(this);
    addHandler(control, e, [self, fn] { (self->*fn)(); });
  }
  template <class S> void onLoad(void (S::*fn)()) { on<S>({}, Event::Load, fn); }

  // Helpers that read like the story.
  void Show(std::string_view scene);
  void Unload(std::string_view scene);
  void UnloadMe();
  void MsgBox(std::string_view prompt);
  void Beep();
  float Rnd();
  void End();
  ControlRef ctlOf(std::string_view scene, std::string_view control);

private:
  friend class Runtime;
  friend class ControlRef;
  void addHandler(std::string_view control, Event e, Handler h);

  struct Bound {
    int control; // -1 for the form itself
    Event event;
    Handler handler;
  };
  struct TimerState {
    int control;
    Time due{};
    bool held = false; // fell due while a handler ran or a box was open
  };

  Runtime* runtime_;
  const SceneDef* def_;
  std::vector<Control> controls_;
  std::vector<Bound> handlers_;
  std::vector<TimerState> timers_;
  bool visible_ = false;
  bool shownBefore_ = false;
  int focus_ = -1;
  WindowState state_;
  WindowState restored_ = WindowState::Normal; // what a minimized window comes back as
  std::uint64_t serial_ = 0;
};

// Sees every handler start and return: for checks from outside that the rules
// hold (the fuzzer's, the long-run tests'). It must not act on the runtime.
class Observer {
public:
  virtual ~Observer() = default;
  // Called before the handler runs, so inHandler() still tells whether another one is.
  virtual void handlerStarting(Scene& scene, int control, Event e) = 0;
  // Called once it has returned; the scene may have been unloaded meanwhile.
  virtual void handlerReturned(Scene& scene, int control, Event e) = 0;
};

struct SceneEntry {
  const SceneDef* def;
  std::function<std::unique_ptr<Scene>(Runtime&)> make;
};

class Runtime {
public:
  static constexpr std::string_view kTitle = "ボトロンゲーム2001";
  static constexpr std::string_view kStartScene = "Form1";
  static constexpr std::int32_t kShortestPeriodMs = 1;

  Runtime(std::vector<SceneEntry> catalog, const Clock& clock, RandomSource& random);
  ~Runtime();
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;
  Runtime(Runtime&&) = delete;
  Runtime& operator=(Runtime&&) = delete;

  void attach(Frontend& frontend) { frontend_ = &frontend; }
  void observe(Observer* observer) { observer_ = observer; } // nullptr: none

  // Loads and shows the start-up scene.
  void start();

  // Scene operations, as handlers use them.
  void show(std::string_view scene);
  // A control reference: loads the scene unseen. What it returns stays valid memory
  // until the next event is delivered, also when its Form_Load has unloaded it.
  Scene& form(std::string_view scene);
  void unload(std::string_view scene);
  void messageBox(std::string_view prompt);
  void beep();
  float random();
  void end();

  // Input from a front end. Each returns false when it was not taken: the program
  // has ended, a message box is open or a handler runs, the scene is gone, or the
  // control cannot take it.
  //
  // The pointer at a control, the one on top at the point (-1: the form). Only a
  // button or a picture box takes a click, only a picture box or a label a move.
  bool click(Scene& scene, int control);
  bool mouseMove(Scene& scene, int control);
  // The focus goes to a control (a press on it, or the platform's own focus
  // moving): only a windowed control that is seen takes it.
  bool focus(Scene& scene, int control);
  // A key to the scene's focused control: Tab and BackTab move the focus round the
  // focus order, Enter and Space click a focused button, Escape does nothing.
  bool key(Scene& scene, Key k);
  // A text box's whole text after an edit. It holds one line: line breaks are not
  // kept, and a front end that showed them hears the text it holds instead.
  bool typed(Scene& scene, int control, std::string text);
  bool closeRequested(Scene& scene);
  // The player (or the window manager) put a shown window in a state.
  bool windowStateChanged(Scene& scene, WindowState state);
  // The client size a maximized window has on this front end's screen.
  void setWorkArea(Size area) { workArea_ = area; }
  [[nodiscard]] Size workArea() const { return workArea_; }

  // Timers: the front end asks when the next tick falls due and calls
  // serviceTimers() once the clock has reached it.
  [[nodiscard]] std::optional<Time> nextDue() const;
  void serviceTimers();

  [[nodiscard]] Scene* find(std::string_view scene) const;
  [[nodiscard]] std::vector<Scene*> loaded() const;
  [[nodiscard]] bool ended() const { return ended_; }
  [[nodiscard]] bool inHandler() const { return depth_ > 0; }
  // The scene whose handler runs now (the innermost one), or nullptr. It may have
  // been unloaded by that handler already.
  [[nodiscard]] const Scene* handlerScene() const { return handling_; }
  [[nodiscard]] bool boxOpen() const { return boxes_ > 0; }
  // Events delivered to scenes so far (loads, clicks, pointer moves, ticks), handled or not.
  [[nodiscard]] std::uint64_t eventsDelivered() const { return eventsDelivered_; }
  [[nodiscard]] const Clock& clock() const { return *clock_; }
  [[nodiscard]] const std::vector<SceneEntry>& catalog() const { return catalog_; }

  // Called by ControlRef when a handler changes a property.
  void propertyChanged(Scene& scene, int control, Property what);

private:
  const SceneEntry* entry(std::string_view scene) const;
  Scene& load(std::string_view scene);
  void dispatch(Scene& scene, int control, Event e);
  void unloadInstance(Scene& scene);
  void releaseHeldTicks();
  [[nodiscard]] bool takesInput(const Scene& scene) const;
  void moveFocus(Scene& scene, int to);
  void notifyFocus(Scene& scene);
  Scene* earliestDue(Time now, int& timerSlot) const;

  std::vector<SceneEntry> catalog_;
  const Clock* clock_;
  RandomSource* random_;
  Frontend* frontend_ = nullptr;
  Observer* observer_ = nullptr;
  std::vector<std::unique_ptr<Scene>> scenes_; // loaded, in load order
  // Unloaded since the last event was delivered: a handler of theirs may still be
  // running, and a show or a reference may still hold one whose Form_Load unloaded it.
  std::vector<std::unique_ptr<Scene>> graveyard_;
  std::vector<Scene*> loading_; // whose Form_Load is running, innermost last
  int depth_ = 0;
  const Scene* handling_ = nullptr;
  int boxes_ = 0;
  bool ended_ = false;
  Size workArea_; // none reported: a maximized window keeps its design size
  std::uint64_t nextSerial_ = 1;
  std::uint64_t eventsDelivered_ = 0;
};

} // namespace forms
