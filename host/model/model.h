// Scene definitions as plain data, and the rules every front end shares:
// geometry in twips, containment, stacking, hit testing and focus order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace forms {

// 1/1440 inch; 15 twips make one pixel at 96 pixels per inch.
using Twips = std::int32_t;
inline constexpr int kTwipsPerPixel = 15;

// 0x00BBGGRR for a fixed colour, 0x800000nn for system colour nn.
using Colour = std::uint32_t;
inline constexpr Colour kSysTitleText = 0x80000009;     // window background/title text
inline constexpr Colour kSysHighlightText = 0x8000000E; // selected text
inline constexpr bool isSystemColour(Colour c) { return (c & 0xFF000000U) == 0x80000000U; }
inline constexpr int systemColourIndex(Colour c) { return static_cast<int>(c & 0xFFU); }
inline constexpr int red(Colour c) { return static_cast<int>(c & 0xFFU); }
inline constexpr int green(Colour c) { return static_cast<int>((c >> 8) & 0xFFU); }
inline constexpr int blue(Colour c) { return static_cast<int>((c >> 16) & 0xFFU); }

struct Font {
  std::string_view face;
  double points = 9;
  int weight = 400;
  int charset = 128;
  bool italic = false;
  bool underline = false;
  bool strikethrough = false;
};

enum class Kind : std::uint8_t { PictureBox, Label, TextBox, CommandButton, Timer, Line };

// Picture boxes, text boxes and buttons are windowed: they lie above the labels
// and lines of their container and can take the keyboard focus.
inline constexpr bool isWindowed(Kind k) {
  return k == Kind::PictureBox || k == Kind::TextBox || k == Kind::CommandButton;
}

enum class Event : std::uint8_t { Load, Click, MouseMove, Timer };

// Which kind of control receives which event; Load is the form's own. A pointer
// event goes to the control on top at its point, and to nothing beneath it: a
// click on a label lying in a picture box is the label's, which takes no click.
inline constexpr bool receives(Kind k, Event e) {
  switch (e) {
  case Event::Click:
    return k == Kind::CommandButton || k == Kind::PictureBox;
  case Event::MouseMove:
    return k == Kind::PictureBox || k == Kind::Label;
  case Event::Timer:
    return k == Kind::Timer;
  case Event::Load:
    return false;
  }
  return false;
}

struct ControlDef {
  std::string_view name;
  Kind kind = Kind::Label;
  std::string_view container; // empty: the scene's client area
  Twips left = 0, top = 0, width = 0, height = 0;
  Twips x1 = 0, y1 = 0, x2 = 0, y2 = 0; // lines only
  std::int32_t interval = 0;            // timers only, milliseconds
  std::string_view caption;
  std::string_view text;
  std::optional<Colour> backColor;
  std::optional<Colour> foreColor;
  std::optional<Font> font;
  std::string_view picture; // asset name, e.g. "Form2.Picture1"
  bool visible = true;
  std::uint16_t tabIndex = 0;

  // Chained setters keep each scene's table close to how it reads on paper.
  ControlDef& in(std::string_view c) {
    container = c;
    return *this;
  }
  ControlDef& back(Colour c) {
    backColor = c;
    return *this;
  }
  ControlDef& fore(Colour c) {
    foreColor = c;
    return *this;
  }
  ControlDef& withFont(Font f) {
    font = f;
    return *this;
  }
  ControlDef& pic(std::string_view asset) {
    picture = asset;
    return *this;
  }
  ControlDef& hidden() {
    visible = false;
    return *this;
  }
  ControlDef& tab(std::uint16_t i) {
    tabIndex = i;
    return *this;
  }
};

ControlDef pictureBox(std::string_view name, Twips l, Twips t, Twips w, Twips h);
ControlDef label(std::string_view name, Twips l, Twips t, Twips w, Twips h, std::string_view caption);
ControlDef textBox(std::string_view name, Twips l, Twips t, Twips w, Twips h, std::string_view text);
ControlDef button(std::string_view name, Twips l, Twips t, Twips w, Twips h, std::string_view caption);
ControlDef timer(std::string_view name, std::int32_t interval, Twips l = 0, Twips t = 0);
ControlDef line(std::string_view name, Twips x1, Twips y1, Twips x2, Twips y2);

enum class WindowState : std::uint8_t { Normal = 0, Minimized = 1, Maximized = 2 };

struct SceneDef {
  std::string_view name;
  std::string_view caption;
  Twips left = 0, top = 0;     // design position of the client area, screen coordinates
  Twips width = 0, height = 0; // client size
  std::optional<Colour> backColor;
  std::string_view picture; // window picture asset
  std::string_view icon;    // icon asset
  WindowState state = WindowState::Normal;
  std::vector<ControlDef> controls;

  [[nodiscard]] int indexOf(std::string_view control) const;
};

// A picture box's client area lies inside its border.
inline constexpr Twips kPictureBorder = 2 * kTwipsPerPixel;

// The live properties of one control of a loaded scene.
struct Control {
  const ControlDef* def = nullptr;
  int container = -1;      // index of the containing picture box, -1 for the client area
  float left = 0, top = 0; // single-precision twips, as handlers set them
  Twips width = 0, height = 0;
  bool visible = true;
  std::string caption;
  std::string text;
  std::string picture;
  std::int32_t interval = 0;

  [[nodiscard]] Kind kind() const { return def->kind; }
  [[nodiscard]] std::string_view name() const { return def->name; }
};

std::vector<Control> buildControls(const SceneDef& def);

struct PointF {
  double x = 0, y = 0;
};
struct RectF {
  double left = 0, top = 0, right = 0, bottom = 0; // right and bottom excluded
  [[nodiscard]] bool contains(PointF p) const {
    return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
  }
  [[nodiscard]] RectF intersected(const RectF& o) const;
  [[nodiscard]] bool empty() const { return right <= left || bottom <= top; }
};

// Where a control lies in its scene's client coordinates (containers' borders included).
RectF clientRect(const std::vector<Control>& controls, int index);
// The part of a control that can be seen and reached: clipped by every container and
// by the scene's client area.
RectF visibleRect(const std::vector<Control>& controls, int index, Twips clientWidth, Twips clientHeight);
// Seen: its own Visible and that of every container up the chain.
bool isShown(const std::vector<Control>& controls, int index);
// The inner area a picture box offers its children, relative to its own outer corner.
RectF innerArea(const Control& box);

// True when control a lies above control b where they overlap.
bool isAbove(const std::vector<Control>& controls, int a, int b);
// Indices of the controls that can be drawn or hit, from the lowest to the uppermost.
std::vector<int> stackingOrder(const std::vector<Control>& controls);
// The control that receives the pointer at p (client twips), or -1 for the form itself.
int hitTest(const std::vector<Control>& controls, Twips clientWidth, Twips clientHeight, PointF p);

// Every control that can ever take the focus, hidden or not, in ascending TabIndex.
std::vector<int> tabOrder(const std::vector<Control>& controls);
// Those of them that take the keyboard focus now, in the same order.
std::vector<int> focusOrder(const std::vector<Control>& controls);
bool takesFocus(const std::vector<Control>& controls, int index);

} // namespace forms
