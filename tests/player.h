// What a scripted player does in more than one test: the way through the maze.
#pragma once

#include <cmath>
#include <string_view>
#include <vector>

#include "headless/headless.h"

namespace player {

// The way from the start chamber, where "開始" stood, through the down corridor,
// the cross corridor and the final channel onto the goal label, along the middle
// of each passage (client twips of the maze).
inline const std::vector<forms::PointF> kFreeWay = {
    {1027.5, 1087.5}, // the middle of the start button
    {1687.5, 1087.5}, // across the chamber to the top of the down corridor
    {1687.5, 3127.5}, // down into the cross corridor
    {5347.5, 3127.5}, // along it to the top of the final channel
    {5347.5, 6500},   // down the channel onto the goal
};

// Moves the pointer along a polyline in steps of half a pixel, as a hand does;
// false once the scene no longer takes the moves (it was left or rebuilt).
inline bool walk(forms::Headless& h, std::string_view scene, const std::vector<forms::PointF>& way) {
  for (std::size_t i = 1; i < way.size(); ++i) {
    const forms::PointF a = way[i - 1];
    const forms::PointF b = way[i];
    const int steps = static_cast<int>(std::ceil(std::hypot(b.x - a.x, b.y - a.y) / 7.5));
    for (int s = 0; s <= steps; ++s) {
      const double t = static_cast<double>(s) / steps;
      if (!h.moveTo(scene, {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t})) {
        return false;
      }
    }
  }
  return true;
}

} // namespace player
