#include "runtime/runtime.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "model/numtext.h"

namespace forms {

Time SteadyClock::now() const {
  return std::chrono::duration_cast<Time>(std::chrono::steady_clock::now().time_since_epoch());
}

float DefaultRandom::next() {
  // PCG-XSH-RR; the upper 24 bits of each output become an exact float in [0, 1).
  const std::uint64_t old = state_;
  state_ = old * 6364136223846793005ULL + 1442695040888963407ULL;
  const auto xorshifted = static_cast<std::uint32_t>(((old >> 18U) ^ old) >> 27U);
  const auto rot = static_cast<std::uint32_t>(old >> 59U);
  const std::uint32_t out = (xorshifted >> rot) | (xorshifted << ((32U - rot) & 31U));
  return static_cast<float>(out >> 8U) * (1.0F / 16777216.0F);
}

namespace {

[[noreturn]] void fail(const char* what, std::string_view name) {
  std::fprintf(stderr, "botoron: %s: %.*s\n", what, static_cast<int>(name.size()), name.data());
  std::abort();
}

} // namespace

// ---- ControlRef ----------------------------------------------------------

Control& ControlRef::control() const { return scene_->controls_[static_cast<std::size_t>(index_)]; }
const std::string& ControlRef::text() const { return control().text; }
bool ControlRef::visible() const { return control().visible; }
const std::string& ControlRef::caption() const { return control().caption; }
float ControlRef::left() const { return control().left; }
float ControlRef::top() const { return control().top; }
std::int32_t ControlRef::interval() const { return control().interval; }
double ControlRef::number() const { return textToNumber(control().text); }

void ControlRef::setText(std::string value) {
  control().text = std::move(value);
  scene_->runtime().propertyChanged(*scene_, index_, Property::Text);
}
void ControlRef::setVisible(bool value) {
  control().visible = value;
  scene_->runtime().propertyChanged(*scene_, index_, Property::Visible);
}
void ControlRef::setCaption(std::string value) {
  control().caption = std::move(value);
  scene_->runtime().propertyChanged(*scene_, index_, Property::Caption);
}
void ControlRef::setLeft(float twips) {
  control().left = twips;
  scene_->runtime().propertyChanged(*scene_, index_, Property::Position);
}
void ControlRef::setTop(float twips) {
  control().top = twips;
  scene_->runtime().propertyChanged(*scene_, index_, Property::Position);
}
void ControlRef::setPicture(const ControlRef& from) {
  control().picture = from.control().picture;
  scene_->runtime().propertyChanged(*scene_, index_, Property::Picture);
}
void ControlRef::setInterval(std::int32_t ms) {
  control().interval = std::max(ms, 0);
  scene_->runtime().propertyChanged(*scene_, index_, Property::Interval);
}

// ---- Scene ---------------------------------------------------------------

Size clientSize(const SceneDef& def, WindowState state, Size workArea) {
  if (state == WindowState::Maximized && workArea.width > 0 && workArea.height > 0) {
    return workArea;
  }
  return {def.width, def.height};
}

Scene::Scene(Runtime& runtime, const SceneDef& def)
    : runtime_(&runtime), def_(&def), controls_(buildControls(def)), state_(def.state) {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i].kind() == Kind::Timer) {
      timers_.push_back({static_cast<int>(i)});
    }
  }
}

namespace {

int controlIndex(const Scene& scene, std::string_view control) {
  const int i = scene.def().indexOf(control);
  if (i < 0) {
    fail("no such control", control);
  }
  return i;
}

} // namespace

ControlRef Scene::ctl(std::string_view control) {
  // Once this instance is unloaded (its own handler may go on after an Unload), a
  // reference to one of its controls is a reference to an unloaded scene: it loads
  // the scene again, unseen. After the end nothing loads any more.
  Scene& live = runtime_->ended() || runtime_->find(name()) == this ? *this : runtime_->form(name());
  return {live, controlIndex(live, control)};
}

Size Scene::clientSize() const { return forms::clientSize(*def_, state_, runtime_->workArea()); }

