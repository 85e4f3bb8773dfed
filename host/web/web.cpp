// The browser front end: the runtime and the scenes in WebAssembly, each shown
// scene a window-like element of the page, drawn by page.js.
//
// Does: a window per shown scene at its design position, 15 twips to a CSS
// pixel, with a caption bar, a close box and dragging by the bar; the
// companion's minimized and the cans' maximized window state (a bar at the
// bottom of the page, and the whole page); controls at their twip rectangles
// with the model's stacking and clipping; every pointer event sent where the
// model's hit test says; the message box, application-modal, blocking its
// handler through Asyncify; timers on one setTimeout to the runtime's next due
// time, performance.now() the clock; the beep through Web Audio; the end of the
// program, with a way to play again.
//
// Does not, or differently from the desktop:
// - positions are the page's: a window opens at its design position in the
//   page, not on the screen, and a maximized one fills the page;
// - no minimize to a taskbar: a minimized window is a bar at the bottom of the
//   page, which a click restores, and the player cannot minimize or maximize;
// - the beep sounds only after the first gesture (a click or a key) on the page,
//   as browsers allow; until then the title beeps silently and says so;
// - typed text falls back to the browser's Japanese face for glyphs the game's
//   own texts never use, since the page carries only those.
#include <emscripten.h>

#include <chrono>
#include <memory>
#include <string>

#include "look/look.h"
#include "runtime/runtime.h"
#include "scenes/scenes.h"

namespace {

using namespace forms;

// ---- What page.js does for the wasm side ----------------------------------
// Scenes are named by their serial, which a fresh load never reuses; controls by
// their index in the scene's definition.

// clang-format off
EM_JS(void, page_role, (const char* role, const char* css), { botoronPage.role(UTF8ToString(role), UTF8ToString(css)); });
EM_JS(void, page_face, (const char* face, const char* families, int isDefault), {
  botoronPage.face(UTF8ToString(face), UTF8ToString(families), isDefault !== 0);
});
EM_JS(void, page_caption_metrics, (double pitchEm, double baselineEm), { botoronPage.captionMetrics(pitchEm, baselineEm); });
EM_JS(void, page_scene, (int serial, const char* name, const char* caption, int left, int top, int width, int height,
                         int state, const char* back, const char* picture), {
  botoronPage.scene(serial, UTF8ToString(name), UTF8ToString(caption), left, top, width, height, state,
                    UTF8ToString(back), UTF8ToString(picture));
});
EM_JS(void, page_control, (int serial, int index, int kind, const char* name, int container, int z), {
  botoronPage.control(serial, index, kind, UTF8ToString(name), container, z);
});
EM_JS(void, page_ring, (int serial, int index, const char* topLeft, const char* bottomRight), {
  botoronPage.ring(serial, index, UTF8ToString(topLeft), UTF8ToString(bottomRight));
});
EM_JS(void, page_line, (int serial, int index, int container, int x1, int y1, int x2, int y2, const char* colour,
                        int width), {
  botoronPage.line(serial, index, container, x1, y1, x2, y2, UTF8ToString(colour), width);
});
EM_JS(void, page_geometry, (int serial, int index, int left, int top, int width, int height), {
  botoronPage.geometry(serial, index, left, top, width, height);
});
EM_JS(void, page_colours, (int serial, int index, const char* back, const char* fore), {
  botoronPage.colours(serial, index, UTF8ToString(back), UTF8ToString(fore));
});
EM_JS(void, page_font, (int serial, int index, const char* face, int pixels, int bold, int italic, int underline,
                        int strike), {
  botoronPage.font(serial, index, UTF8ToString(face), pixels, bold !== 0, italic !== 0, underline !== 0, strike !== 0);
});
EM_JS(void, page_text, (int serial, int index, const char* text), { botoronPage.text(serial, index, UTF8ToString(text)); });
EM_JS(void, page_picture, (int serial, int index, const char* file), {
  botoronPage.picture(serial, index, UTF8ToString(file));
});
EM_JS(void, page_visible, (int serial, int index, int visible), { botoronPage.visible(serial, index, visible !== 0); });
EM_JS(void, page_shown, (int serial), { botoronPage.shown(serial); });
EM_JS(void, page_destroyed, (int serial), { botoronPage.destroyed(serial); });
EM_JS(void, page_focus, (int serial, int index), { botoronPage.focus(serial, index); });
EM_JS(void, page_beep, (), { botoronPage.beep(); });
EM_JS(void, page_schedule, (double ms), { botoronPage.schedule(ms); });
EM_JS(void, page_ended, (), { botoronPage.ended(); });
// The one call that waits: it returns when the player has closed the box, and
// Asyncify keeps the handler's stack meanwhile. page.js calls nothing in here
// until it has returned.
EM_ASYNC_JS(void, page_box, (const char* title, const char* prompt), {
  await botoronPage.box(UTF8ToString(title), UTF8ToString(prompt));
});
// clang-format on

const char* roleName(look::Role role) {
  switch (role) {
  case look::Role::Window:
    return "window";
  case look::Role::WindowText:
    return "window-text";
  case look::Role::Base:
    return "base";
  case look::Role::Text:
    return "text";
  case look::Role::Button:
    return "button";
  case look::Role::ButtonText:
    return "button-text";
  case look::Role::Light:
    return "light";
  case look::Role::Dark:
    return "dark";
  case look::Role::Shadow:
    return "shadow";
  case look::Role::Highlight:
    return "highlight";
  case look::Role::HighlightedText:
    return "highlighted-text";
  }
  return "window";
}

std::string hex(look::Rgb c) {
  constexpr const char* digits = "0123456789abcdef";
  std::string out = "#";
  for (const std::uint8_t v : {c.r, c.g, c.b}) {
    out.push_back(digits[v >> 4U]);
    out.push_back(digits[v & 0xFU]);
  }
  return out;
}

// A role stays a role, so that the page draws it from its scheme, as the desktop does.
std::string css(const look::Paint& p) {
  if (const look::Role* r = std::get_if<look::Role>(&p)) {
    return std::string("var(--role-") + roleName(*r) + ")";
  }
  return hex(std::get<look::Rgb>(p));
}

class WebClock final : public Clock {
public:
  [[nodiscard]] Time now() const override {
    return std::chrono::duration_cast<Time>(std::chrono::duration<double, std::milli>(emscripten_get_now()));
  }
};

int serialOf(const Scene& s) { return static_cast<int>(s.serial()); }
const Control& controlOf(const Scene& s, int i) { return s.controls()[static_cast<std::size_t>(i)]; }

class WebFrontend final : public Frontend {
public:
  WebFrontend() : runtime_(scenes::catalog(), clock_, random_) { runtime_.attach(*this); }

