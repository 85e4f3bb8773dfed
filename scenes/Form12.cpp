// The bomb throw: "スタート" puts 1 and 5 on two buttons at random, and the
// player has half a second to press the 1. The answer lives in Text1 as the
// number of the button that carries the 1.
#include "scenes/scenes.h"

namespace scenes {
namespace {

using namespace forms;

const SceneDef& definition() {
  static const SceneDef def{
      .name = "Form12",
      .caption = "",
      .left = 5925,
      .top = 2790,
      .width = 6090,
      .height = 1650,
      .controls =
          {
              // Below the window's bottom edge, out of sight.
              textBox("Text1", 1200, 4080, 1695, 495, "0").tab(4),
              timer("Timer2", 0, 240, 1200),
              button("Command3", 3000, 960, 375, 375, "").tab(3),
              button("Command2", 2280, 960, 375, 375, "").tab(2),
              button("Command1", 2040, 480, 1575, 375, "スタート").tab(1),
              timer("Timer1", 0, 240, 840),
              label("Label1", 120, 120, 8655, 255,
                    "つぎは、爆弾をなげるぞ！小さいほうの数のボタンを、0.5秒で押しなさい！！")
                  .tab(0),
          },
  };
  return def;
}

class Form12 final : public Scene {
public:
  explicit Form12(Runtime& rt) : Scene(rt, definition()) {
    on("Command1", Event::Click, &Form12::Command1_Click);
    on("Timer1", Event::Timer, &Form12::Timer1_Timer);
    on("Command2", Event::Click, &Form12::Command2_Click);
    on("Command3", Event::Click, &Form12::Command3_Click);
    on("Timer2", Event::Timer, &Form12::Timer2_Timer);
  }

private:
  void Command1_Click() { ctl("Timer1").setInterval(1); }

  // One draw per press of "スタート"; the half second counts from here.
  void Timer1_Timer() {
    const float x = Rnd() * 10.0F;
    if (x < 2) {
      ctl("Command2").setCaption("1");
      ctl("Command3").setCaption("5");
      ctl("Text1").setText("2");
    }
    if (x > 2) {
      ctl("Command2").setCaption("5");
      ctl("Command3").setCaption("1");
      ctl("Text1").setText("3");
    }
    ctl("Timer1").setInterval(0);
    ctl("Timer2").setInterval(500);
  }

  void Command2_Click() {
    const double answer = ctl("Text1").number();
    if (answer == 2) {
      Unload("Form12");
      Show("Form13");
    }
    if (answer == 3) {
      Unload("Form12");
      Show("Form14");
    }
  }

  void Command3_Click() {
    const double answer = ctl("Text1").number();
    if (answer == 3) {
      Unload("Form12");
      Show("Form13");
    }
    if (answer == 2) {
      Unload("Form12");
      Show("Form14");
    }
  }

  // Too slow: the police are waiting at the café.
  void Timer2_Timer() {
    Unload("Form12");
    Show("Form14");
  }
};

} // namespace

SceneEntry form12() { return entryOf<Form12>(definition()); }

} // namespace scenes
