#include "fuzz/route_input.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace fuzz {

Script& follow(Script& s, const routes::Route& route) {
  using Step = routes::Step;
  for (const Step& step : route.steps()) {
    switch (step.op) {
    case Step::Op::Wait:
      s.wait(static_cast<int>(std::lround(step.ms)));
      break;
    case Step::Op::Press:
      for (int left = step.times; left > 0;) {
        const int n = std::min(left, 48); // the most one repeat holds
        if (n > 1) {
          s.times(n);
        }
        s.press(step.scene, step.control);
        left -= n;
      }
      break;
    case Step::Op::Move:
      s.move(step.scene, step.at);
      break;
    case Step::Op::Walk:
      for (const forms::PointF& corner : step.way) {
        s.move(step.scene, corner);
      }
      break;
    case Step::Op::Type:
      s.type(step.scene, step.text);
      break;
    case Step::Op::Draw:
      s.draw(step.draw);
      break;
    case Step::Op::Close:
      s.close(step.scene);
      break;
    }
  }
  return s;
}

Script scriptOf(const routes::Route& route) {
  const std::string_view start = route.start();
  Script s(start.empty() ? 0 : std::stoi(std::string(start.substr(4))));
  return follow(s, route);
}

} // namespace fuzz
