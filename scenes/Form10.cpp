// Water level.
#include "scenes/scenes.h"

namespace scenes {

forms::SceneEntry form10() {
  using namespace forms;
  static const SceneDef def{
      .name = "Form10",
      .caption = "",
      .left = 4440,
      .top = 2235,
      .width = 5940,
      .height = 4875,
  };
  return plainEntry(def);
}

} // namespace scenes
