// The fuzzer's seed corpus: real playthroughs of both endings and of every way
// to get caught, closes at awkward moments, awkward texts typed into every box a
// player can reach, and each scene started on its own and prodded everywhere.
//
//   botoron_fuzz_seeds --write FOLDER   writes them
//   botoron_fuzz_seeds --check FOLDER   plays them and fails unless each reaches
//                                       what it is for and matches its file
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/player.h"
#include "scenes/scenes.h"

namespace {

using forms::Key;
using fuzz::Script;

struct Seed {
  std::string name;
  Script script;
  std::vector<std::string> expected; // log lines, in this order, others between them
  std::optional<bool> endsItself;    // ended before the checker closed what was left
};

// Ten draws that put the five cans apart from each other and from the counter.
Script& spreadCans(Script& s) {
  for (float d : {0.0F, 0.0F, 0.6F, 0.0F, 0.0F, 0.3F, 0.3F, 0.3F, 0.6F, 0.3F}) {
    s.draw(d);
  }
  return s;
}

constexpr forms::PointF kOnAWall{187, 1300};    // Picture1, the first wall
constexpr forms::PointF kOnTheGoal{5347, 6500}; // the goal label, below the last two walls

std::vector<Seed> seeds() {
  std::vector<Seed> out;

  {
    Script s;
    spreadCans(s)
        .wait(3000)
        .press("Form2", "Command1")
        .press("Form3", "Command1")
        .move("Form3", kOnTheGoal)
        .press("Form5", "Picture4")
        .press("Form7", "Command2")
        .times(31)
        .press("Form7", "Command1")
        .wait(5000)
        .press("Form10", "Command1")
        .wait(10000)
        .press("Form10", "Command2")
        .press("Form11", "Command1")
        .press("Form11", "Command5")
        .draw(0.1F)
        .press("Form12", "Command1")
        .wait(1)
        .press("Form12", "Command2")
        .press("Form13", "Command1")
        .press("Form16", "Command1");
    out.push_back(
        {"win",
         s,
         {"show Form2", "show Form3", "show Form5", "show Form7", "box よくやった！！！", "show Form10",
          "box ちょうどいいぞ！ok", "show Form11", "show Form12", "show Form13", "show Form16", "end"},
         true});
  }
  {
    Script s;
    s.wait(3000).press("Form2", "Command1");
    for (int i = 0; i < 3; ++i) {
      s.press("Form3", "Command1").move("Form3", kOnAWall);
    }
    s.press("Form3", "Command1")
        .press("Form6", "Command1")
        .press("Form8", "Command1")
        .type("Form9", "ごめんなさい。もう二度としません。")
        .press("Form9", "Command1");
    out.push_back({"caught-in-the-maze",
                   s,
                   {"box 見つかりました", "box 見つかりました", "box 見つかりました", "show Form6",
                    "show Form8", "show Form9", "end"},
                   true});
  }
  {
    Script s(3);
    spreadCans(s).press("Form3", "Command1").move("Form3", kOnTheGoal);
    s.times(3).press("Form5", "Picture1");
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
    s.press("Form7", "Command2").times(29).press("Form7", "Command1");
    s.wait(5000).close("Form6");
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
    for (int i = 0; i < 3; ++i) {
      s.press("Form10", "Command1").wait(500).press("Form10", "Command2");
    }
    out.push_back({"three-misses-at-the-water",
                   s,
                   {"box 少ないです", "box 少ないです", "box 少ないです", "show Form6"},
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
    s.press("Form11", "Command3")
        .press("Form11", "Command5")
        .press("Form12", "Command1")
        .wait(600)
        .press("Form14", "Command1")
        .press("Form6", "Command1")
        .press("Form8", "Command1")
        .press("Form9", "Command1");
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
    s.wait(3000).press("Form2", "Command1").close("Form4").press("Form3", "Command1").close("Form3");
    out.push_back({"maze-closed-after-its-counter-window",
                   s,
                   {"unload Form4", "load Form4", "unload Form3", "end"},
                   true});
  }
  {
    Script s;
    s.wait(1500).close("Form1").press("Form2", "Command1").wait(5000);
    out.push_back({"title-closed", s, {"unload Form1", "end"}, true});
  }
  {
    Script s;
    s.boxes(250, true)
        .wait(3000)
        .press("Form2", "Command1")
        .press("Form3", "Command1")
        .move("Form3", kOnAWall)
        .press("Form3", "Command1")
        .move("Form3", kOnTheGoal)
        .press("Form5", "Picture4")
        .press("Form7", "Command2")
        .wait(5000);
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
