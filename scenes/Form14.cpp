// Caught at the café: someone is calling the police. "OK" goes on to the police car.
#include "scenes/scenes.h"

namespace scenes {
namespace {

using namespace forms;

const SceneDef& definition() {
  static const SceneDef def{
      .name = "Form14",
      .caption = "Form14",
      .left = 5370,
      .top = 2790,
      .width = 6225,
      .height = 4245,
      .controls =
          {
              button("Command1", 240, 3600, 5415, 495, "OK").tab(3),
              pictureBox("Picture1", 120, 360, 6015, 3135).pic("Form14.Picture1").tab(2),
              // Never read or written; it lies below the client area as well.
              textBox("Text1", 1560, 4560, 1215, 495, "Text1").hidden().tab(0),
              label("Label1", 1560, 120, 3015, 255, "やばい！ばれた！誰か通報してるぞ！").tab(1),
          },
  };
  return def;
}

class Form14 final : public Scene {
public:
  explicit Form14(Runtime& rt) : Scene(rt, definition()) {
    on("Command1", Event::Click, &Form14::Command1_Click);
  }

private:
  void Command1_Click() {
    Show("Form6");
    Unload("Form14");
  }
};

} // namespace

SceneEntry form14() { return entryOf<Form14>(definition()); }

} // namespace scenes
