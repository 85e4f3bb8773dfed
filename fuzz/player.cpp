#include "fuzz/player.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <set>
#include <utility>

#include "scenes/scenes.h"

namespace fuzz {

using namespace forms;

namespace {

// Past these an input plays on with time standing still, so every input stays quick:
// the scolding ticks every millisecond, and a long text is read on every tick.
constexpr long kHandlerBudget = 10000;
constexpr long kEventBudget = 20000;
constexpr std::size_t kTypedBudget = std::size_t{256} * 1024;
// Enough to close every window the story can have open at once.
constexpr int kCloseAttempts = 40;
constexpr std::size_t kRecentEvents = 24;

constexpr std::array<float, 8> kEdgeDraws = {
    0.0F, 0.2F, 0.19999999F, 0.20000002F, 0.99999994F, 0.5F, 0.1F, 0.3F,
};

double waitMs(std::uint8_t a) {
  if (a < 100) {
    return a;
  }
  if (a < 200) {
    return 100.0 + (a - 100) * 10.0;
  }
  return 1000.0 + (a - 200) * 100.0;
}

double boxMs(std::uint8_t m) {
  const int v = m & 0x7F;
  return v < 100 ? v : (v - 100) * 250.0;
}

float drawOf(std::uint16_t r) {
  if (r >= 0xFFF8) {
    return kEdgeDraws[static_cast<std::size_t>(r - 0xFFF8)];
  }
  return static_cast<float>(r) / 65536.0F;
}

std::string sceneNumbered(int n) { return "Form" + std::to_string(n); }

int sceneNumber(std::string_view name) {
  if (name.size() < 5 || name.substr(0, 4) != "Form") {
    std::fprintf(stderr, "fuzz script: not a scene name: %.*s\n", static_cast<int>(name.size()), name.data());
    std::abort();
  }
  return std::stoi(std::string(name.substr(4)));
}

// Where a scene's window opens: its points are spread over that client area.
Size clientOf(const SceneDef& def) { return clientSize(def, def.state, Headless::kWorkArea); }

const SceneDef* defIn(const std::vector<SceneEntry>& catalog, std::string_view name) {
  const auto it =
      std::find_if(catalog.begin(), catalog.end(), [&](const SceneEntry& e) { return e.def->name == name; });
  return it == catalog.end() ? nullptr : it->def;
}

// A point over the client area and a quarter of it beyond each edge, in whole twips.
double spread(std::uint16_t v, Twips size) {
  const double s = std::max(size, 1);
  return std::round(-s / 4 + static_cast<double>(v) * (1.5 * s) / 65536.0);
}

bool ticking(const Scene& s) {
  return std::any_of(s.controls().begin(), s.controls().end(),
                     [](const Control& c) { return c.kind() == Kind::Timer && c.interval > 0; });
}

bool wholeNumber(std::string_view t) {
  return !t.empty() && (t == "0" || t.front() != '0') &&
         std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Counters the player cannot reach hold only what the game writes into them.
struct HiddenCounter {
  std::string_view scene;
  std::string_view control;
  bool (*holds)(std::string_view);
};
const HiddenCounter kHiddenCounters[] = {
    {"Form4", "Text1", [](std::string_view t) { return t.size() == 1 && t[0] >= '0' && t[0] <= '4'; }},
    {"Form7", "Text1", [](std::string_view t) { return t == "1" || t == "2"; }},
    {"Form7", "Text2", wholeNumber},
    {"Form11", "Text1", [](std::string_view t) { return t.size() == 1 && t[0] >= '1' && t[0] <= '4'; }},
    {"Form13", "Text1", [](std::string_view t) { return t == "Text1"; }},
    {"Form14", "Text1", [](std::string_view t) { return t == "Text1"; }},
};

struct Reader {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t pos = 0;
  [[nodiscard]] bool more() const { return pos < size; }
  std::uint8_t byte() { return pos < size ? data[pos++] : std::uint8_t{0}; }
  std::uint16_t word() {
    const unsigned hi = byte();
    const unsigned lo = byte();
    return static_cast<std::uint16_t>((hi << 8U) | lo);
  }
};

struct Ev {
  Op op = Op::Wait;
  std::uint8_t scene = 0;
  std::uint16_t x = 0, y = 0;
  std::uint8_t arg = 0;
  std::string text;
  int count = 1;
};

std::string decodeText(Reader& in) {
  const std::uint8_t t = in.byte();
  const auto& table = awkwardTexts();
  if (t < 0xA0) {
    return table[t % table.size()];
  }
  if (t < 0xE0) {
    const std::size_t n = in.byte();
    std::string s;
    for (std::size_t i = 0; i < n && in.more(); ++i) {
      s.push_back(static_cast<char>(in.byte()));
    }
    return s;
  }
  std::string unit = table[in.byte() % table.size()];
  if (unit.empty()) {
    unit = "9";
  }
  const std::size_t length = std::size_t{256} << (t & 7U);
  std::string s;
  s.reserve(length + unit.size());
  while (s.size() < length) {
    s += unit;
  }
  s.resize(length); // may cut a character in two
  return s;
}

Ev decode(Reader& in, bool allowRepeat) {
  Ev e;
  e.op = static_cast<Op>(in.byte() % kOps);
  switch (e.op) {
  case Op::Move:
  case Op::Click:
    e.scene = in.byte();
    e.x = in.word();
    e.y = in.word();
    break;
  case Op::Press:
  case Op::Key:
    e.scene = in.byte();
    e.arg = in.byte();
    break;
  case Op::Type:
  case Op::Over:
    e.scene = in.byte();
    e.text = decodeText(in);
    break;
  case Op::Close:
    e.scene = in.byte();
    break;
  case Op::Wait:
  case Op::Boxes:
    e.arg = in.byte();
    break;
  case Op::Draw:
    e.x = in.word();
    break;
  case Op::Repeat: {
    const int n = 2 + in.byte() % 47;
    if (!allowRepeat) {
      e.op = Op::Wait; // a repeat inside a repeat: no time at all
      break;
    }
    Ev inner = decode(in, false);
    inner.count = n;
    return inner;
  }
  }
  return e;
}

std::string printable(std::string_view t) {
  std::string out;
  for (char c : t.substr(0, 40)) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      std::array<char, 8> buf{};
      std::snprintf(buf.data(), buf.size(), "\\x%02X", u);
      out += buf.data();
    } else {
      out.push_back(c);
    }
  }
  if (t.size() > 40) {
    out += "... (" + std::to_string(t.size()) + " bytes)";
  }
  return out;
}

class Player final : public Observer {
public:
  Player(std::vector<SceneEntry> catalog, const Failure& fail) : h_(std::move(catalog)), fail_(&fail) {
    h_.runtime().observe(this);
    h_.onBox = [this](const std::string& prompt) { onBox(prompt); };
  }
  ~Player() override { h_.runtime().observe(nullptr); }
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;
  Player(Player&&) = delete;
  Player& operator=(Player&&) = delete;

