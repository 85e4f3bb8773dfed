// A fuzz input played as a player on the headless front end: the bytes are
// decoded into pointer moves, clicks, keys, typing, window closes, waits, the
// game's draws and how its message boxes are answered. After every event the
// runtime's rules are checked; a broken rule is reported with the events that
// led to it.
//
// Every byte string is an input. The first byte picks the start: 0 (mod 17) is
// the program's own start, n shows Formn directly. Then, until the bytes run out,
// events, each an opcode byte (mod 11) and its operands:
//
//   0 move   S X X Y Y   pointer to a point of the scene (16-bit X and Y, big end first)
//   1 click  S X X Y Y   click at a point
//   2 press  S C         click the middle of control C (mod the scene's controls)
//   3 key    S K         Tab, Space, Enter or Escape (K mod 4)
//   4 type   S T...      type text T into the focused box
//   5 over   S T...      select what the focused box holds and type T over it
//   6 close  S           close the scene's window
//   7 wait   A           let time pass (A: 0-99 ms, then steps of 10 ms to 1090, then of 100 ms to 6500)
//   8 draw   R R         queue a number for the game's next draw
//   9 boxes  M           how boxes are answered: after M & 0x7F (0-99 ms, then steps of 250 ms),
//                        with every kind of input tried while open when M & 0x80
//  10 repeat N E...      the next event, 2 + N % 47 times
//
// S: below 128 one of the loaded scenes in load order, else Form((S - 128) % 16 + 1).
// X, Y: over the client area and a quarter of it beyond each edge.
// T: below 0xA0 an entry of a table of awkward texts; 0xA0-0xDF a length byte and
// that many raw bytes; 0xE0-0xFF a table entry repeated to 256 << (T & 7) bytes.
// R: below 0xFFF8 R / 65536, else one of the draws at the edges (0, 0.2 and its
// neighbours, the largest below 1).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "headless/headless.h"

namespace fuzz {

enum class Op : std::uint8_t { Move, Click, Press, Key, Type, Over, Close, Wait, Draw, Boxes, Repeat };
inline constexpr int kOps = 11;

// What one input did, for the seed corpus's own checks and the drivers' figures.
struct Outcome {
  bool ended = false;
  std::vector<std::string> log; // the headless front end's log
  long events = 0;              // events played, repeats counted
  long handlers = 0;            // handlers the runtime ran
};

// Called with a description of the broken rule; the default prints it and aborts,
// which is what a fuzzer needs. It must not return into the game.
using Failure = std::function<void(const std::string& what)>;
[[noreturn]] void abortWith(const std::string& what);

// Plays one input on the given scenes and checks every rule on the way.
Outcome play(const std::uint8_t* data, std::size_t size, std::vector<forms::SceneEntry> catalog,
             const Failure& fail = abortWith);
// The same, on the game's own scenes.
Outcome play(const std::uint8_t* data, std::size_t size);

// The awkward texts that T picks from.
const std::vector<std::string>& awkwardTexts();

// Writes inputs event by event, naming scenes and controls: the seed playthroughs.
class Script {
public:
  explicit Script(int start = 0); // 0: the program's own start; n: Formn shown directly

  Script& move(std::string_view scene, forms::PointF twips);
  Script& click(std::string_view scene, forms::PointF twips);
  Script& press(std::string_view scene, std::string_view control);
  Script& key(std::string_view scene, forms::Key k);
  Script& type(std::string_view scene, std::string_view text);
  Script& typeOver(std::string_view scene, std::string_view text);
  Script& typeAwkward(std::string_view scene, int entry); // an entry of awkwardTexts()
  Script& close(std::string_view scene);
  Script& wait(int ms); // split into as many waits as it takes
  Script& draw(float r);
  Script& boxes(int answerAfterMs, bool tryInput);
  Script& times(int n); // the next event, n times (2 to 48)

  [[nodiscard]] const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
  void scene(std::string_view name);
  void point(std::string_view scene, forms::PointF twips);
  void text(std::string_view t);
  std::vector<std::uint8_t> bytes_;
};

} // namespace fuzz
