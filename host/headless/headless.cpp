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
  if (s->def().state == WindowState::Minimized) {
    return nullptr;
  }
  return s;
}

std::pair<Twips, Twips> Headless::clientSize(const Scene& s) const {
  if (s.def().state == WindowState::Maximized) {
    return {kScreenWidth, kScreenHeight};
  }
  return {s.def().width, s.def().height};
}

int Headless::controlAt(const Scene& s, PointF p) const {
  const auto [w, h] = clientSize(s);
  return hitTest(s.controls(), w, h, p);
}

bool Headless::moveTo(std::string_view scene, PointF p) {
  Scene* s = target(scene);
  if (s == nullptr) {
    return false;
  }
  const int hit = controlAt(*s, p);
  if (hit < 0) {
    return true;
  }
  const Kind k = s->controls()[static_cast<std::size_t>(hit)].kind();
  if (k == Kind::PictureBox || k == Kind::Label) {
    runtime_->mouseMove(*s, hit);
  }
  return true;
}

bool Headless::click(std::string_view scene, PointF p) {
  Scene* s = target(scene);
  if (s == nullptr) {
    return false;
  }
  const int hit = controlAt(*s, p);
  if (hit < 0) {
    return true;
  }
  const Kind k = s->controls()[static_cast<std::size_t>(hit)].kind();
  if (takesFocus(s->controls(), hit)) {
    focus_[s->serial()] = hit;
  }
  if (k == Kind::PictureBox || k == Kind::CommandButton) {
    runtime_->click(*s, hit);
  }
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
  const auto [w, h] = clientSize(*s);
  const RectF r = visibleRect(s->controls(), i, w, h);
  if (r.empty() || !forms::isShown(s->controls(), i)) {
    return false;
  }
  return click(scene, PointF{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

void Headless::ensureFocus(Scene& s) {
  const auto order = focusOrder(s.controls());
  auto it = focus_.find(s.serial());
  if (it != focus_.end() && std::find(order.begin(), order.end(), it->second) != order.end()) {
    return;
  }
  if (order.empty()) {
    focus_.erase(s.serial());
  } else {
    focus_[s.serial()] = order.front();
  }
}

bool Headless::key(std::string_view scene, Key k) {
  Scene* s = target(scene);
  if (s == nullptr) {
    return false;
  }
  ensureFocus(*s);
  const auto it = focus_.find(s->serial());
  if (it == focus_.end()) {
    return true;
  }
  const int f = it->second;
  switch (k) {
  case Key::Tab: {
    const auto order = focusOrder(s->controls());
    auto pos = std::find(order.begin(), order.end(), f);
    ++pos;
    focus_[s->serial()] = pos == order.end() ? order.front() : *pos;
    break;
  }
  case Key::Space:
  case Key::Enter:
    if (s->controls()[static_cast<std::size_t>(f)].kind() == Kind::CommandButton) {
      runtime_->click(*s, f);
    }
    break;
  case Key::Escape:
    break;
  }
  return true;
}

bool Headless::type(std::string_view scene, std::string_view text) {
  Scene* s = target(scene);
  if (s == nullptr) {
    return false;
  }
  ensureFocus(*s);
  const auto it = focus_.find(s->serial());
  if (it == focus_.end()) {
    return false;
  }
  const Control& c = s->controls()[static_cast<std::size_t>(it->second)];
  if (c.kind() != Kind::TextBox) {
    return false;
  }
  // A one-line box: line breaks typed into it are not kept.
  std::string next = c.text;
  for (char ch : text) {
    if (ch != '\n' && ch != '\r') {
      next.push_back(ch);
    }
  }
  return runtime_->typed(*s, it->second, std::move(next));
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
  const auto it = focus_.find(s->serial());
  if (it == focus_.end()) {
    return {};
  }
  return std::string(s->controls()[static_cast<std::size_t>(it->second)].name());
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

void Headless::shown(Scene& scene) {
  log_.push_back("show " + std::string(scene.name()));
  ensureFocus(scene);
}

void Headless::destroyed(Scene& scene) {
  log_.push_back("unload " + std::string(scene.name()));
  focus_.erase(scene.serial());
}

void Headless::changed(Scene& scene, int /*control*/, Property what) {
  if (what == Property::Visible && scene.visible()) {
    // Focus leaves a control that is hidden, as it does on the desktop.
    auto it = focus_.find(scene.serial());
    if (it != focus_.end() && !takesFocus(scene.controls(), it->second)) {
      focus_.erase(it);
      ensureFocus(scene);
    }
  }
}

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