  Outcome run(Reader in) {
    startGame(in.byte());
    checkAtRest();
    while (in.more() && out_.events < kEventBudget) {
      const Ev e = decode(in, true);
      for (int i = 0; i < e.count; ++i) {
        exec(e);
        ++out_.events;
        checkAtRest();
      }
    }
    out_.ended = h_.runtime().ended();
    closeEverything();
    out_.log = h_.log();
    out_.handlers = handlers_;
    return out_;
  }

  // Observer
  void handlerStarting(Scene& s, int control, Event e) override {
    ++handlers_;
    const Runtime& rt = h_.runtime();
    if (rt.ended()) {
      fail("a handler started after the end: " + nameOf(s, control));
    }
    if (rt.find(s.name()) != &s) {
      fail("a handler of a scene that is not loaded: " + nameOf(s, control));
    }
    switch (e) {
    case Event::Timer:
      if (rt.inHandler() || rt.boxOpen()) {
        fail("a tick while a handler runs or a box is open: " + nameOf(s, control));
      }
      if (s.controls()[static_cast<std::size_t>(control)].interval <= 0) {
        fail("a tick of a stopped timer: " + nameOf(s, control));
      }
      break;
    case Event::Click:
    case Event::MouseMove:
      if (rt.inHandler() || rt.boxOpen()) {
        fail("input while a handler runs: " + nameOf(s, control));
      }
      if (!s.visible()) {
        fail("input to a scene that is not on screen: " + nameOf(s, control));
      }
      break;
    case Event::Load:
      if (s.visible()) {
        fail("a load of a scene already on screen: " + nameOf(s, control));
      }
      break;
    }
    ++depth_;
  }

