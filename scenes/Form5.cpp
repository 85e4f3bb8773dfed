// The trash-can search: five cans scattered at random, one with the bottle in
// it. Three wrong cans and the police come; the right one leads to the dry ice.
#include "model/numtext.h"
#include "scenes/scenes.h"

namespace scenes {
namespace {

using namespace forms;

const SceneDef& definition() {
  static const SceneDef def{
      .name = "Form5",
      .caption = "Form5",
      .left = 4320,
      .top = 2385,
      .width = 10440,
      .height = 6930,
      .state = WindowState::Maximized,
      .controls =
          {
              textBox("Text1", 6480, 1920, 1335, 270, "0").tab(6),
              pictureBox("Picture5", 4800, 3120, 2445, 2655).pic("Form5.Picture5").tab(5),
              pictureBox("Picture4", 2400, 3120, 2415, 2655).pic("Form5.Picture4").tab(4),
              pictureBox("Picture3", 0, 3120, 2415, 2655).pic("Form5.Picture3").tab(3),
              pictureBox("Picture2", 2400, 480, 2415, 2655).pic("Form5.Picture2").tab(2),
              pictureBox("Picture1", 0, 480, 2415, 2655).pic("Form5.Picture1").tab(1),
              label("Label1", 120, 120, 6255, 255,
                    "このごみ箱の中に1つだけペットボトルがはいっています。3回であててください。")
                  .tab(0),
          },
  };
  return def;
}

class Form5 final : public Scene {
public:
  explicit Form5(Runtime& rt) : Scene(rt, definition()) {
    onLoad(&Form5::Form_Load);
    on("Picture1", Event::Click, &Form5::Picture1_Click);
    on("Picture2", Event::Click, &Form5::Picture2_Click);
    on("Picture3", Event::Click, &Form5::Picture3_Click);
    on("Picture4", Event::Click, &Form5::Picture4_Click);
    on("Picture5", Event::Click, &Form5::Picture5_Click);
  }

private:
  // Each can gets its own two draws, left first; the spread widens from can to
  // can and nothing keeps a can inside the window or off the others.
  void Form_Load() {
    scatter("Picture1", 1000.0F);
    scatter("Picture2", 5000.0F);
    scatter("Picture3", 10000.0F);
    scatter("Picture4", 10200.0F);
    scatter("Picture5", 10400.0F);
  }

  void scatter(std::string_view can, float spread) {
    const float left = Rnd() * spread;
    const float top = Rnd() * spread;
    ctl(can).setLeft(left);
    ctl(can).setTop(top);
  }

  void Picture1_Click() { wrongCan(); }
  void Picture2_Click() { wrongCan(); }
  void Picture3_Click() { wrongCan(); }
  void Picture5_Click() { wrongCan(); }

  // The count is whatever the box holds, typed in or not: only a sum of
  // exactly 3 calls the police.
  void wrongCan() {
    const double tries = ctl("Text1").number() + 1;
    ctl("Text1").setText(numberToText(tries));
    MsgBox("ない！");
    if (tries == 3) {
      Unload("Form5");
      Show("Form6");
    }
  }

  void Picture4_Click() {
    Unload("Form5");
    MsgBox("ん？なんかペットボトルらしきものが・・・・・");
    Show("Form7");
    MsgBox("ア！ペットボトルだ！！");
    MsgBox("ゲン：よくやった！");
  }
};

} // namespace

SceneEntry form5() { return entryOf<Form5>(definition()); }

} // namespace scenes