bool Scene::hasHandler(int control, Event e) const {
  return std::any_of(handlers_.begin(), handlers_.end(),
                     [&](const Bound& b) { return b.control == control && b.event == e; });
}

void Scene::addHandler(std::string_view control, Event e, Handler h) {
  const int i = control.empty() ? -1 : def_->indexOf(control);
  if (!control.empty() && i < 0) {
    fail("handler for no such control", control);
  }
  // A handler no event could ever reach is a mistake in the scene.
  if (i < 0 ? e != Event::Load : !receives(def_->controls[static_cast<std::size_t>(i)].kind, e)) {
    fail("handler for an event its control does not take", control.empty() ? name() : control);
  }
  handlers_.push_back({i, e, std::move(h)});
}

void Scene::Show(std::string_view scene) { runtime_->show(scene); }
void Scene::Unload(std::string_view scene) { runtime_->unload(scene); }
void Scene::UnloadMe() { runtime_->unload(name()); }
void Scene::MsgBox(std::string_view prompt) { runtime_->messageBox(prompt); }
void Scene::Beep() { runtime_->beep(); }
float Scene::Rnd() { return runtime_->random(); }
void Scene::End() { runtime_->end(); }
ControlRef Scene::ctlOf(std::string_view scene, std::string_view control) {
  Scene& s = runtime_->form(scene);
  return {s, controlIndex(s, control)};
}

// ---- Runtime -------------------------------------------------------------

Runtime::Runtime(std::vector<SceneEntry> catalog, const Clock& clock, RandomSource& random)
    : catalog_(std::move(catalog)), clock_(&clock), random_(&random) {}

Runtime::~Runtime() = default;

const SceneEntry* Runtime::entry(std::string_view scene) const {
  const auto it = std::find_if(catalog_.begin(), catalog_.end(),
                               [&](const SceneEntry& e) { return e.def->name == scene; });
  return it == catalog_.end() ? nullptr : &*it;
}

Scene* Runtime::find(std::string_view scene) const {
  const auto it =
      std::find_if(scenes_.begin(), scenes_.end(), [&](const auto& s) { return s->name() == scene; });
  return it == scenes_.end() ? nullptr : it->get();
}

std::vector<Scene*> Runtime::loaded() const {
  std::vector<Scene*> out;
  out.reserve(scenes_.size());
  for (const auto& s : scenes_) {
    out.push_back(s.get());
  }
  return out;
}

void Runtime::start() { show(kStartScene); }

Scene& Runtime::load(std::string_view scene) {
  const SceneEntry* e = entry(scene);
  if (e == nullptr) {
    fail("no such scene", scene);
  }
  std::unique_ptr<Scene> made = e->make(*this);
  Scene& s = *made;
  s.serial_ = nextSerial_++;
  if (ended_) {
    // Nothing appears once the program has ended; the instance only lives out the handler.
    graveyard_.push_back(std::move(made));
    return s;
  }
  const Time now = clock_->now();
  for (auto& t : s.timers_) {
    t.due = now + std::chrono::milliseconds(
                      std::max(s.controls_[static_cast<std::size_t>(t.control)].interval, kShortestPeriodMs));
  }
  scenes_.push_back(std::move(made));
  if (frontend_ != nullptr) {
    frontend_->created(s);
  }
  if (s.hasHandler(-1, Event::Load)) {
    loading_.push_back(&s);
    dispatch(s, -1, Event::Load);
    loading_.pop_back();
  }
  if (frontend_ != nullptr) {
    frontend_->timersChanged();
  }
  return s;
}

Scene& Runtime::form(std::string_view scene) {
  if (Scene* s = find(scene)) {
    return *s;
  }
  // A Form_Load that unloaded its own scene and then refers to one of its controls
  // gets the instance it runs in: loading it again would run the same Form_Load
  // again, without end.
  const auto running =
      std::find_if(loading_.rbegin(), loading_.rend(), [&](const Scene* s) { return s->name() == scene; });
  if (running != loading_.rend()) {
    return **running;
  }
  return load(scene);
}

