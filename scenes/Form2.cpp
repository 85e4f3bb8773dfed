// The shop entrance: the dry ice waits in the box inside; "進入！！" goes in.
#include "scenes/scenes.h"

namespace scenes {
namespace {

using namespace forms;

const SceneDef& definition() {
  static const SceneDef def{
      .name = "Form2",
      .caption = "Form2",
      .left = 4065,
      .top = 1860,
      .width = 5910,
      .height = 4725,
      .controls =
          {
              button("Command1", 0, 3840, 5895, 855, "進入！！")
                  .withFont({.face = "ＭＳ Ｐゴシック", .points = 21.75, .weight = 700})
                  .tab(2),
              pictureBox("Picture1", 0, 0, 5895, 3255).pic("Form2.Picture1").tab(0),
              label("Label1", 0, 3360, 5895, 375,
                    "ドライアイスを手にいれるのには、ドライアイスボックスから、ドライアイスを持ってこなければ"
                    "いけません。進入します。")
                  .tab(1),
          },
  };
  return def;
}

class Form2 final : public Scene {
public:
  explicit Form2(Runtime& rt) : Scene(rt, definition()) {
    on("Command1", Event::Click, &Form2::Command1_Click);
  }

private:
  void Command1_Click() {
    Show("Form3");
    Show("Form4");
    Unload("Form2");
  }
};

} // namespace

SceneEntry form2() { return entryOf<Form2>(definition()); }

} // namespace scenes
