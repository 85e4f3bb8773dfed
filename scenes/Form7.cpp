// Dry-ice crushing: "start" uncovers the press button, and five seconds later
// the presses are counted. Every press swings the hammer over the ice.
#include "model/numtext.h"
#include "scenes/scenes.h"

namespace scenes {
namespace {

using namespace forms;

const SceneDef& definition() {
  static const SceneDef def{
      .name = "Form7",
      .caption = "Form7",
      .left = 4995,
      .top = 2970,
      .width = 5265,
      .height = 4710,
      .backColor = kSysTitleText,
      .controls =
          {
              pictureBox("Picture3", 960, 480, 3375, 3375).back(kSysTitleText).tab(7),
              textBox("Text2", 600, 4920, 255, 270, "0").hidden().tab(6),
              button("Command2", 1440, 3960, 2535, 660, "スタート").tab(5),
              textBox("Text1", 600, 4680, 255, 270, "2").hidden().tab(4),
              button("Command1", 1440, 3960, 2535, 615, "押せ！").tab(3),
              timer("Timer1", 0, 0, 0),
              pictureBox("Picture2", 5520, 2520, 3375, 3375).pic("Form7.Picture2").tab(2),
              pictureBox("Picture1", 5280, 2160, 3375, 3375).pic("Form7.Picture1").tab(1),
              label("Label1", 360, 120, 4695, 255,
                    "ドライアイスくだきです。5秒内にボタンを、20回おしてください。")
                  .back(kSysTitleText)
                  .tab(0),
          },
  };
  return def;
}

class Form7 final : public Scene {
public:
  explicit Form7(Runtime& rt) : Scene(rt, definition()) {
    on("Command2", Event::Click, &Form7::Command2_Click);
    on("Command1", Event::Click, &Form7::Command1_Click);
    on("Timer1", Event::Timer, &Form7::Timer1_Timer);
  }

private:
  // The start button lies over the press button; once gone it stays gone.
  void Command2_Click() {
    ctl("Timer1").setInterval(5000);
    ctl("Command2").setVisible(false);
  }

  // Text1 is the hammer's phase: "2" raises it next, "1" brings it down.
  void Command1_Click() {
    const double phase = ctl("Text1").number();
    if (phase == 1) {
      ctl("Text1").setText("2");
      countPress();
      ctl("Picture3").setPicture(ctl("Picture2"));
    }
    if (phase == 2) {
      ctl("Text1").setText("1");
      countPress();
      ctl("Picture3").setPicture(ctl("Picture1"));
    }
  }

  void countPress() { ctl("Text2").setText(numberToText(ctl("Text2").number() + 1)); }

  // Exactly 30 decides nothing: the next tick counts again.
  void Timer1_Timer() {
    const double presses = ctl("Text2").number();
    if (presses > 30) {
      MsgBox("よくやった！！！");
      Unload("Form7");
      Show("Form10");
    }
    if (presses < 30) {
      MsgBox("やばい！作戦がばれた");
      Show("Form6");
      Unload("Form7");
    }
  }
};

} // namespace

SceneEntry form7() { return entryOf<Form7>(definition()); }

} // namespace scenes
