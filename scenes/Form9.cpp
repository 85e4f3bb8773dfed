// The letter of apology: whatever is written, "ok" ends the game.
#include "scenes/scenes.h"

namespace scenes {
namespace {

using namespace forms;

const SceneDef& definition() {
  static const SceneDef def{
      .name = "Form9",
      .caption = "Form9",
      .left = 3510,
      .top = 3525,
      .width = 8610,
      .height = 600,
      .controls =
          {
              button("Command1", 120, 360, 375, 255, "ok").tab(2),
              textBox("Text1", 600, 120, 7695, 375, "").tab(0),
              label("Label1", 0, 120, 615, 255, "反省文").tab(1),
          },
  };
  return def;
}

class Form9 final : public Scene {
public:
  explicit Form9(Runtime& rt) : Scene(rt, definition()) {
    on("Command1", Event::Click, &Form9::Command1_Click);
  }

private:
  // The letter is never read: an empty one ends the game the same way.
  void Command1_Click() { End(); }
};

} // namespace

SceneEntry form9() { return entryOf<Form9>(definition()); }

} // namespace scenes
