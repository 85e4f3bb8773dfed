// The ways through the story that the tests, the benchmarks and the fuzzer's seeds
// all play: the winning route, each way to get caught, and the way through the
// maze. A route is data, written once here: play() walks it on the headless front
// end, and the fuzzer turns it into the bytes of an input.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "headless/headless.h"

namespace routes {

using forms::PointF;

// The maze's free way, along the middle of each passage (client twips of Form3):
// from the start chamber, where "開始" stood, through the down corridor, the cross
// corridor and the final channel onto the goal label.
inline constexpr std::array<PointF, 5> kFreeWay = {{
    {1027.5, 1087.5}, // the middle of the start button
    {1687.5, 1087.5}, // across the chamber to the top of the down corridor
    {1687.5, 3127.5}, // down into the cross corridor
    {5347.5, 3127.5}, // along it to the top of the final channel
    {5347.5, 6500},   // down the channel onto the goal
}};
// A point on the maze's first wall, Picture1.
inline constexpr PointF kOnAWall{187, 1300};
// What the player writes to the police.
inline constexpr std::string_view kLetter = "ごめんなさい。もう二度としません。";

struct Step {
  enum class Op : std::uint8_t {
    Wait,  // let ms pass
    Press, // click the middle of what is seen of a control, `times` times
    Move,  // the pointer to `at`
    Walk,  // the pointer along `way`, a pixel at a time
    Type,  // `text` into the focused box
    Draw,  // queue `draw` for the game's next random draw
    Close, // close the scene's window
  };
  Op op = Op::Wait;
  std::string_view scene;
  std::string_view control;
  PointF at;
  std::span<const PointF> way; // the story's own ways, which live as long as the program
  std::string text;
  double ms = 0;
  float draw = 0;
  int times = 1;
};

class Route {
public:
  Route() = default; // a leg, played from wherever the game stands
  // A whole route: from the program's own start (""), or from that scene shown alone.
  explicit Route(std::string_view startScene) : start_(startScene), whole_(true) {}

  Route& wait(double ms);
  Route& press(std::string_view scene, std::string_view control, int times = 1);
  Route& move(std::string_view scene, PointF at);
  Route& walk(std::string_view scene, std::span<const PointF> way);
  Route& type(std::string_view scene, std::string_view text);
  Route& draw(float r);
  Route& close(std::string_view scene);
  Route& then(const Route& leg);

  [[nodiscard]] std::string_view start() const { return start_; }
  [[nodiscard]] bool whole() const { return whole_; }
  [[nodiscard]] const std::vector<Step>& steps() const { return steps_; }

private:
  std::string_view start_;
  bool whole_ = false;
  std::vector<Step> steps_;
};

// ---- Legs ---------------------------------------------------------------------

Route title();              // the title's three seconds, until the shop
Route shop();               // "進入！！"
Route spreadCans();         // ten draws that put the five cans apart, from each other and the counter
Route throughTheMaze();     // "開始", then the free way onto the goal
Route foundInTheMaze();     // "開始", then onto a wall
Route rightCan();           // the bottle's can
Route wrongCans();          // the same wrong can three times
Route dryIce(int presses);  // "スタート", the presses at once, and the five seconds to the count
Route water(int tenths);    // the stopwatch started and stopped after so many tenths
Route missTheWaterThrice(); // short, long and short again
Route thrower();            // ぽんた, then OK
Route bombHit();            // a 1 drawn on the left button, and pressed at once
Route tooSlowToTheCafe();   // "スタート", longer than half a second, and the café's OK
Route song();               // the success's OK and the closing song's button

enum class AtTheStation : std::uint8_t { Agree, RefuseFirst };
// From the police car to the letter, sent: the police car's button, the station
// (refused once and scolded for a moment, or agreed at once), the letter.
Route toTheLetter(AtTheStation station = AtTheStation::Agree);

// ---- Whole routes, from the program's own start --------------------------------

Route win();
Route caughtInTheMaze(AtTheStation station = AtTheStation::Agree); // found three times, a fourth start
Route caughtAtTheCans();
Route caughtAtTheDryIce(); // no press at all
Route caughtAtTheWater();
Route caughtAtTheCafe(); // too slow with the bomb
Route closedAtTheTitle();

struct Named {
  std::string_view name;
  Route route;
};
// Every whole route above, each under a name of its own.
std::vector<Named> all();

// ---- Playing ------------------------------------------------------------------

// Plays a whole route on a headless front end that has not started, or a leg on a
// game under way. Returns "" when the game took every step, else the step it refused.
std::string play(forms::Headless& h, const Route& route);
// Moves the pointer along a way in steps of a pixel, as the X server reports a hand's
// move; false once the scene no longer takes the moves (it was left or rebuilt).
bool walk(forms::Headless& h, std::string_view scene, std::span<const PointF> way);

} // namespace routes