  void handlerReturned(Scene& /*s*/, int /*control*/, Event /*e*/) override {
    --depth_;
    if (h_.runtime().ended()) {
      endCalled_ = true; // only End ends the game inside a handler
    }
  }

private:
  static std::string nameOf(const Scene& s, int control) {
    std::string out(s.name());
    out += ".";
    out += control < 0 ? std::string("Form")
                       : std::string(s.controls()[static_cast<std::size_t>(control)].name());
    return out;
  }

  void startGame(std::uint8_t b) {
    const int n = b % 17;
    const std::string name = sceneNumbered(n);
    if (n == 0 || defIn(h_.runtime().catalog(), name) == nullptr) {
      note("start");
      h_.start();
    } else {
      note("start at " + name);
      h_.runtime().show(name);
    }
  }

  std::string sceneName(std::uint8_t s) {
    if (s >= 128) {
      return sceneNumbered((s - 128) % 16 + 1);
    }
    const auto loaded = h_.runtime().loaded();
    if (loaded.empty()) {
      return sceneNumbered(1);
    }
    return std::string(loaded[s % loaded.size()]->name());
  }

  PointF pointIn(const std::string& scene, std::uint16_t x, std::uint16_t y) {
    const SceneDef* def = defIn(h_.runtime().catalog(), scene);
    const Size size = def == nullptr ? Size{1000, 1000} : clientOf(*def);
    return {spread(x, size.width), spread(y, size.height)};
  }

  void exec(const Ev& e) {
    switch (e.op) {
    case Op::Move:
    case Op::Click: {
      const std::string name = sceneName(e.scene);
      const PointF p = pointIn(name, e.x, e.y);
      note((e.op == Op::Move ? "move " : "click ") + name + " at " + std::to_string(std::lround(p.x)) + "," +
           std::to_string(std::lround(p.y)));
      if (e.op == Op::Move) {
        h_.moveTo(name, p);
      } else {
        h_.click(name, p);
      }
      break;
    }
    case Op::Press: {
      const std::string name = sceneName(e.scene);
      Scene* s = h_.scene(name);
      if (s == nullptr || s->controls().empty()) {
        note("press in " + name + " (not loaded)");
        h_.click(name, "Command1");
        break;
      }
      const std::string control(s->controls()[e.arg % s->controls().size()].name());
      note("press " + name + "." + control);
      h_.click(name, control);
      break;
    }
    case Op::Key: {
      const std::string name = sceneName(e.scene);
      const auto k = static_cast<Key>(e.arg % 4);
      static constexpr std::array<const char*, 4> kKeys = {"Tab", "Space", "Enter", "Escape"};
      note(std::string("key ") + kKeys[static_cast<std::size_t>(k)] + " in " + name);
      h_.key(name, k);
      break;
    }
    case Op::Type:
    case Op::Over: {
      const std::string name = sceneName(e.scene);
      std::string_view text = e.text;
      text = text.substr(0, kTypedBudget - std::min(kTypedBudget, typed_));
      typed_ += text.size();
      note((e.op == Op::Type ? "type in " : "type over in ") + name + " [" + h_.focused(name) +
           "]: " + printable(text));
      if (e.op == Op::Type) {
        h_.type(name, text);
      } else {
        typeOver(name, text);
      }
      break;
    }
    case Op::Close:
      close(sceneName(e.scene));
      break;
    case Op::Wait:
      note("wait " + std::to_string(waitMs(e.arg)) + " ms");
      if (handlers_ < kHandlerBudget) {
        h_.advance(waitMs(e.arg));
      }
      break;
    case Op::Draw:
      note("draw " + std::to_string(drawOf(e.x)));
      h_.random().push(drawOf(e.x));
      break;
    case Op::Boxes:
      boxAfterMs_ = boxMs(e.arg);
      boxTry_ = (e.arg & 0x80U) != 0;
      note("boxes answered after " + std::to_string(boxAfterMs_) + " ms" + (boxTry_ ? ", input tried" : ""));
      break;
    case Op::Repeat:
      break;
    }
  }

  // The player selects what the box holds and types over it.
  void typeOver(const std::string& name, std::string_view text) {
    if (!h_.type(name, "")) {
      return; // no box has the focus, or the window takes no input now
    }
    Scene* s = h_.scene(name);
    h_.runtime().typed(*s, s->focus(), std::string(text));
  }

