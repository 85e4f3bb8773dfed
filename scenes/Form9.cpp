// Letter of apology; ends the program.
#include "scenes/scenes.h"

namespace scenes {

forms::SceneEntry form9() {
  using namespace forms;
  static const SceneDef def{
      .name = "Form9",
      .caption = "Form9",
      .left = 3510,
      .top = 3525,
      .width = 8610,
      .height = 600,
  };
  return plainEntry(def);
}

} // namespace scenes