void Runtime::show(std::string_view scene) {
  if (ended_) {
    return;
  }
  Scene& s = form(scene);
  // Form_Load may have unloaded the scene or ended the program: nothing to show
  // then. The instance it ran in is still valid memory (see graveyard_).
  if (ended_ || find(scene) != &s) {
    return;
  }
  s.visible_ = true;
  if (!s.shownBefore_) {
    s.shownBefore_ = true;
    s.state_ = s.def().state;
  } else if (s.state_ == WindowState::Minimized) {
    s.state_ = s.restored_;
  }
  // Every show puts the focus on the first control of the focus order.
  const auto order = focusOrder(s.controls_);
  s.focus_ = order.empty() ? -1 : order.front();
  if (frontend_ != nullptr) {
    frontend_->shown(s);
  }
}

void Runtime::unloadInstance(Scene& scene) {
  const auto it =
      std::find_if(scenes_.begin(), scenes_.end(), [&](const auto& p) { return p.get() == &scene; });
  if (it == scenes_.end()) {
    return;
  }
  std::unique_ptr<Scene> gone = std::move(*it);
  scenes_.erase(it);
  gone->visible_ = false;
  if (frontend_ != nullptr) {
    frontend_->destroyed(*gone);
    frontend_->timersChanged();
  }
  // A handler of it may still be running, or the caller of a show or a reference
  // still holds it: the memory goes when the next event is delivered.
  graveyard_.push_back(std::move(gone));
}

void Runtime::unload(std::string_view scene) {
  if (Scene* s = find(scene)) {
    unloadInstance(*s);
  }
}

void Runtime::messageBox(std::string_view prompt) {
  if (ended_ || frontend_ == nullptr) {
    return;
  }
  ++boxes_;
  frontend_->messageBox(kTitle, prompt);
  --boxes_;
  if (boxes_ == 0 && depth_ == 0) {
    releaseHeldTicks(); // a box opened outside any handler holds ticks just the same
  }
}

void Runtime::beep() {
  if (!ended_ && frontend_ != nullptr) {
    frontend_->beep();
  }
}

float Runtime::random() { return random_->next(); }

void Runtime::end() {
  if (ended_) {
    return;
  }
  ended_ = true;
  while (!scenes_.empty()) {
    unloadInstance(*scenes_.back());
  }
  if (frontend_ != nullptr) {
    frontend_->ended();
  }
}

void Runtime::propertyChanged(Scene& scene, int control, Property what) {
  if (what == Property::Interval) {
    // Setting the interval restarts the count, also with an unchanged value.
    for (auto& t : scene.timers_) {
      if (t.control == control) {
        const auto ms = scene.controls_[static_cast<std::size_t>(control)].interval;
        t.due = clock_->now() + std::chrono::milliseconds(std::max(ms, kShortestPeriodMs));
        t.held = false;
      }
    }
  }
  const bool live = !ended_ && frontend_ != nullptr && find(scene.name()) == &scene;
  if (what == Property::Visible) {
    // A control that can no longer take the focus gives it to the next one in the
    // tab order that can; one that can gives a scene without any focus its first.
    const int before = scene.focus_;
    if (before < 0 || !takesFocus(scene.controls_, before)) {
      const auto order = tabOrder(scene.controls_);
      const auto from = std::find(order.begin(), order.end(), before);
      int next = -1;
      for (std::size_t k = 1; k <= order.size() && next < 0; ++k) {
        const std::size_t at =
            from == order.end() ? k - 1 : (static_cast<std::size_t>(from - order.begin()) + k) % order.size();
        if (takesFocus(scene.controls_, order[at])) {
          next = order[at];
        }
      }
      scene.focus_ = next;
    }
    const bool moved = scene.focus_ != before;
    const bool hidden = !scene.controls_[static_cast<std::size_t>(control)].visible;
    if (live && moved && hidden) {
      notifyFocus(scene);
    }
    if (live) {
      frontend_->changed(scene, control, what);
    }
    if (live && moved && !hidden) {
      notifyFocus(scene);
    }
    return;
  }
  if (!live) {
    return;
  }
  if (what == Property::Interval) {
    frontend_->timersChanged();
  } else {
    frontend_->changed(scene, control, what);
  }
}

