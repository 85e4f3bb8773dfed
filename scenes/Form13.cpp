// Success: the bomb went off. "OK" goes on to the closing song.
#include "scenes/scenes.h"

namespace scenes {
namespace {

using namespace forms;

const SceneDef& definition() {
  static const SceneDef def{
      .name = "Form13",
      .caption = "Form13",
      .left = 5730,
      .top = 2415,
      .width = 4680,
      .height = 2025,
      .controls =
          {
              button("Command1", 480, 1320, 3495, 375, "OK").tab(2),
              // Left over below the window; nothing uses it.
              textBox("Text1", 1440, 3120, 375, 495, "Text1").hidden().tab(0),
              label("Label1", 240, 120, 4095, 975, "成功だ！爆発した！任務終了！！！")
                  .fore(0x000000FF)
                  .withFont({.face = "HG創英角ﾎﾟｯﾌﾟ体", .points = 21.75, .weight = 700})
                  .tab(1),
          },
  };
  return def;
}

class Form13 final : public Scene {
public:
  explicit Form13(Runtime& rt) : Scene(rt, definition()) {
    on("Command1", Event::Click, &Form13::Command1_Click);
  }

private:
  void Command1_Click() {
    Unload("Form13");
    Show("Form16");
  }
};

} // namespace

SceneEntry form13() { return entryOf<Form13>(definition()); }

} // namespace scenes
