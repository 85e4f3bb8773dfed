// Bomb throw.
#include "scenes/scenes.h"

namespace scenes {

forms::SceneEntry form12() {
  using namespace forms;
  static const SceneDef def{
      .name = "Form12",
      .caption = "",
      .left = 5925,
      .top = 2790,
      .width = 6090,
      .height = 1650,
  };
  return plainEntry(def);
}

} // namespace scenes
