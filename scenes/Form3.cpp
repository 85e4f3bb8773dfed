// Wire maze.
#include "scenes/scenes.h"

namespace scenes {

forms::SceneEntry form3() {
  using namespace forms;
  static const SceneDef def{
      .name = "Form3",
      .caption = "",
      .left = 4260,
      .top = 2040,
      .width = 5955,
      .height = 6705,
  };
  return plainEntry(def);
}

} // namespace scenes
