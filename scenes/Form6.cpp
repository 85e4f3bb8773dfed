// The police car: where every failed game ends up. "▼" goes on to the station.
#include "scenes/scenes.h"

namespace scenes {
namespace {

using namespace forms;

const SceneDef& definition() {
  static const SceneDef def{
      .name = "Form6",
      .caption = "Form6",
      .left = 4620,
      .top = 2415,
      .width = 3750,
      .height = 3210,
      .controls =
          {
              button("Command1", 3120, 2760, 375, 375, "▼").tab(2),
              pictureBox("Picture1", 120, 120, 3495, 2055).pic("Form6.Picture1").tab(0),
              label("Label1", 240, 2400, 3255, 495,
                    "やベー！ボトロン作戦がばれてしもうた！あ！警察だ！やべー！あ！大槻のくるまだー！")
                  .tab(1),
          },
  };
  return def;
}

class Form6 final : public Scene {
public:
  explicit Form6(Runtime& rt) : Scene(rt, definition()) {
    on("Command1", Event::Click, &Form6::Command1_Click);
  }

private:
  void Command1_Click() {
    Show("Form8");
    Unload("Form6");
  }
};

} // namespace

SceneEntry form6() { return entryOf<Form6>(definition()); }

} // namespace scenes
