// Whole stories per second on the headless front end: the shortest way from the
// title to the closing song, played again and again for a stretch of real time.
// Prints "name value".
//
//   bench_throughput SECONDS ROUNDS
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "headless/headless.h"
#include "routes/routes.h"
#include "scenes/scenes.h"

namespace {

using Clock = std::chrono::steady_clock;

// One story; returns the events it delivered.
std::uint64_t playOnce(const routes::Route& story) {
  forms::Headless h(scenes::catalog());
  const std::string refused = routes::play(h, story);
  if (!refused.empty() || !h.hasEnded()) {
    std::fprintf(stderr, "bench: the story went wrong: %s\n",
                 refused.empty() ? "it did not end" : refused.c_str());
    std::exit(1);
  }
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
  // The winning route, the maze walked a pixel at a time as the X server reports it.
  const routes::Route story = routes::win();
  std::printf("events_per_story %llu\n", static_cast<unsigned long long>(playOnce(story)));
  for (int r = 0; r < rounds; ++r) {
    std::uint64_t stories = 0;
    std::uint64_t events = 0;
    const auto start = Clock::now();
    const auto stop =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < stop) {
      events += playOnce(story);
      ++stories;
    }
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("stories_per_s %.1f\n", static_cast<double>(stories) / took);
    std::printf("events_per_s %.0f\n", static_cast<double>(events) / took);
    std::fflush(stdout);
  }
  return 0;
}
