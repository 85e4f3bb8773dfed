// The scripted front end: a virtual clock, pointer moves and clicks at twip
// positions through the model's own hit test, typing, Tab, window closes, and
// message boxes answered by the caller. Used by tests, benchmarks and fuzzing.
//
// Takes from the model and the runtime: which control is under a point (hitTest
// over the scene's client size), which kind takes which event, the keyboard focus
// and its order, the window state, the client size of a maximized window (over
// its screen of 1920 x 1050 pixels), the one-line rule of a text box.
//
// Does: pointer moves and clicks at twip points, a click at the middle of what is
// seen of a control, the five keys the runtime knows, typing at the end of the
// focused box, minimize, maximize and restore as a player asks for them, closes,
// boxes answered by a callback (which may let time pass), a log of what was seen.
//
// Does not: draw anything, or know pixels, faces or colours; a caret or a
// selection (typing always appends; a test types over by giving the whole text
// to the runtime); a window manager (windows have no position, every state asked
// for is granted at once); a sound (a beep is counted); real time (the clock
// moves only when advance() is called).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/runtime.h"

namespace forms {

class VirtualClock final : public Clock {
public:
  [[nodiscard]] Time now() const override { return now_; }
  void set(Time t) { now_ = t; }

private:
  Time now_{};
};

// Hands out the numbers a test gives it, then carries on with the program's own.
class ScriptedRandom final : public RandomSource {
public:
  void push(float v) { values_.push_back(v); }
  float next() override;
  [[nodiscard]] int drawn() const { return drawn_; }

private:
  std::vector<float> values_;
  std::size_t pos_ = 0;
  int drawn_ = 0;
  DefaultRandom fallback_;
};

class Headless final : public Frontend {
public:
  explicit Headless(std::vector<SceneEntry> catalog);
  ~Headless() override;
  Headless(const Headless&) = delete;
  Headless& operator=(const Headless&) = delete;
  Headless(Headless&&) = delete;
  Headless& operator=(Headless&&) = delete;

  Runtime& runtime() { return *runtime_; }
  VirtualClock& clock() { return clock_; }
  ScriptedRandom& random() { return random_; }

  void start() { runtime_->start(); }
  // Lets virtual time pass, delivering every tick that falls due on the way.
  void advance(double ms);
  [[nodiscard]] double nowMs() const;

  // Input, as a player gives it. Each returns false when nothing took it.
  bool moveTo(std::string_view scene, PointF twips);
  bool click(std::string_view scene, PointF twips);
  bool click(std::string_view scene, std::string_view control); // at the middle of what is seen of it
  bool key(std::string_view scene, Key k);
  bool type(std::string_view scene, std::string_view text); // at the end of the focused box
  bool close(std::string_view scene);
  // The player minimizes, maximizes or restores a window.
  bool setWindowState(std::string_view scene, WindowState state);

  // Called while a box is open; may advance the clock. Without one, boxes are closed at once.
  std::function<void(const std::string& prompt)> onBox;

  // What the player saw, in order: "show Form2", "unload Form1", "box ない！", "end".
  [[nodiscard]] const std::vector<std::string>& log() const { return log_; }
  void clearLog() { log_.clear(); }
  [[nodiscard]] int beeps() const { return beeps_; }
  [[nodiscard]] const std::vector<std::string>& boxes() const { return boxes_; }
  void clearBoxes() { boxes_.clear(); } // for long runs, which would otherwise keep every one
  [[nodiscard]] bool boxIsOpen() const { return boxOpen_; }
  [[nodiscard]] bool hasEnded() const { return ended_; }

  [[nodiscard]] Scene* scene(std::string_view name) const { return runtime_->find(name); }
  [[nodiscard]] bool isShown(std::string_view name) const;
  [[nodiscard]] std::string text(std::string_view scene, std::string_view control) const;
  [[nodiscard]] std::string focused(std::string_view scene) const; // control name, or ""
  [[nodiscard]] std::vector<std::string> shownScenes() const;
  // The control that takes the pointer at a point of a scene's client area, or -1.
  [[nodiscard]] int controlAt(const Scene& s, PointF twips) const;

  // Frontend
  void created(Scene& scene) override;
  void shown(Scene& scene) override;
  void destroyed(Scene& scene) override;
  void changed(Scene& scene, int control, Property what) override;
  void messageBox(std::string_view title, std::string_view prompt) override;
  void beep() override { ++beeps_; }
  void timersChanged() override {}
  void ended() override;

  // What a maximized window fills: the screen but for a task bar.
  static constexpr Size kWorkArea{1920 * kTwipsPerPixel, 1050 * kTwipsPerPixel};

private:
  Scene* target(std::string_view scene) const;

  VirtualClock clock_;
  ScriptedRandom random_;
  std::unique_ptr<Runtime> runtime_;
  std::vector<std::string> log_;
  std::vector<std::string> boxes_;
  int beeps_ = 0;
  bool boxOpen_ = false;
  bool ended_ = false;
};

} // namespace forms