  Runtime& runtime() { return runtime_; }

  void start() {
    for (const look::Role r : look::kRoles) {
      page_role(roleName(r), hex(look::classic(r)).c_str());
    }
    for (const std::string_view face : look::kNamedFaces) {
      std::string families;
      for (const std::string_view f : look::standIns(face)) {
        families += families.empty() ? "" : ",";
        families += f;
      }
      page_face(std::string(face).c_str(), families.c_str(), face == look::kDefaultFont.face ? 1 : 0);
    }
    page_caption_metrics(look::kCaptionLinePitchEm, look::kCaptionBaselineEm);
    runtime_.start();
  }

  Scene* bySerial(int serial) const {
    for (Scene* s : runtime_.loaded()) {
      if (serialOf(*s) == serial) {
        return s;
      }
    }
    return nullptr;
  }

  // Pointer input at a point of a scene's client area, in CSS pixels; the client
  // size is the one the page gives it now (a maximized window fills the page).
  void pointer(int serial, int what, double x, double y, double width, double height) {
    Scene* s = bySerial(serial);
    if (s == nullptr || !s->visible()) {
      return;
    }
    const int hit =
        hitTest(s->controls(), static_cast<Twips>(width * kTwipsPerPixel),
                static_cast<Twips>(height * kTwipsPerPixel), PointF{x * kTwipsPerPixel, y * kTwipsPerPixel});
    // Which kind takes which event, and where the focus goes, is the runtime's.
    switch (what) {
    case kMove:
      runtime_.mouseMove(*s, hit);
      break;
    case kPress:
      pressed_ = {serial, hit};
      runtime_.focus(*s, hit);
      break;
    case kRelease: {
      // A click is a press and a release on the same control, as on the desktop.
      const bool same = pressed_.serial == serial && pressed_.control == hit;
      pressed_ = {};
      if (same) {
        runtime_.click(*s, hit);
      }
      break;
    }
    default:
      break;
    }
  }

