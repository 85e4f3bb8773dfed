// Success.
#include "scenes/scenes.h"

namespace scenes {

forms::SceneEntry form13() {
  using namespace forms;
  static const SceneDef def{
      .name = "Form13",
      .caption = "Form13",
      .left = 5730,
      .top = 2415,
      .width = 4680,
      .height = 2025,
  };
  return plainEntry(def);
}

} // namespace scenes
