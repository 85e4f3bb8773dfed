// The water level: a stopwatch in tenths that has to be stopped at exactly 10.
// Three starts; the bottle shows too little, too much or just right.
#include "model/numtext.h"
#include "scenes/scenes.h"

namespace scenes {
namespace {

using namespace forms;

const SceneDef& definition() {
  static const SceneDef def{
      .name = "Form10",
      .caption = "",
      .left = 4440,
      .top = 2235,
      .width = 5940,
      .height = 4875,
      .controls =
          {
              pictureBox("Picture4", 1920, 600, 1935, 2895).tab(8),
              pictureBox("Picture3", 7440, 120, 1815, 3135).pic("Form10.Picture3").tab(7),
              pictureBox("Picture2", 7920, 1920, 1335, 2895).pic("Form10.Picture2").tab(6),
              pictureBox("Picture1", 6000, 720, 1455, 2295).pic("Form10.Picture1").tab(5),
              textBox("Text2", 1200, 4920, 375, 270, "0").tab(4),
              button("Command2", 2040, 4440, 1335, 375, "ストップ").tab(3),
              button("Command1", 2040, 3960, 1335, 375, "スタート").tab(2),
              textBox("Text1", 2160, 3600, 1095, 270, "0").tab(1),
              timer("Timer1", 0, 0, 0),
              label("Label1", 120, 120, 5895, 375,
                    "つぎは、水の量です。ちょうど10秒にあわせてください。チャンスは3回です。")
                  .tab(0),
          },
  };
  return def;
}

class Form10 final : public Scene {
public:
  explicit Form10(Runtime& rt) : Scene(rt, definition()) {
    on("Command1", Event::Click, &Form10::Command1_Click);
    on("Timer1", Event::Timer, &Form10::Timer1_Timer);
    on("Command2", Event::Click, &Form10::Command2_Click);
  }

private:
  // A chance is used when the watch starts, not when it stops.
  void Command1_Click() {
    ctl("Text1").setText("0");
    ctl("Timer1").setInterval(100);
    ctl("Text2").setText(numberToText(ctl("Text2").number() + 1));
    ctl("Command1").setVisible(false);
    ctl("Command2").setVisible(true);
  }

  // The display is the watch's only memory: each tick goes on from what it
  // reads, so the tenths stay exact and "10" is really reached.
  void Timer1_Timer() { ctl("Text1").setText(numberToText(ctl("Text1").number() + 0.1)); }

  // Stopping does not stop the watch; the next start sets it back to "0".
  void Command2_Click() {
    const double water = ctl("Text1").number();
    if (water < 10) {
      ctl("Picture4").setPicture(ctl("Picture2"));
      MsgBox("少ないです");
    }
    if (water > 10) {
      ctl("Picture4").setPicture(ctl("Picture3"));
      MsgBox("多いです");
    }
    if (water == 10) {
      ctl("Picture4").setPicture(ctl("Picture1"));
      MsgBox("ちょうどいいぞ！ok");
      Unload("Form10");
      Show("Form11");
      return;
    }
    if (ctl("Text2").number() == 3) {
      Show("Form6");
      Unload("Form10");
      return;
    }
    ctl("Command1").setVisible(true);
    ctl("Command2").setVisible(false);
  }
};

} // namespace

SceneEntry form10() { return entryOf<Form10>(definition()); }

} // namespace scenes