  void close(const std::string& name) {
    note("close " + name);
    const Scene* target = h_.scene(name);
    const auto loaded = h_.runtime().loaded();
    const bool othersLeft = std::any_of(loaded.begin(), loaded.end(), [&](const Scene* s) {
      return s != target && (s->visible() || ticking(*s));
    });
    if (h_.close(name) && h_.runtime().ended()) {
      if (othersLeft) {
        fail("closing " + name + " ended the game with other windows left");
      }
      closedToEnd_ = true;
    }
  }

  void closeEverything() {
    for (int i = 0; i < kCloseAttempts && !h_.runtime().ended(); ++i) {
      const auto shown = h_.shownScenes();
      if (shown.empty()) {
        break;
      }
      close(shown.back());
      ++out_.events;
      checkAtRest();
    }
    if (!h_.runtime().ended()) {
      fail("closing every window did not end the game");
    }
  }

  void onBox(const std::string& prompt) {
    ++boxDepth_;
    if (boxDepth_ > 1) {
      fail("a box opened over another: " + prompt);
    }
    const Runtime& rt = h_.runtime();
    if (!rt.boxOpen() || !rt.inHandler() || !h_.boxIsOpen()) {
      fail("a box open outside a handler: " + prompt);
    }
    if (boxTry_) {
      tryInputWhileBoxOpen(prompt);
    }
    if (boxAfterMs_ > 0 && handlers_ < kHandlerBudget) {
      h_.advance(boxAfterMs_);
    }
    --boxDepth_;
  }

  // Everything the game shows and holds, to see that nothing changed.
  std::vector<std::string> snapshot() {
    std::vector<std::string> out;
    for (const Scene* s : h_.runtime().loaded()) {
      std::string scene(s->name());
      scene += "#" + std::to_string(s->serial());
      scene += s->visible() ? " shown" : "";
      out.push_back(std::move(scene));
      for (const Control& c : s->controls()) {
        std::string control = c.text;
        control += "|";
        control += c.caption;
        control += "|";
        control += c.picture;
        control += c.visible ? "" : " hidden";
        out.push_back(std::move(control));
      }
    }
    return out;
  }

  void tryInputWhileBoxOpen(const std::string& prompt) {
    const auto before = snapshot();
    for (const Scene* s : h_.runtime().loaded()) {
      const std::string name(s->name());
      const Size size = s->clientSize();
      const PointF middle{size.width / 2.0, size.height / 2.0};
      bool taken = h_.moveTo(name, middle) || h_.click(name, middle) || h_.key(name, Key::Space) ||
                   h_.key(name, Key::Tab) || h_.type(name, "1") || h_.close(name);
      for (const Control& c : s->controls()) {
        taken = taken || h_.click(name, c.name());
      }
      if (taken) {
        std::string what = "input reached ";
        what += name;
        what += " while the box " + prompt + " was open";
        fail(what);
      }
    }
    if (snapshot() != before) {
      fail("the game changed while the box " + prompt + " was open");
    }
  }

  void checkAtRest() {
    const Runtime& rt = h_.runtime();
    if (depth_ != 0 || boxDepth_ != 0 || rt.inHandler() || rt.boxOpen() || h_.boxIsOpen()) {
      fail("a handler or a box is still open between events");
    }
    const auto loaded = rt.loaded();
    std::set<std::string_view> names;
    for (const Scene* s : loaded) {
      if (!names.insert(s->name()).second) {
        fail("two instances of " + std::string(s->name()));
      }
    }
    if (rt.ended() != h_.hasEnded()) {
      fail("the runtime and the front end disagree on the end");
    }
    if (rt.ended()) {
      if (!loaded.empty()) {
        fail("the game ended with " + std::string(loaded.front()->name()) + " still loaded");
      }
      if (!endCalled_ && !closedToEnd_) {
        fail("the game ended without End or the last window closed");
      }
    } else if (std::none_of(loaded.begin(), loaded.end(),
                            [](const Scene* s) { return s->visible() || ticking(*s); })) {
      fail("the game runs on with no window on screen and nothing to come");
    }
    if (h_.nowMs() < lastMs_) {
      fail("the clock went back");
    }
    lastMs_ = h_.nowMs();
    for (const HiddenCounter& c : kHiddenCounters) {
      const Scene* s = rt.find(c.scene);
      const int i = s == nullptr ? -1 : s->def().indexOf(c.control);
      if (i >= 0) {
        const std::string& t = s->controls()[static_cast<std::size_t>(i)].text;
        if (!c.holds(t)) {
          fail("the hidden counter " + std::string(c.scene) + "." + std::string(c.control) + " holds \"" +
               printable(t) + "\"");
        }
      }
    }
  }

