// Long runs: a thousand games in one process end with the memory of ten, and an
// hour of play in each scene with a timer neither grows memory nor loses time.
// Memory is the live heap of this process, counted by its own operator new.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "headless/headless.h"
#include "routes/routes.h"
#include "scenes/scenes.h"

namespace {

long long live = 0; // bytes handed out by operator new and not yet deleted
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* allocate(std::size_t n) {
  void* p = std::malloc(n + kHeader);
  if (p == nullptr) {
    throw std::bad_alloc();
  }
  *static_cast<std::size_t*>(p) = n;
  live += static_cast<long long>(n);
  return static_cast<char*>(p) + kHeader;
}

void release(void* p) noexcept {
  if (p == nullptr) {
    return;
  }
  void* base = static_cast<char*>(p) - kHeader;
  live -= static_cast<long long>(*static_cast<std::size_t*>(base));
  std::free(base);
}

} // namespace

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t /*n*/) noexcept { release(p); }
void operator delete[](void* p, std::size_t /*n*/) noexcept { release(p); }
// The library's temporary buffers (stable_sort's) come from the nothrow forms.
void* operator new(std::size_t n, const std::nothrow_t& /*tag*/) noexcept {
  try {
    return allocate(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t& tag) noexcept { return operator new(n, tag); }
void operator delete(void* p, const std::nothrow_t& /*tag*/) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t& /*tag*/) noexcept { release(p); }

using namespace forms;

namespace {

// Less than a byte a game, or a byte a virtual second: a leak of anything at all
// per game or per tick shows, while one-off growth (a buffer reaching its size) does not.
constexpr long long kSlackBytes = 900;

bool played(Headless& h, const routes::Route& route) {
  return routes::play(h, route).empty() && h.hasEnded();
}

// The whole story to the closing song; found three times in the maze, a refusal at
// the station and the letter, every box read for a moment; the title closed.
bool playGame(int i) {
  Headless h(scenes::catalog());
  switch (i % 3) {
  case 0:
    return played(h, routes::win());
  case 1:
    h.onBox = [&](const std::string&) { h.advance(3); };
    return played(h, routes::caughtInTheMaze(routes::AtTheStation::RefuseFirst));
  default:
    return played(h, routes::closedAtTheTitle());
  }
}

int playGames(int n) {
  int failed = 0;
  for (int i = 0; i < n; ++i) {
    failed += playGame(i) ? 0 : 1;
  }
  return failed;
}

// Counts the ticks each timer gets.
class TickCount final : public Observer {
public:
  void handlerStarting(Scene& s, int control, Event e) override {
    if (e == Event::Timer && s.name() == scene &&
        s.controls()[static_cast<std::size_t>(control)].name() == timer) {
      ++ticks;
    }
  }
  void handlerReturned(Scene& /*s*/, int /*control*/, Event /*e*/) override {}
  std::string_view scene;
  std::string_view timer;
  long ticks = 0;
};

constexpr double kMinute = 60 * 1000.0;

// Lets an hour pass from now, a minute at a time, forgetting the log each minute,
// and returns how far the live heap grew from the end of the first minute.
long long growthOverAnHour(Headless& h) {
  const double start = h.nowMs();
  long long afterWarmUp = 0;
  for (int minute = 1; minute <= 60; ++minute) {
    h.advance(start + minute * kMinute - h.nowMs()); // on the hour, however long the last box stood open
    h.clearLog();
    h.clearBoxes();
    if (minute == 1) {
      afterWarmUp = live;
    }
  }
  return live - afterWarmUp;
}

} // namespace

TEST(LongRun, AThousandGamesEndWithTheMemoryOfTen) {
  ASSERT_EQ(playGames(10), 0);
  const long long afterTen = live;
  ASSERT_EQ(playGames(990), 0);
  EXPECT_LE(live - afterTen, kSlackBytes)
      << "live heap after 10 games " << afterTen << " bytes, after 1000 " << live;
}

TEST(LongRun, TheTitleHandsOverOnceInAnHour) {
  Headless h(scenes::catalog());
  h.start();
  EXPECT_LE(growthOverAnHour(h), kSlackBytes);
  EXPECT_EQ(h.beeps(), 30);
  EXPECT_EQ(h.shownScenes(), std::vector<std::string>{"Form2"});
  EXPECT_EQ(h.runtime().nextDue(), std::nullopt);
}

TEST(LongRun, AnHourOfScoldingAnsweredBoxByBox) {
  Headless h(scenes::catalog());
  h.runtime().show("Form8");
  TickCount count;
  count.scene = "Form8";
  count.timer = "Timer1";
  h.runtime().observe(&count);
  long boxes = 0;
  int open = 0;
  int maxOpen = 0;
  h.onBox = [&](const std::string&) {
    ++boxes;
    maxOpen = std::max(maxOpen, ++open);
    h.advance(250); // the player reads each box for a quarter of a second
    --open;
  };
  h.click("Form8", "Command2");
  EXPECT_LE(growthOverAnHour(h), kSlackBytes);
  h.runtime().observe(nullptr);
  // The first scolding falls due 1 ms after the refusal's box is closed, each next one
  // as the last is closed: one every 250 ms through the hour that follows.
  EXPECT_EQ(count.ticks, 14400);
  EXPECT_EQ(boxes, 1 + count.ticks);
  EXPECT_EQ(maxOpen, 1);
  EXPECT_TRUE(h.click("Form8", "Command1")); // between two boxes the player still gets through
  EXPECT_TRUE(h.isShown("Form9"));
}

TEST(LongRun, TheStopwatchLeftCountingForAnHourReadsExactlyItsTenths) {
  Headless h(scenes::catalog());
  h.runtime().show("Form10");
  TickCount count;
  count.scene = "Form10";
  count.timer = "Timer1";
  h.runtime().observe(&count);
  h.click("Form10", "Command1");
  EXPECT_LE(growthOverAnHour(h), kSlackBytes);
  h.runtime().observe(nullptr);
  EXPECT_EQ(count.ticks, 36000);
  EXPECT_EQ(h.text("Form10", "Text1"), "3600");
}

TEST(LongRun, ExactlyThirtyPressesAreWeighedEveryFiveSecondsForAnHour) {
  Headless h(scenes::catalog());
  h.runtime().show("Form7");
  TickCount count;
  count.scene = "Form7";
  count.timer = "Timer1";
  h.runtime().observe(&count);
  h.click("Form7", "Command2");
  for (int i = 0; i < 30; ++i) {
    h.click("Form7", "Command1");
  }
  EXPECT_LE(growthOverAnHour(h), kSlackBytes);
  h.runtime().observe(nullptr);
  EXPECT_EQ(count.ticks, 720);
  EXPECT_TRUE(h.boxes().empty());
  EXPECT_TRUE(h.isShown("Form7"));
  EXPECT_EQ(h.text("Form7", "Text2"), "30");
}
