// The police station demands a letter of apology. Accepting leads to the letter;
// refusing starts a scolding that comes back every time its box is closed.
#include "scenes/scenes.h"

namespace scenes {
namespace {

using namespace forms;

const SceneDef& definition() {
  static const SceneDef def{
      .name = "Form8",
      .caption = "Form8",
      .left = 4995,
      .top = 2790,
      .width = 5175,
      .height = 5100,
      .controls =
          {
              button("Command2", 3840, 4680, 615, 375, "やだ").tab(3),
              button("Command1", 4560, 4680, 615, 375, "わかりました").tab(2),
              pictureBox("Picture1", 0, 0, 5175, 4575).pic("Form8.Picture1").tab(0),
              timer("Timer1", 0, 0, 0).in("Picture1"),
              label("Label1", 120, 4680, 4935, 375, "反省文を書きなさい！！！！！！！！！！！！！").tab(1),
          },
  };
  return def;
}

class Form8 final : public Scene {
public:
  explicit Form8(Runtime& rt) : Scene(rt, definition()) {
    on("Command2", Event::Click, &Form8::Command2_Click);
    on("Command1", Event::Click, &Form8::Command1_Click);
    on("Timer1", Event::Timer, &Form8::Timer1_Timer);
  }

private:
  void Command1_Click() {
    Unload("Form8"); // the scolding timer goes with it
    Show("Form9");
  }

  void Command2_Click() {
    MsgBox("なに？こうしてやる！");
    ctl("Timer1").setInterval(1);
  }

  // Never stops the timer: the scolding ends only with the scene.
  void Timer1_Timer() { MsgBox("なにをやっとんだー！"); }
};

} // namespace

SceneEntry form8() { return entryOf<Form8>(definition()); }

} // namespace scenes
