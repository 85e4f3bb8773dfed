// The fuzzer's seed corpus: the story's routes (both endings and every way to get
// caught, as the tests play them), closes at awkward moments, awkward texts typed
// into every box a player can reach, and each scene started on its own and prodded
// everywhere.
//
//   botoron_fuzz_seeds --write FOLDER   writes them
//   botoron_fuzz_seeds --check FOLDER   plays them and fails unless each reaches
//                                       what it is for and matches its file
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/route_input.h"
#include "routes/routes.h"
#include "scenes/scenes.h"

namespace {

using forms::Key;
using fuzz::follow;
using fuzz::Script;

struct Seed {
  std::string name;
  Script script;
  std::vector<std::string> expected; // log lines, in this order, others between them
  std::optional<bool> endsItself;    // ended before the checker closed what was left
  bool exact = false;                // no other lines: the log is the expected one
};

// The story's routes: each plays as input exactly as it plays on the headless front end.
void addRoutes(std::vector<Seed>& out) {
  for (const routes::Named& r : routes::all()) {
    forms::Headless h(scenes::catalog());
    const std::string refused = routes::play(h, r.route);
    if (!refused.empty()) {
      std::fprintf(stderr, "%.*s: %s on the headless front end\n", static_cast<int>(r.name.size()),
                   r.name.data(), refused.c_str());
      std::exit(1);
    }
    out.push_back({std::string(r.name), fuzz::scriptOf(r.route), h.log(), h.hasEnded(), true});
  }
}

std::vector<Seed> seeds() {
  std::vector<Seed> out;
  addRoutes(out);

  {
    Script s(3);
    follow(s, routes::spreadCans().then(routes::throughTheMaze()).then(routes::wrongCans()));
    s.press("Form6", "Command1")
        .boxes(300, false)
        .press("Form8", "Command2")
        .wait(2000)
        .boxes(0, true)
        .wait(20)
        .press("Form8", "Command1")
        .type("Form9", "sorry\x01\xFF")
        .press("Form9", "Command1");
    out.push_back({"caught-at-the-cans-and-scolded",
                   s,
                   {"show Form5", "box ない！", "box ない！", "box ない！", "show Form6", "show Form8",
                    "box なに？こうしてやる！", "box なにをやっとんだー！", "box なにをやっとんだー！",
                    "show Form9", "end"},
                   true});
  }
  {
    Script s(7);
    follow(s, routes::dryIce(29)).close("Form6");
    out.push_back(
        {"too-few-presses", s, {"box やばい！作戦がばれた", "show Form6", "unload Form6", "end"}, true});
  }
  {
    Script s(7);
    s.press("Form7", "Command2").times(30).press("Form7", "Command1");
    s.wait(15000).press("Form7", "Command1").wait(5000);
    out.push_back({"exactly-thirty-presses", s, {"box よくやった！！！", "show Form10"}, false});
  }
  {
    Script s(10);
    follow(s, routes::missTheWaterThrice());
    out.push_back({"three-misses-at-the-water",
                   s,
                   {"box 少ないです", "box 多いです", "box 少ないです", "show Form6"},
                   false});
  }
  {
    Script s(10);
    s.key("Form10", Key::Tab).key("Form10", Key::Tab).key("Form10", Key::Tab);
    s.typeOver("Form10", "２").press("Form10", "Command1").wait(900);
    s.key("Form10", Key::Tab).key("Form10", Key::Tab).key("Form10", Key::Tab);
    s.typeOver("Form10", "9.9.9").wait(100).press("Form10", "Command2");
    out.push_back({"typed-into-the-water-counters", s, {"box 少ないです", "show Form6"}, false});
  }
  {
    Script s(11);
    follow(s, routes::thrower().then(routes::tooSlowToTheCafe()).then(routes::toTheLetter()));
    out.push_back({"too-slow-at-the-throw",
                   s,
                   {"box 次は、ペットボトルを投げる人を選んでください。", "show Form12", "show Form14",
                    "show Form6", "show Form8", "show Form9", "end"},
                   true});
  }
  {
    Script s(12);
    s.key("Form12", Key::Tab).key("Form12", Key::Tab).key("Form12", Key::Tab);
    s.typeOver("Form12", "3abc").press("Form12", "Command3").press("Form13", "Command1").close("Form16");
    out.push_back(
        {"typed-the-throws-answer", s, {"show Form13", "show Form16", "unload Form16", "end"}, true});
  }
  {
    Script s;
    follow(s, routes::title().then(routes::shop())).close("Form4").press("Form3", "Command1").close("Form3");
    out.push_back({"maze-closed-after-its-counter-window",
                   s,
                   {"unload Form4", "load Form4", "unload Form3", "end"},
                   true});
  }
  {
    Script s = fuzz::scriptOf(routes::closedAtTheTitle());
    s.press("Form2", "Command1").wait(5000);
    out.push_back({"title-closed", s, {"unload Form1", "end"}, true});
  }
  {
    Script s;
    follow(s.boxes(250, true), routes::title()
                                   .then(routes::shop())
                                   .then(routes::foundInTheMaze())
                                   .then(routes::throughTheMaze())
                                   .then(routes::rightCan())
                                   .then(routes::dryIce(0)));
    out.push_back({"input-tried-while-boxes-are-open",
                   s,
                   {"box 見つかりました", "show Form5", "box やばい！作戦がばれた"},
                   false});
  }
  {
    Script s(9);
    for (int i = 0; i < static_cast<int>(fuzz::awkwardTexts().size()); ++i) {
      s.typeAwkward("Form9", i);
    }
    s.press("Form9", "Command1");
    out.push_back({"awkward-letter", s, {"unload Form9", "end"}, true});
  }
  {
    Script s(8);
    s.boxes(1000, false)
        .press("Form8", "Command2")
        .wait(60000)
        .boxes(0, true)
        .wait(50)
        .press("Form8", "Command1");
    out.push_back({"a-minute-of-scolding", s, {"box なにをやっとんだー！", "show Form9"}, false});
  }
  // Each scene on its own: every control pressed, tabbed on from and typed into.
  const auto catalog = scenes::catalog();
  for (const auto& entry : catalog) {
    const std::string scene(entry.def->name);
    Script s(std::stoi(scene.substr(4)));
    int text = 0;
    for (const auto& c : entry.def->controls) {
      s.press(scene, c.name).key(scene, Key::Tab).typeAwkward(scene, text++ * 7).wait(700);
    }
    out.push_back({"alone-" + scene, s, {}, std::nullopt});
  }
  return out;
}

std::vector<std::uint8_t> readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Plays the seed and says what it missed, or "" when it did what it is for.
std::string missed(const Seed& seed) {
  const auto& b = seed.script.bytes();
  const auto out = fuzz::play(b.data(), b.size());
  if (seed.exact && out.log != seed.expected) {
    const auto diverged =
        std::mismatch(out.log.begin(), out.log.end(), seed.expected.begin(), seed.expected.end());
    return "played otherwise than on the headless front end, from line " +
           std::to_string(diverged.first - out.log.begin() + 1);
  }
  std::size_t next = 0;
  for (const auto& line : out.log) {
    if (next < seed.expected.size() && line == seed.expected[next]) {
      ++next;
    }
  }
  if (next < seed.expected.size()) {
    return "never got to \"" + seed.expected[next] + "\"";
  }
  if (seed.endsItself && out.ended != *seed.endsItself) {
    return *seed.endsItself ? "did not end" : "ended before its last event";
  }
  return {};
}

} // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 3 ? argv[1] : "";
  if (mode != "--write" && mode != "--check") {
    std::fputs("usage: botoron_fuzz_seeds --write|--check FOLDER\n", stderr);
    return 2;
  }
  const std::filesystem::path dir = argv[2];
  int failures = 0;
  const auto all = seeds();
  for (const Seed& seed : all) {
    const std::filesystem::path file = dir / seed.name;
    const auto& bytes = seed.script.bytes();
    if (mode == "--write") {
      std::ofstream(file, std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    } else if (readFile(file) != bytes) {
      std::fprintf(stderr, "%s: differs from what the seeds make now (write them again)\n", file.c_str());
      ++failures;
    }
    if (const std::string why = missed(seed); !why.empty()) {
      std::fprintf(stderr, "%s: %s\n", seed.name.c_str(), why.c_str());
      ++failures;
    }
  }
  std::printf("%zu seeds, %d failed\n", all.size(), failures);
  return failures == 0 ? 0 : 1;
}