  // The one place keys become the runtime's input: Tab and Shift+Tab, and Enter or
  // Space on a focused button (the page sends either as one press). The control the
  // browser has focused is reported first, should the player have moved it natively.
  void key(int serial, int focused, int which) {
    Scene* s = bySerial(serial);
    if (s == nullptr || !s->visible()) {
      return;
    }
    if (focused >= 0 && focused != s->focus()) {
      runtime_.focus(*s, focused);
    }
    runtime_.key(*s, which == kTab ? Key::Tab : which == kBackTab ? Key::BackTab : Key::Enter);
  }

  void typed(int serial, int control, std::string text) {
    Scene* s = bySerial(serial);
    if (s == nullptr || control < 0 || static_cast<std::size_t>(control) >= s->controls().size()) {
      return;
    }
    if (controlOf(*s, control).kind() == Kind::TextBox && !runtime_.typed(*s, control, std::move(text))) {
      // Not taken: the box shows what the scene holds.
      page_text(serial, control, controlOf(*s, control).text.c_str());
    }
  }

  // The player restored a window from its bar (the page has no other state change).
  void windowState(int serial, int state) {
    if (Scene* s = bySerial(serial); s != nullptr && state >= 0 && state <= 2) {
      runtime_.windowStateChanged(*s, static_cast<WindowState>(state));
    }
  }

  void close(int serial) {
    if (Scene* s = bySerial(serial)) {
      runtime_.closeRequested(*s);
    }
  }

  void service() { runtime_.serviceTimers(); }

  // After every call from the page: the next tick's time, once the handler that
  // the call ran has returned (boxes and all).
  void settle() {
    if (runtime_.ended()) {
      return;
    }
    const auto due = runtime_.nextDue();
    if (!due) {
      page_schedule(-1);
      return;
    }
    const double ms = std::chrono::duration<double, std::milli>(*due - clock_.now()).count();
    page_schedule(ms < 0 ? 0 : ms);
  }

  // Frontend
  void created(Scene& scene) override {
    const SceneDef& d = scene.def();
    const int serial = serialOf(scene);
    page_scene(serial, std::string(d.name).c_str(), std::string(d.caption).c_str(), look::pixels(d.left),
               look::pixels(d.top), look::pixels(d.width), look::pixels(d.height), static_cast<int>(d.state),
               css(look::backOf(d)).c_str(), pictureOf(d.picture).c_str());
    const auto& controls = scene.controls();
    std::vector<int> z(controls.size(), 0);
    int level = 1; // 0 is the surface the lines are drawn on
    for (const int i : stackingOrder(controls)) {
      z[static_cast<std::size_t>(i)] = level++;
    }
    // Containers before what they contain, so that each finds its parent.
    for (int pass = 0; pass < 2; ++pass) {
      for (std::size_t i = 0; i < controls.size(); ++i) {
        const Control& c = controls[i];
        if ((c.container >= 0) != (pass == 1)) {
          continue;
        }
        build(scene, static_cast<int>(i), z[i]);
      }
    }
  }

  void shown(Scene& scene) override {
    page_shown(serialOf(scene));
    if (scene.focus() >= 0) {
      page_focus(serialOf(scene), scene.focus());
    }
  }

  void destroyed(Scene& scene) override { page_destroyed(serialOf(scene)); }

  void changed(Scene& scene, int control, Property what) override {
    const int serial = serialOf(scene);
    if (what == Property::Focus) {
      if (control >= 0) {
        page_focus(serial, control);
      }
      return;
    }
    const Control& c = controlOf(scene, control);
    switch (what) {
    case Property::Text:
      page_text(serial, control, c.text.c_str());
      break;
    case Property::Caption:
      page_text(serial, control, c.caption.c_str());
      break;
    case Property::Visible:
      page_visible(serial, control, c.visible ? 1 : 0);
      break;
    case Property::Position:
      place(scene, control);
      break;
    case Property::Picture:
      page_picture(serial, control, pictureOf(c.picture).c_str());
      break;
    case Property::Interval:
    case Property::Focus:
      break;
    }
  }