void Runtime::notifyFocus(Scene& scene) {
  // An unseen window gets its focus when it is shown.
  if (scene.visible_) {
    frontend_->changed(scene, scene.focus_, Property::Focus);
  }
}

void Runtime::moveFocus(Scene& scene, int to) {
  if (scene.focus_ == to) {
    return;
  }
  scene.focus_ = to;
  if (frontend_ != nullptr && !ended_) {
    notifyFocus(scene);
  }
}

void Runtime::dispatch(Scene& scene, int control, Event e) {
  if (ended_) {
    return;
  }
  ++eventsDelivered_;
  const auto it = std::find_if(scene.handlers_.begin(), scene.handlers_.end(),
                               [&](const auto& b) { return b.control == control && b.event == e; });
  if (it == scene.handlers_.end()) {
    return;
  }
  if (depth_ == 0) {
    // No handler is running, so nothing refers to an unloaded instance any more.
    graveyard_.clear();
  }
  if (observer_ != nullptr) {
    observer_->handlerStarting(scene, control, e);
  }
  ++depth_;
  const Scene* outer = std::exchange(handling_, &scene);
  it->handler(); // the scene object outlives this call even if the handler unloads it
  handling_ = outer;
  --depth_;
  if (observer_ != nullptr) {
    observer_->handlerReturned(scene, control, e);
  }
  if (depth_ == 0 && boxes_ == 0) {
    releaseHeldTicks();
  }
}

void Runtime::releaseHeldTicks() {
  // A held tick is due at once, one per timer: its due time is still the beat it
  // fell due on, so serviceTimers() delivers it now and keeps the timer on its beat.
  bool any = false;
  for (const auto& s : scenes_) {
    for (auto& t : s->timers_) {
      any = any || t.held;
      t.held = false;
    }
  }
  if (any && frontend_ != nullptr && !ended_) {
    frontend_->timersChanged();
  }
}

bool Runtime::takesInput(const Scene& scene) const {
  return !ended_ && boxes_ == 0 && depth_ == 0 && find(scene.name()) == &scene;
}

namespace {

bool isControl(const Scene& scene, int control) {
  return control >= 0 && static_cast<std::size_t>(control) < scene.controls().size();
}

bool receivesAt(const Scene& scene, int control, Event e) {
  return isControl(scene, control) && receives(scene.controls()[static_cast<std::size_t>(control)].kind(), e);
}

} // namespace

bool Runtime::click(Scene& scene, int control) {
  if (!takesInput(scene) || !receivesAt(scene, control, Event::Click)) {
    return false;
  }
  dispatch(scene, control, Event::Click);
  return true;
}

bool Runtime::mouseMove(Scene& scene, int control) {
  if (!takesInput(scene) || !receivesAt(scene, control, Event::MouseMove)) {
    return false;
  }
  dispatch(scene, control, Event::MouseMove);
  return true;
}

bool Runtime::focus(Scene& scene, int control) {
  if (ended_ || find(scene.name()) != &scene || !isControl(scene, control) ||
      !takesFocus(scene.controls_, control)) {
    return false;
  }
  moveFocus(scene, control);
  return true;
}

bool Runtime::key(Scene& scene, Key k) {
  if (!takesInput(scene)) {
    return false;
  }
  switch (k) {
  case Key::Tab:
  case Key::BackTab: {
    const auto order = focusOrder(scene.controls_);
    if (order.empty()) {
      moveFocus(scene, -1);
      break;
    }
    const auto at = std::find(order.begin(), order.end(), scene.focus_);
    const auto n = static_cast<std::ptrdiff_t>(order.size());
    std::ptrdiff_t i = 0;
    if (at != order.end()) {
      i = ((at - order.begin()) + (k == Key::Tab ? 1 : n - 1)) % n;
    } else if (k == Key::BackTab) {
      i = n - 1;
    }
    moveFocus(scene, order[static_cast<std::size_t>(i)]);
    break;
  }
  case Key::Space:
  case Key::Enter:
    if (isControl(scene, scene.focus_) &&
        scene.controls_[static_cast<std::size_t>(scene.focus_)].kind() == Kind::CommandButton) {
      dispatch(scene, scene.focus_, Event::Click);
    }
    break;
  case Key::Escape:
    break;
  }
  return true;
}