  void note(std::string what) {
    recent_.push_back(std::to_string(out_.events) + ": " + std::move(what));
    if (recent_.size() > kRecentEvents) {
      recent_.pop_front();
    }
  }

  void fail(const std::string& what) const {
    std::string msg = "broken rule: " + what + "\nlast events:\n";
    for (const auto& r : recent_) {
      msg += "  " + r + "\n";
    }
    msg += "last of the log:\n";
    const auto& log = h_.log();
    for (std::size_t i = log.size() > 16 ? log.size() - 16 : 0; i < log.size(); ++i) {
      msg += "  " + printable(log[i]) + "\n";
    }
    (*fail_)(msg);
    std::abort(); // a failure handler must not return into the game
  }

  Headless h_;
  const Failure* fail_;
  Outcome out_;
  std::deque<std::string> recent_;
  long handlers_ = 0;
  std::size_t typed_ = 0;
  int depth_ = 0;
  int boxDepth_ = 0;
  double boxAfterMs_ = 0;
  bool boxTry_ = false;
  bool endCalled_ = false;
  bool closedToEnd_ = false;
  double lastMs_ = 0;
};

const std::vector<forms::SceneEntry>& gameCatalog() {
  static const auto catalog = scenes::catalog();
  return catalog;
}

} // namespace

void abortWith(const std::string& what) {
  std::fputs(what.c_str(), stderr);
  std::fflush(stderr);
  std::abort();
}

const std::vector<std::string>& awkwardTexts() {
  static const std::vector<std::string> texts = {
      "",
      "0",
      "1",
      "2",
      "3",
      "4",
      "9.9",
      "10",
      "10.0",
      "29",
      "30",
      "31",
      "9.9.9",
      "-1",
      "+5",
      ".5",
      "5.",
      "-",
      ".",
      "e5",
      "1e3",
      "1e308",
      "1e309",
      "-1e309",
      "1e-400",
      "0x10",
      "nan",
      "inf",
      " 2",
      "\t3",
      "3 ",
      "2abc",
      "abc",
      "２",
      "１０",
      "３ab",
      "−1",
      "ー１",
      "　１",
      "＋５",
      "ごめんなさい",
      "反省しています　もうしません",
      "ok",
      std::string(1, '\0') + "1",
      "\x01\x02\x7F",
      "\x1B[2J",
      "\b\b\b",
      "\r\n2",
      "3\n",
      "\xFF",
      std::string("\xFE\xFF") + "3",
      "3\xC3",
      "\xE3\x81",
      "\xEF\xBC",
      "\xEF\xBC\x91\xEF",
      "\xED\xA0\x80",
      "\xF4\x90\x80\x80",
      "\xC0\xAF",
      "123456789012345678901234567890",
      "0.1000000000000000055511151231257827",
      "99999999999999999999",
  };
  return texts;
}

Outcome play(const std::uint8_t* data, std::size_t size, std::vector<SceneEntry> catalog,
             const Failure& fail) {
  Player p(std::move(catalog), fail);
  return p.run(Reader{data, size});
}

Outcome play(const std::uint8_t* data, std::size_t size) { return play(data, size, gameCatalog()); }

// ---- Script ------------------------------------------------------------------

Script::Script(int start) { bytes_.push_back(static_cast<std::uint8_t>(start)); }

void Script::scene(std::string_view name) {
  bytes_.push_back(static_cast<std::uint8_t>(128 + (sceneNumber(name) - 1)));
}

void Script::point(std::string_view sceneName, PointF p) {
  const Size area = clientOf(*defIn(gameCatalog(), sceneName));
  for (const auto& [v, size] : {std::pair{p.x, area.width}, std::pair{p.y, area.height}}) {
    const double s = std::max(size, 1);
    const long code = std::lround((v + s / 4) * 65536.0 / (1.5 * s));
    const auto word = static_cast<std::uint16_t>(std::clamp(code, 0L, 65535L));
    bytes_.push_back(static_cast<std::uint8_t>(word >> 8U));
    bytes_.push_back(static_cast<std::uint8_t>(word & 0xFFU));
  }
}

