// Closing song; ends the program.
#include "scenes/scenes.h"

namespace scenes {

forms::SceneEntry form16() {
  using namespace forms;
  static const SceneDef def{
      .name = "Form16",
      .caption = "Form16",
      .left = 4935,
      .top = 2190,
      .width = 4680,
      .height = 3195,
  };
  return plainEntry(def);
}

} // namespace scenes
