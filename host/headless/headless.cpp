#include "headless/headless.h"

#include <algorithm>
#include <cmath>

namespace forms {

float ScriptedRandom::next() {
  ++drawn_;
  if (pos_ < values_.size()) {
    return values_[pos_++];
  }
  return fallback_.next();
}

Headless::Headless(std::vector<SceneEntry> catalog)
    : runtime_(std::make_unique<Runtime>(std::move(catalog), clock_, random_)) {
  runtime_->attach(*this);
  runtime_->setWorkArea(kWorkArea);
}

Headless::~Headless() = default;

double Headless::nowMs() const { return std::chrono::duration<double, std::milli>(clock_.now()).count(); }

void Headless::advance(double ms) {
  const Time target =
      clock_.now() + std::chrono::duration_cast<Time>(std::chrono::duration<double, std::milli>(ms));
  while (!ended_) {
    const auto due = runtime_->nextDue();
    // A tick overdue (held while a box stood open past the target, say) comes now.
    if (!due || std::max(*due, clock_.now()) > target) {
      break;
    }
    clock_.set(std::max(clock_.now(), *due));
    runtime_->serviceTimers();
  }
  clock_.set(std::max(clock_.now(), target));
}

Scene* Headless::target(std::string_view scene) const {
  Scene* s = runtime_->find(scene);
  if (s == nullptr || !s->visible() || boxOpen_ || ended_) {
    return nullptr;
  }
  // A minimized window shows no client area to point at.
  if (s->windowState() == WindowState::Minimized) {
    return nullptr;
  }
  return s;
}

int Headless::controlAt(const Scene& s, PointF p) const {
  const Size size = s.clientSize();
  return hitTest(s.controls(), size.width, size.height, p);
}

bool Headless::moveTo(std::string_view scene, PointF p) {
  Scene* s = target(scene);
  if (s == nullptr) {
    return false;
  }
  runtime_->mouseMove(*s, controlAt(*s, p));
  return true;
}

bool Headless::click(std::string_view scene, PointF p) {
  Scene* s = target(scene);
  if (s == nullptr) {
    return false;
  }
  // The press puts the focus on what it lands on, the release clicks it.
  const int hit = controlAt(*s, p);
  runtime_->focus(*s, hit);
  runtime_->click(*s, hit);
  return true;
}

bool Headless::click(std::string_view scene, std::string_view control) {
  Scene* s = runtime_->find(scene);
  if (s == nullptr) {
    return false;
  }
  const int i = s->def().indexOf(control);
  if (i < 0) {
    return false;
  }
  const Size size = s->clientSize();
  const RectF r = visibleRect(s->controls(), i, size.width, size.height);
  if (r.empty() || !forms::isShown(s->controls(), i)) {
    return false;
  }
  return click(scene, PointF{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

bool Headless::key(std::string_view scene, Key k) {
  Scene* s = target(scene);
  return s != nullptr && runtime_->key(*s, k);
}

bool Headless::type(std::string_view scene, std::string_view text) {
  Scene* s = target(scene);
  if (s == nullptr || s->focus() < 0) {
    return false;
  }
  const Control& c = s->controls()[static_cast<std::size_t>(s->focus())];
  return c.kind() == Kind::TextBox && runtime_->typed(*s, s->focus(), c.text + std::string(text));
}

bool Headless::setWindowState(std::string_view scene, WindowState state) {
  Scene* s = runtime_->find(scene);
  return s != nullptr && runtime_->windowStateChanged(*s, state);
}

bool Headless::close(std::string_view scene) {
  Scene* s = runtime_->find(scene);
  if (s == nullptr || !s->visible()) {
    return false;
  }
  return runtime_->closeRequested(*s);
}

bool Headless::isShown(std::string_view name) const {
  const Scene* s = runtime_->find(name);
  return s != nullptr && s->visible();
}

std::string Headless::text(std::string_view scene, std::string_view control) const {
  Scene* s = runtime_->find(scene);
  if (s == nullptr) {
    return {};
  }
  const int i = s->def().indexOf(control);
  return i < 0 ? std::string{} : s->controls()[static_cast<std::size_t>(i)].text;
}

std::string Headless::focused(std::string_view scene) const {
  Scene* s = runtime_->find(scene);
  if (s == nullptr) {
    return {};
  }
  return s->focus() < 0 ? std::string{}
                        : std::string(s->controls()[static_cast<std::size_t>(s->focus())].name());
}

std::vector<std::string> Headless::shownScenes() const {
  std::vector<std::string> out;
  for (Scene* s : runtime_->loaded()) {
    if (s->visible()) {
      out.emplace_back(s->name());
    }
  }
  return out;
}

void Headless::created(Scene& scene) { log_.push_back("load " + std::string(scene.name())); }

void Headless::shown(Scene& scene) { log_.push_back("show " + std::string(scene.name())); }

void Headless::destroyed(Scene& scene) { log_.push_back("unload " + std::string(scene.name())); }

void Headless::changed(Scene& /*scene*/, int /*control*/, Property /*what*/) {}

void Headless::messageBox(std::string_view /*title*/, std::string_view prompt) {
  std::string p(prompt);
  log_.push_back("box " + p);
  boxes_.push_back(p);
  boxOpen_ = true;
  if (onBox) {
    onBox(p);
  }
  boxOpen_ = false;
}

void Headless::ended() {
  ended_ = true;
  log_.push_back("end");
}

} // namespace forms
