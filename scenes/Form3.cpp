// The wire maze: "開始" shows ten coloured walls and the goal; the pointer must
// reach the goal without passing over a wall. Being found rebuilds the maze; the
// attempts are counted in Form4, which outlives every rebuild.
#include "model/numtext.h"
#include "scenes/scenes.h"

namespace scenes {
namespace {

using namespace forms;

const SceneDef& definition() {
  static const SceneDef def{
      .name = "Form3",
      .caption = "",
      .left = 4260,
      .top = 2040,
      .width = 5955,
      .height = 6705,
      .controls =
          {
              pictureBox("Picture10", 5400, 2640, 375, 3735).back(0x000000C0).hidden().tab(11),
              pictureBox("Picture8", 4920, 3240, 375, 3135).back(0x00800000).hidden().tab(9),
              pictureBox("Picture7", 1800, 2640, 3615, 375).back(0x000000FF).hidden().tab(8),
              // A small box at the top edge of Picture7; it shows whenever Picture7 does.
              pictureBox("Picture9", 3480, 0, 15, 135).in("Picture7").tab(10),
              pictureBox("Picture6", 1200, 3240, 3975, 375).back(0x00C00000).hidden().tab(7),
              pictureBox("Picture5", 1200, 1920, 375, 1335).back(0x00FF0000).hidden().tab(6),
              pictureBox("Picture4", 0, 1920, 1575, 375).back(0x00FF8080).hidden().tab(5),
              pictureBox("Picture3", 1800, 360, 375, 2655).back(0x008080FF).hidden().tab(4),
              pictureBox("Picture2", 0, 360, 1815, 375).back(0x00C0C0FF).hidden().tab(3),
              pictureBox("Picture1", 0, 720, 375, 1215).back(0x00FFC0C0).hidden().tab(2),
              button("Command1", 480, 840, 1095, 495, "開始").tab(1),
              // Beneath the walls: where Picture8 and Picture10 reach into it, the wall wins.
              label("Label2", 4920, 6360, 855, 375, "ゴール").back(0x0080FF80).hidden().tab(12),
              label("Label1", 240, 120, 5535, 255,
                    "線をよけて進んでください。ばれてもいいのは、3回までです。")
                  .tab(0),
          },
  };
  return def;
}

// Every wall, in the order "開始" uncovers them.
constexpr std::string_view kWalls[] = {"Picture1", "Picture2", "Picture3", "Picture4", "Picture5",
                                       "Picture6", "Picture7", "Picture8", "Picture9", "Picture10"};

class Form3 final : public Scene {
public:
  explicit Form3(Runtime& rt) : Scene(rt, definition()) {
    on("Command1", Event::Click, &Form3::Command1_Click);
    // The ten walls all react alike.
    for (std::string_view wall : kWalls) {
      on(wall, Event::MouseMove, &Form3::Wall_MouseMove);
    }
    on("Label2", Event::MouseMove, &Form3::Label2_MouseMove);
  }

private:
  void Command1_Click() {
    ctl("Command1").setVisible(false);
    for (std::string_view wall : kWalls) {
      ctl(wall).setVisible(true);
    }
    ctl("Label2").setVisible(true);
    ControlRef tries = ctlOf("Form4", "Text1");
    const double count = tries.number() + 1;
    tries.setText(numberToText(count));
    if (count == 4) {
      // Found three times already: no fourth attempt. Form4 stays, its counter at "4".
      Unload("Form3");
      Show("Form6");
    }
  }

  void Wall_MouseMove() {
    MsgBox("見つかりました");
    Unload("Form3");
    Show("Form3"); // a fresh maze, walls hidden again
  }

  void Label2_MouseMove() {
    Unload("Form3");
    Unload("Form4");
    MsgBox("ゲン：よくやった！つぎは、ペットボトルを探しにいくぞ！");
    MsgBox("みんな：おうーーーーーーーーー");
    Show("Form5");
  }
};

} // namespace

SceneEntry form3() { return entryOf<Form3>(definition()); }

} // namespace scenes
