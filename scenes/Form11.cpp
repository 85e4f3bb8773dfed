// The thrower choice: four name buttons, a portrait for whoever is picked, and
// "OK" on to the throw. Only ぽんた leaves a mark on the throw scene, and even
// that mark plays the same there as no choice at all.
#include "scenes/scenes.h"

namespace scenes {
namespace {

using namespace forms;

const SceneDef& definition() {
  static const SceneDef def{
      .name = "Form11",
      .caption = "Form11",
      .left = 4995,
      .top = 2040,
      .width = 2280,
      .height = 5610,
      .picture = "Form11.Picture",
      .controls =
          {
              button("Command5", 0, 5160, 2175, 375, "OK").tab(10),
              // The portrait stores sit off screen (or hidden) until a name is picked.
              pictureBox("Picture5", 480, 7680, 2175, 1815).pic("Form11.Picture5").hidden().tab(9),
              pictureBox("Picture4", 2520, 7080, 1815, 2895).pic("Form11.Picture4").hidden().tab(8),
              pictureBox("Picture3", 5640, 6840, 1935, 2295).pic("Form11.Picture3").hidden().tab(7),
              pictureBox("Picture2", 2520, 4920, 1815, 2295).pic("Form11.Picture2").hidden().tab(6),
              textBox("Text1", 3120, 7800, 375, 375, "2").hidden().tab(5),
              button("Command4", 0, 960, 2175, 495, "梅太").tab(4),
              button("Command3", 0, 1440, 2175, 495, "東野").tab(3),
              button("Command2", 0, 480, 2175, 495, "大森").tab(2),
              button("Command1", 0, 0, 2175, 495, "ぽんた").tab(1),
              pictureBox("Picture1", 0, 1920, 2175, 3135).tab(0),
          },
  };
  return def;
}

class Form11 final : public Scene {
public:
  explicit Form11(Runtime& rt) : Scene(rt, definition()) {
    onLoad(&Form11::Form_Load);
    on("Command1", Event::Click, &Form11::Command1_Click);
    on("Command2", Event::Click, &Form11::Command2_Click);
    on("Command3", Event::Click, &Form11::Command3_Click);
    on("Command4", Event::Click, &Form11::Command4_Click);
    on("Command5", Event::Click, &Form11::Command5_Click);
  }

private:
  void Form_Load() { MsgBox("次は、ペットボトルを投げる人を選んでください。"); }

  void Command1_Click() {
    ctl("Text1").setText("1");
    ctl("Picture1").setPicture(ctl("Picture2"));
  }

  void Command2_Click() {
    ctl("Text1").setText("2");
    ctl("Picture1").setPicture(ctl("Picture3"));
  }

  void Command3_Click() {
    ctl("Text1").setText("3");
    ctl("Picture1").setPicture(ctl("Picture4"));
  }

  void Command4_Click() {
    ctl("Text1").setText("4");
    ctl("Picture1").setPicture(ctl("Picture5"));
  }

  void Command5_Click() {
    if (ctl("Text1").number() == 1) {
      ctlOf("Form12", "Text1").setText("1");
    }
    Unload("Form11");
    Show("Form12");
  }
};

} // namespace

SceneEntry form11() { return entryOf<Form11>(definition()); }

} // namespace scenes
