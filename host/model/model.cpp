#include "model.h"

#include <algorithm>

namespace forms {

ControlDef pictureBox(std::string_view name, Twips l, Twips t, Twips w, Twips h) {
  ControlDef d;
  d.name = name;
  d.kind = Kind::PictureBox;
  d.left = l;
  d.top = t;
  d.width = w;
  d.height = h;
  return d;
}

ControlDef label(std::string_view name, Twips l, Twips t, Twips w, Twips h, std::string_view caption) {
  ControlDef d = pictureBox(name, l, t, w, h);
  d.kind = Kind::Label;
  d.caption = caption;
  return d;
}

ControlDef textBox(std::string_view name, Twips l, Twips t, Twips w, Twips h, std::string_view text) {
  ControlDef d = pictureBox(name, l, t, w, h);
  d.kind = Kind::TextBox;
  d.text = text;
  return d;
}

ControlDef button(std::string_view name, Twips l, Twips t, Twips w, Twips h, std::string_view caption) {
  ControlDef d = pictureBox(name, l, t, w, h);
  d.kind = Kind::CommandButton;
  d.caption = caption;
  return d;
}

ControlDef timer(std::string_view name, std::int32_t interval, Twips l, Twips t) {
  ControlDef d;
  d.name = name;
  d.kind = Kind::Timer;
  d.interval = interval;
  d.left = l;
  d.top = t;
  return d;
}

ControlDef line(std::string_view name, Twips x1, Twips y1, Twips x2, Twips y2) {
  ControlDef d;
  d.name = name;
  d.kind = Kind::Line;
  d.x1 = x1;
  d.y1 = y1;
  d.x2 = x2;
  d.y2 = y2;
  return d;
}

int SceneDef::indexOf(std::string_view control) const {
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].name == control) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::vector<Control> buildControls(const SceneDef& def) {
  std::vector<Control> out;
  out.reserve(def.controls.size());
  for (const ControlDef& d : def.controls) {
    Control c;
    c.def = &d;
    c.container = d.container.empty() ? -1 : def.indexOf(d.container);
    c.left = static_cast<float>(d.left);
    c.top = static_cast<float>(d.top);
    c.width = d.width;
    c.height = d.height;
    c.visible = d.visible;
    c.caption = std::string(d.caption);
    c.text = std::string(d.text);
    c.picture = std::string(d.picture);
    c.interval = d.interval;
    out.push_back(std::move(c));
  }
  return out;
}

RectF RectF::intersected(const RectF& o) const {
  return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
}

RectF innerArea(const Control& box) {
  return {static_cast<double>(kPictureBorder), static_cast<double>(kPictureBorder),
          static_cast<double>(box.width - kPictureBorder), static_cast<double>(box.height - kPictureBorder)};
}

namespace {

// Top-left corner, in client coordinates, of the area a container offers its children.
PointF originOfChildren(const std::vector<Control>& controls, int container) {
  if (container < 0) {
    return {0, 0};
  }
  const RectF outer = clientRect(controls, container);
  return {outer.left + kPictureBorder, outer.top + kPictureBorder};
}

std::vector<int> ancestry(const std::vector<Control>& controls, int index) {
  std::vector<int> chain; // from the outermost container down to index itself
  for (int i = index; i >= 0; i = controls[static_cast<std::size_t>(i)].container) {
    chain.push_back(i);
  }
  std::reverse(chain.begin(), chain.end());
  return chain;
}

bool siblingAbove(const std::vector<Control>& controls, int a, int b) {
  const bool wa = isWindowed(controls[static_cast<std::size_t>(a)].kind());
  const bool wb = isWindowed(controls[static_cast<std::size_t>(b)].kind());
  if (wa != wb) {
    return wa;
  }
  return a < b; // earlier in the definition lies above
}

} // namespace

RectF clientRect(const std::vector<Control>& controls, int index) {
  const Control& c = controls[static_cast<std::size_t>(index)];
  const PointF o = originOfChildren(controls, c.container);
  if (c.kind() == Kind::Line) {
    const auto& d = *c.def;
    return {o.x + std::min(d.x1, d.x2), o.y + std::min(d.y1, d.y2), o.x + std::max(d.x1, d.x2),
            o.y + std::max(d.y1, d.y2)};
  }
  return {o.x + c.left, o.y + c.top, o.x + c.left + c.width, o.y + c.top + c.height};
}

bool isShown(const std::vector<Control>& controls, int index) {
  for (int i = index; i >= 0; i = controls[static_cast<std::size_t>(i)].container) {
    const Control& c = controls[static_cast<std::size_t>(i)];
    if (!c.visible || c.kind() == Kind::Timer) {
      return false;
    }
  }
  return true;
}

RectF visibleRect(const std::vector<Control>& controls, int index, Twips clientWidth, Twips clientHeight) {
  RectF r = clientRect(controls, index);
  for (int c = controls[static_cast<std::size_t>(index)].container; c >= 0;
       c = controls[static_cast<std::size_t>(c)].container) {
    const RectF outer = clientRect(controls, c);
    const RectF inner = innerArea(controls[static_cast<std::size_t>(c)]);
    r = r.intersected(
        {outer.left + inner.left, outer.top + inner.top, outer.left + inner.right, outer.top + inner.bottom});
  }
  return r.intersected({0, 0, static_cast<double>(clientWidth), static_cast<double>(clientHeight)});
}

bool isAbove(const std::vector<Control>& controls, int a, int b) {
  if (a == b) {
    return false;
  }
  const std::vector<int> ca = ancestry(controls, a);
  const std::vector<int> cb = ancestry(controls, b);
  std::size_t i = 0;
  while (i < ca.size() && i < cb.size() && ca[i] == cb[i]) {
    ++i;
  }
  if (i == ca.size()) {
    return false; // a contains b
  }
  if (i == cb.size()) {
    return true; // b contains a
  }
  return siblingAbove(controls, ca[i], cb[i]);
}

std::vector<int> stackingOrder(const std::vector<Control>& controls) {
  std::vector<int> order;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].kind() != Kind::Timer) {
      order.push_back(static_cast<int>(i));
    }
  }
  std::sort(order.begin(), order.end(), [&](int x, int y) { return isAbove(controls, y, x); });
  return order;
}

int hitTest(const std::vector<Control>& controls, Twips clientWidth, Twips clientHeight, PointF p) {
  int best = -1;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const auto idx = static_cast<int>(i);
    const Kind k = controls[i].kind();
    if (k == Kind::Timer || k == Kind::Line || !isShown(controls, idx)) {
      continue;
    }
    if (!visibleRect(controls, idx, clientWidth, clientHeight).contains(p)) {
      continue;
    }
    if (best < 0 || isAbove(controls, idx, best)) {
      best = idx;
    }
  }
  return best;
}

bool takesFocus(const std::vector<Control>& controls, int index) {
  return isWindowed(controls[static_cast<std::size_t>(index)].kind()) && isShown(controls, index);
}

std::vector<int> tabOrder(const std::vector<Control>& controls) {
  std::vector<int> order;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (isWindowed(controls[i].kind())) {
      order.push_back(static_cast<int>(i));
    }
  }
  std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
    return controls[static_cast<std::size_t>(x)].def->tabIndex <
           controls[static_cast<std::size_t>(y)].def->tabIndex;
  });
  return order;
}

std::vector<int> focusOrder(const std::vector<Control>& controls) {
  std::vector<int> order = tabOrder(controls);
  std::erase_if(order, [&](int i) { return !isShown(controls, i); });
  return order;
}

} // namespace forms
