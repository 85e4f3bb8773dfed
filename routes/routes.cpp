#include "routes/routes.h"

#include <cmath>

namespace routes {

using forms::Headless;
using Op = Step::Op;

Route& Route::wait(double ms) {
  steps_.push_back({.op = Op::Wait, .ms = ms});
  return *this;
}

Route& Route::press(std::string_view scene, std::string_view control, int times) {
  steps_.push_back({.op = Op::Press, .scene = scene, .control = control, .times = times});
  return *this;
}

Route& Route::move(std::string_view scene, PointF at) {
  steps_.push_back({.op = Op::Move, .scene = scene, .at = at});
  return *this;
}

Route& Route::walk(std::string_view scene, std::span<const PointF> way) {
  steps_.push_back({.op = Op::Walk, .scene = scene, .way = way});
  return *this;
}

Route& Route::type(std::string_view scene, std::string_view text) {
  steps_.push_back({.op = Op::Type, .scene = scene, .text = std::string(text)});
  return *this;
}

Route& Route::draw(float r) {
  steps_.push_back({.op = Op::Draw, .draw = r});
  return *this;
}

Route& Route::close(std::string_view scene) {
  steps_.push_back({.op = Op::Close, .scene = scene});
  return *this;
}

Route& Route::then(const Route& leg) {
  steps_.insert(steps_.end(), leg.steps_.begin(), leg.steps_.end());
  return *this;
}

// ---- Legs ---------------------------------------------------------------------

Route title() { return Route().wait(3000); }

Route shop() { return Route().press("Form2", "Command1"); }

Route spreadCans() {
  Route r;
  for (float d : {0.0F, 0.0F, 0.6F, 0.0F, 0.0F, 0.3F, 0.3F, 0.3F, 0.6F, 0.3F}) {
    r.draw(d);
  }
  return r;
}

Route throughTheMaze() { return Route().press("Form3", "Command1").walk("Form3", kFreeWay); }

Route foundInTheMaze() { return Route().press("Form3", "Command1").move("Form3", kOnAWall); }

Route rightCan() { return Route().press("Form5", "Picture4"); }

Route wrongCans() { return Route().press("Form5", "Picture1", 3); }

Route dryIce(int presses) {
  Route r;
  r.press("Form7", "Command2");
  if (presses > 0) {
    r.press("Form7", "Command1", presses);
  }
  return r.wait(5000);
}

Route water(int tenths) {
  return Route().press("Form10", "Command1").wait(100.0 * tenths).press("Form10", "Command2");
}

Route missTheWaterThrice() { return water(99).then(water(101)).then(water(5)); }

Route thrower() { return Route().press("Form11", "Command1").press("Form11", "Command5"); }

Route bombHit() { return Route().draw(0.1F).press("Form12", "Command1").wait(1).press("Form12", "Command2"); }

Route tooSlowToTheCafe() { return Route().press("Form12", "Command1").wait(600).press("Form14", "Command1"); }

Route song() { return Route().press("Form13", "Command1").press("Form16", "Command1"); }

Route toTheLetter(AtTheStation station) {
  Route r;
  r.press("Form6", "Command1");
  if (station == AtTheStation::RefuseFirst) {
    r.press("Form8", "Command2").wait(20);
  }
  return r.press("Form8", "Command1").type("Form9", kLetter).press("Form9", "Command1");
}

// ---- Whole routes ---------------------------------------------------------------

namespace {

// From the program's start to the maze, the cans' draws queued on the way.
Route intoTheMaze() { return Route("").then(spreadCans()).then(title()).then(shop()); }

} // namespace

Route win() {
  return intoTheMaze()
      .then(throughTheMaze())
      .then(rightCan())
      .then(dryIce(31))
      .then(water(100))
      .then(thrower())
      .then(bombHit())
      .then(song());
}

Route caughtInTheMaze(AtTheStation station) {
  return intoTheMaze()
      .then(foundInTheMaze())
      .then(foundInTheMaze())
      .then(foundInTheMaze())
      .press("Form3", "Command1")
      .then(toTheLetter(station));
}

Route caughtAtTheCans() { return intoTheMaze().then(throughTheMaze()).then(wrongCans()).then(toTheLetter()); }

Route caughtAtTheDryIce() {
  return intoTheMaze().then(throughTheMaze()).then(rightCan()).then(dryIce(0)).then(toTheLetter());
}

Route caughtAtTheWater() {
  return intoTheMaze()
      .then(throughTheMaze())
      .then(rightCan())
      .then(dryIce(31))
      .then(missTheWaterThrice())
      .then(toTheLetter());
}

Route caughtAtTheCafe() {
  return intoTheMaze()
      .then(throughTheMaze())
      .then(rightCan())
      .then(dryIce(31))
      .then(water(100))
      .then(thrower())
      .then(tooSlowToTheCafe())
      .then(toTheLetter());
}

Route closedAtTheTitle() { return Route("").wait(1500).close("Form1"); }

std::vector<Named> all() {
  return {
      {"win", win()},
      {"caught-in-the-maze", caughtInTheMaze()},
      {"caught-at-the-cans", caughtAtTheCans()},
      {"caught-at-the-dry-ice", caughtAtTheDryIce()},
      {"caught-at-the-water", caughtAtTheWater()},
      {"caught-at-the-cafe", caughtAtTheCafe()},
      {"closed-at-the-title", closedAtTheTitle()},
  };
}

// ---- Playing ------------------------------------------------------------------

namespace {

struct Walked {
  long moves = 0;     // taken by the scene
  bool whole = false; // all of them, to the way's end
};

Walked walkAlong(Headless& h, std::string_view scene, std::span<const PointF> way) {
  constexpr double kPixel = forms::kTwipsPerPixel;
  Walked w;
  if (way.empty() || !h.moveTo(scene, way.front())) {
    return w;
  }
  ++w.moves;
  for (std::size_t i = 1; i < way.size(); ++i) {
    const PointF a = way[i - 1];
    const PointF b = way[i];
    const int steps = static_cast<int>(std::ceil(std::hypot(b.x - a.x, b.y - a.y) / kPixel));
    for (int s = 1; s <= steps; ++s) {
      const double t = static_cast<double>(s) / steps;
      if (!h.moveTo(scene, {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t})) {
        return w;
      }
      ++w.moves;
    }
  }
  w.whole = true;
  return w;
}

} // namespace

bool walk(Headless& h, std::string_view scene, std::span<const PointF> way) {
  return walkAlong(h, scene, way).whole;
}

namespace {

// What a step that can be refused does, by its op.
constexpr std::array<std::string_view, 7> kDoing = {
    "", "the press on ", "the pointer over ", "the walk through ", "the typing into ", "", "the close of ",
};

std::string refused(std::size_t index, const Step& s) {
  std::string out = "step " + std::to_string(index + 1) + ", ";
  out += kDoing[static_cast<std::size_t>(s.op)];
  out += s.scene;
  if (!s.control.empty()) {
    out += ".";
    out += s.control;
  }
  return out + ", was not taken";
}

} // namespace

std::string play(Headless& h, const Route& route) {
  if (route.whole()) {
    if (route.start().empty()) {
      h.start();
    } else {
      h.runtime().show(route.start());
    }
  }
  const std::vector<Step>& steps = route.steps();
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    bool taken = true;
    switch (s.op) {
    case Op::Wait:
      h.advance(s.ms);
      break;
    case Op::Press:
      for (int n = 0; n < s.times && taken; ++n) {
        taken = h.click(s.scene, s.control);
      }
      break;
    case Op::Move:
      taken = h.moveTo(s.scene, s.at);
      break;
    case Op::Walk:
      // The walk ends early where the scene is left on the way, as at the maze's goal.
      taken = walkAlong(h, s.scene, s.way).moves > 0;
      break;
    case Op::Type:
      taken = h.type(s.scene, s.text);
      break;
    case Op::Draw:
      h.random().push(s.draw);
      break;
    case Op::Close:
      taken = h.close(s.scene);
      break;
    }
    if (!taken) {
      return refused(i, s);
    }
  }
  return {};
}

} // namespace routes