  void messageBox(std::string_view title, std::string_view prompt) override {
    page_box(std::string(title).c_str(), std::string(prompt).c_str());
  }

  void beep() override { page_beep(); }
  void timersChanged() override { settle(); }
  void ended() override {
    page_schedule(-1);
    page_ended();
  }

  static constexpr int kMove = 0, kPress = 1, kRelease = 2;
  static constexpr int kTab = 0, kBackTab = 1; // any other key presses the focused button

private:
  static std::string pictureOf(std::string_view asset) {
    return asset.empty() ? "" : look::pictureFile(asset);
  }

  static void place(const Scene& scene, int i) {
    const Control& c = controlOf(scene, i);
    page_geometry(serialOf(scene), i, look::pixels(c.left), look::pixels(c.top), look::pixels(c.width),
                  look::pixels(c.height));
  }

  static void build(const Scene& scene, int i, int z) {
    const int serial = serialOf(scene);
    const Control& c = controlOf(scene, i);
    const ControlDef& d = *c.def;
    page_control(serial, i, static_cast<int>(c.kind()), std::string(c.name()).c_str(), c.container, z);
    switch (c.kind()) {
    case Kind::Line: {
      const look::Rgb ink = look::kLineColour;
      page_line(serial, i, c.container, look::pixels(d.x1), look::pixels(d.y1), look::pixels(d.x2),
                look::pixels(d.y2), hex(ink).c_str(), look::kLinePixels);
      return;
    }
    case Kind::Timer:
      page_visible(serial, i, 0);
      return;
    case Kind::PictureBox:
      for (const look::Ring& r : look::kSunkenRings) {
        page_ring(serial, i, css(r.topLeft).c_str(), css(r.bottomRight).c_str());
      }
      page_picture(serial, i, pictureOf(c.picture).c_str());
      break;
    case Kind::Label:
    case Kind::TextBox:
    case Kind::CommandButton:
      break;
    }
    place(scene, i);
    page_colours(serial, i, css(look::backOf(d)).c_str(), css(look::foreOf(d)).c_str());
    const Font f = look::fontOf(d.font);
    page_font(serial, i, std::string(f.face).c_str(), look::pixelsOfPoints(f.points), look::isBold(f) ? 1 : 0,
              f.italic ? 1 : 0, f.underline ? 1 : 0, f.strikethrough ? 1 : 0);
    if (c.kind() == Kind::TextBox) {
      page_text(serial, i, c.text.c_str());
    } else if (c.kind() != Kind::PictureBox) {
      page_text(serial, i, c.caption.c_str());
    }
    page_visible(serial, i, c.visible ? 1 : 0);
  }

  struct Pressed {
    int serial = 0;
    int control = -2;
  };

  WebClock clock_;
  DefaultRandom random_;
  Runtime runtime_;
  Pressed pressed_;
};

WebFrontend* front = nullptr;

} // namespace

// ---- What the page calls -------------------------------------------------
// Each runs what the input asks, then sets the next tick. While a box is open the
// page calls none of them.

extern "C" {

EMSCRIPTEN_KEEPALIVE void web_start() {
  static std::unique_ptr<WebFrontend> frontend;
  frontend = std::make_unique<WebFrontend>();
  front = frontend.get();
  front->start();
  front->settle();
}

EMSCRIPTEN_KEEPALIVE void web_pointer(int serial, int what, double x, double y, double width, double height) {
  front->pointer(serial, what, x, y, width, height);
  front->settle();
}

EMSCRIPTEN_KEEPALIVE void web_key(int serial, int focused, int which) {
  front->key(serial, focused, which);
  front->settle();
}

EMSCRIPTEN_KEEPALIVE void web_typed(int serial, int control, const char* text) {
  front->typed(serial, control, text);
  front->settle();
}

EMSCRIPTEN_KEEPALIVE void web_close(int serial) {
  front->close(serial);
  front->settle();
}

EMSCRIPTEN_KEEPALIVE void web_window(int serial, int state) {
  front->windowState(serial, state);
  front->settle();
}

EMSCRIPTEN_KEEPALIVE void web_service() {
  front->service();
  front->settle();
}

} // extern "C"
