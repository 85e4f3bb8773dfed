// Thrower choice.
#include "scenes/scenes.h"

namespace scenes {

forms::SceneEntry form11() {
  using namespace forms;
  static const SceneDef def{
      .name = "Form11",
      .caption = "Form11",
      .left = 4995,
      .top = 2040,
      .width = 2280,
      .height = 5610,
  };
  return plainEntry(def);
}

} // namespace scenes