bool Runtime::typed(Scene& scene, int control, std::string text) {
  if (ended_ || boxes_ > 0 || find(scene.name()) != &scene || !isControl(scene, control) ||
      scene.controls_[static_cast<std::size_t>(control)].kind() != Kind::TextBox) {
    return false;
  }
  const auto before = text.size();
  std::erase_if(text, [](char c) { return c == '\n' || c == '\r'; });
  const bool cut = text.size() != before;
  scene.controls_[static_cast<std::size_t>(control)].text = std::move(text);
  if (cut && frontend_ != nullptr) {
    frontend_->changed(scene, control, Property::Text);
  }
  return true;
}

bool Runtime::windowStateChanged(Scene& scene, WindowState state) {
  if (ended_ || find(scene.name()) != &scene || !scene.visible_) {
    return false;
  }
  if (state == WindowState::Minimized && scene.state_ != WindowState::Minimized) {
    scene.restored_ = scene.state_;
  }
  scene.state_ = state;
  return true;
}

bool Runtime::closeRequested(Scene& scene) {
  if (ended_ || boxes_ > 0 || depth_ > 0 || find(scene.name()) != &scene) {
    return false;
  }
  unloadInstance(scene);
  // The player can close only what is on screen. Once nothing is, and no timer is
  // left to show anything, a scene loaded unseen by a control reference (the maze's
  // counter window, say, after its window was closed) must not keep the game alive.
  const bool alive = std::any_of(scenes_.begin(), scenes_.end(), [](const auto& s) {
    return s->visible_ || std::any_of(s->timers_.begin(), s->timers_.end(), [&](const Scene::TimerState& t) {
             return s->controls_[static_cast<std::size_t>(t.control)].interval > 0;
           });
  });
  if (!alive) {
    end();
  }
  return true;
}

std::optional<Time> Runtime::nextDue() const {
  std::optional<Time> best;
  for (const auto& s : scenes_) {
    for (const auto& t : s->timers_) {
      if (t.held || s->controls_[static_cast<std::size_t>(t.control)].interval <= 0) {
        continue;
      }
      if (!best || t.due < *best) {
        best = t.due;
      }
    }
  }
  return best;
}

Scene* Runtime::earliestDue(Time now, int& timerSlot) const {
  Scene* best = nullptr;
  Time bestDue{};
  for (const auto& s : scenes_) {
    for (std::size_t i = 0; i < s->timers_.size(); ++i) {
      const auto& t = s->timers_[i];
      if (t.held || t.due > now || s->controls_[static_cast<std::size_t>(t.control)].interval <= 0) {
        continue;
      }
      if (best == nullptr || t.due < bestDue) {
        best = s.get();
        bestDue = t.due;
        timerSlot = static_cast<int>(i);
      }
    }
  }
  return best;
}

void Runtime::serviceTimers() {
  if (ended_) {
    return;
  }
  const Time now = clock_->now();
  int slot = -1;
  while (Scene* s = earliestDue(now, slot)) {
    auto& t = s->timers_[static_cast<std::size_t>(slot)];
    if (depth_ > 0 || boxes_ > 0) {
      // A handler or a message box is running: hold one tick for later.
      t.held = true;
      continue;
    }
    // Ticks do not queue: however late, one tick, and the next stays on its beat.
    const Time period = std::chrono::milliseconds(
        std::max(s->controls_[static_cast<std::size_t>(t.control)].interval, kShortestPeriodMs));
    const auto missed = (now - t.due) / period;
    t.due += period * (missed + 1);
    dispatch(*s, t.control, Event::Timer);
    if (ended_) {
      return;
    }
  }
  if (frontend_ != nullptr) {
    frontend_->timersChanged();
  }
}

} // namespace forms