Script& Script::move(std::string_view s, PointF p) {
  bytes_.push_back(static_cast<std::uint8_t>(Op::Move));
  scene(s);
  point(s, p);
  return *this;
}

Script& Script::click(std::string_view s, PointF p) {
  bytes_.push_back(static_cast<std::uint8_t>(Op::Click));
  scene(s);
  point(s, p);
  return *this;
}

Script& Script::press(std::string_view s, std::string_view control) {
  const int i = defIn(gameCatalog(), s)->indexOf(control);
  if (i < 0) {
    std::fprintf(stderr, "fuzz script: no such control: %.*s\n", static_cast<int>(control.size()),
                 control.data());
    std::abort();
  }
  bytes_.push_back(static_cast<std::uint8_t>(Op::Press));
  scene(s);
  bytes_.push_back(static_cast<std::uint8_t>(i));
  return *this;
}

Script& Script::key(std::string_view s, Key k) {
  bytes_.push_back(static_cast<std::uint8_t>(Op::Key));
  scene(s);
  bytes_.push_back(static_cast<std::uint8_t>(k));
  return *this;
}

void Script::text(std::string_view t) {
  bytes_.push_back(0xA0);
  bytes_.push_back(static_cast<std::uint8_t>(t.size()));
  bytes_.insert(bytes_.end(), t.begin(), t.end());
}

Script& Script::type(std::string_view s, std::string_view t) {
  do {
    const std::string_view chunk = t.substr(0, 255);
    t.remove_prefix(chunk.size());
    bytes_.push_back(static_cast<std::uint8_t>(Op::Type));
    scene(s);
    text(chunk);
  } while (!t.empty());
  return *this;
}

Script& Script::typeOver(std::string_view s, std::string_view t) {
  const std::string_view first = t.substr(0, 255);
  bytes_.push_back(static_cast<std::uint8_t>(Op::Over));
  scene(s);
  text(first);
  if (t.size() > first.size()) {
    type(s, t.substr(first.size()));
  }
  return *this;
}

Script& Script::typeAwkward(std::string_view s, int entry) {
  bytes_.push_back(static_cast<std::uint8_t>(Op::Type));
  scene(s);
  bytes_.push_back(static_cast<std::uint8_t>(entry));
  return *this;
}

Script& Script::close(std::string_view s) {
  bytes_.push_back(static_cast<std::uint8_t>(Op::Close));
  scene(s);
  return *this;
}

Script& Script::wait(int ms) {
  do {
    int a = 0;
    int step = 0;
    if (ms >= 1000) {
      step = std::min(6500, ms - ms % 100);
      a = 200 + (step - 1000) / 100;
    } else if (ms >= 100) {
      step = ms - ms % 10;
      a = 100 + (step - 100) / 10;
    } else {
      step = ms;
      a = ms;
    }
    bytes_.push_back(static_cast<std::uint8_t>(Op::Wait));
    bytes_.push_back(static_cast<std::uint8_t>(a));
    ms -= step;
  } while (ms > 0);
  return *this;
}

Script& Script::draw(float r) {
  bytes_.push_back(static_cast<std::uint8_t>(Op::Draw));
  const auto edge = std::find(kEdgeDraws.begin(), kEdgeDraws.end(), r);
  const long code = edge != kEdgeDraws.end() ? 0xFFF8 + (edge - kEdgeDraws.begin())
                                             : std::clamp(std::lround(r * 65536.0), 0L, 0xFFF7L);
  bytes_.push_back(static_cast<std::uint8_t>(code >> 8));
  bytes_.push_back(static_cast<std::uint8_t>(code & 0xFF));
  return *this;
}

Script& Script::boxes(int answerAfterMs, bool tryInput) {
  const int m = answerAfterMs < 100 ? answerAfterMs : std::min(127, 100 + answerAfterMs / 250);
  bytes_.push_back(static_cast<std::uint8_t>(Op::Boxes));
  bytes_.push_back(static_cast<std::uint8_t>(m | (tryInput ? 0x80 : 0)));
  return *this;
}

Script& Script::times(int n) {
  bytes_.push_back(static_cast<std::uint8_t>(Op::Repeat));
  bytes_.push_back(static_cast<std::uint8_t>(std::clamp(n, 2, 48) - 2));
  return *this;
}

} // namespace fuzz
