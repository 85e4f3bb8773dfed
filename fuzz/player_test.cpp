// The fuzzer's checks catch a game that breaks the rules: scenes made for the
// purpose leave the game running with nothing on screen.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/player.h"

using namespace forms;

namespace {

// Form1's button unloads Form1 and, in the second catalog, first loads Form2 unseen.
class Leaver final : public Scene {
public:
  Leaver(Runtime& rt, const SceneDef& def, bool touchForm2) : Scene(rt, def), touchForm2_(touchForm2) {
    on("Command1", Event::Click, &Leaver::Command1_Click);
  }

private:
  void Command1_Click() {
    if (touchForm2_) {
      ctlOf("Form2", "Text1").setText("1");
    }
    UnloadMe();
  }
  bool touchForm2_;
};

const SceneDef& form1Def() {
  static const SceneDef def{.name = "Form1",
                            .width = 3000,
                            .height = 3000,
                            .controls = {button("Command1", 0, 0, 1000, 500, "go")}};
  return def;
}

const SceneDef& form2Def() {
  static const SceneDef def{
      .name = "Form2", .width = 3000, .height = 3000, .controls = {textBox("Text1", 0, 0, 1000, 300, "0")}};
  return def;
}

std::vector<SceneEntry> leaving(bool touchForm2) {
  return {
      {&form1Def(),
       [touchForm2](Runtime& rt) { return std::make_unique<Leaver>(rt, form1Def(), touchForm2); }},
      {&form2Def(), [](Runtime& rt) { return std::make_unique<Scene>(rt, form2Def()); }},
  };
}

std::string brokenRule(const std::vector<std::uint8_t>& input, std::vector<SceneEntry> catalog) {
  const fuzz::Failure fail = [](const std::string& what) { throw std::runtime_error(what); };
  try {
    fuzz::play(input.data(), input.size(), std::move(catalog), fail);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return {};
}

} // namespace

TEST(FuzzPlayer, ReportsAGameLeftRunningWithNothingOnScreen) {
  // Start, then press Form1's first control.
  const std::vector<std::uint8_t> input = {0, static_cast<std::uint8_t>(fuzz::Op::Press), 128, 0};
  for (bool touchForm2 : {false, true}) {
    SCOPED_TRACE(touchForm2);
    const std::string what = brokenRule(input, leaving(touchForm2));
    EXPECT_NE(what.find("no window on screen"), std::string::npos) << what;
    EXPECT_NE(what.find("press Form1.Command1"), std::string::npos) << what;
  }
}

TEST(FuzzPlayer, PlaysAnyBytesOfTheRealGameWithoutBreakingARule) {
  // Every opcode with operands cut short at the end of the input, and a repeat of a repeat.
  for (std::uint8_t op = 0; op < fuzz::kOps; ++op) {
    for (const std::vector<std::uint8_t>& input :
         {std::vector<std::uint8_t>{0, op}, std::vector<std::uint8_t>{2, op, 0x81, 0xFF, 0xFF, 0xFF, 0xFF},
          std::vector<std::uint8_t>{2, 10, 40, 10, 46, op, 128, 0}}) {
      const auto out = fuzz::play(input.data(), input.size());
      EXPECT_TRUE(out.log.back() == "end");
    }
  }
}
