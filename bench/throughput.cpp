// Whole stories per second on the headless front end: the shortest way from the
// title to the closing song, played again and again for a stretch of real time.
// Prints "name value".
//
//   bench_throughput SECONDS ROUNDS
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "headless/headless.h"
#include "scenes/scenes.h"

namespace {

using Clock = std::chrono::steady_clock;
using forms::Headless;
using forms::PointF;

void need(bool ok, const char* step) {
  if (!ok) {
    std::fprintf(stderr, "bench: the story went wrong at %s\n", step);
    std::exit(1);
  }
}

// The pointer goes through the maze one pixel at a time, as the X server reports it.
int walkTheMaze(Headless& h) {
  const std::vector<PointF> way = {
      {1027.5, 1087.5}, {1687.5, 1087.5}, {1687.5, 3127.5}, {5347.5, 3127.5}, {5347.5, 6500},
  };
  int moves = 0;
  for (std::size_t i = 1; i < way.size() && h.scene("Form3") != nullptr; ++i) {
    const PointF a = way[i - 1];
    const PointF b = way[i];
    const int steps = static_cast<int>(std::ceil(std::hypot(b.x - a.x, b.y - a.y) / 15.0));
    for (int s = 1; s <= steps && h.scene("Form3") != nullptr; ++s) {
      const double t = static_cast<double>(s) / steps;
      h.moveTo("Form3", {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
      ++moves;
    }
  }
  return moves;
}

// One story; returns the events it delivered.
std::uint64_t playOnce() {
  Headless h(scenes::catalog());
  // The ten draws of the cans, apart from each other; then the 1 on the left button.
  for (float d : {0.0F, 0.0F, 0.6F, 0.0F, 0.0F, 0.3F, 0.3F, 0.3F, 0.6F, 0.3F, 0.1F}) {
    h.random().push(d);
  }
  h.start();
  h.advance(3000);
  need(h.click("Form2", "Command1"), "the shop");
  need(h.click("Form3", "Command1"), "the maze's start");
  walkTheMaze(h);
  need(h.isShown("Form5"), "the maze's goal");
  need(h.click("Form5", "Picture4"), "the bottle");
  need(h.click("Form7", "Command2"), "the crusher's start");
  for (int i = 0; i < 31; ++i) {
    h.click("Form7", "Command1");
  }
  h.advance(5000);
  need(h.click("Form10", "Command1"), "the stopwatch's start");
  h.advance(10000);
  need(h.text("Form10", "Text1") == "10", "the stopwatch");
  need(h.click("Form10", "Command2"), "the stopwatch's stop");
  need(h.click("Form11", "Command1"), "the thrower");
  need(h.click("Form11", "Command5"), "the thrower's OK");
  need(h.click("Form12", "Command1"), "the throw's start");
  h.advance(1);
  need(h.click("Form12", "Command2"), "the throw");
  need(h.click("Form13", "Command1"), "the success");
  need(h.click("Form16", "Command1"), "the song");
  need(h.hasEnded(), "the end");
  return h.runtime().eventsDelivered();
}

} // namespace

int main(int argc, char* argv[]) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 0;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 1;
  if (seconds <= 0 || rounds < 1) {
    std::fprintf(stderr, "usage: %s SECONDS ROUNDS\n", argv[0]);
    return 2;
  }
  std::printf("events_per_story %llu\n", static_cast<unsigned long long>(playOnce()));
  for (int r = 0; r < rounds; ++r) {
    std::uint64_t stories = 0;
    std::uint64_t events = 0;
    const auto start = Clock::now();
    const auto stop =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < stop) {
      events += playOnce();
      ++stories;
    }
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("stories_per_s %.1f\n", static_cast<double>(stories) / took);
    std::printf("events_per_s %.0f\n", static_cast<double>(events) / took);
    std::fflush(stdout);
  }
  return 0;
}
