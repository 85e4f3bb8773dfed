// Police car; where every failure branch arrives.
#include "scenes/scenes.h"

namespace scenes {

forms::SceneEntry form6() {
  using namespace forms;
  static const SceneDef def{
      .name = "Form6",
      .caption = "Form6",
      .left = 4620,
      .top = 2415,
      .width = 3750,
      .height = 3210,
  };
  return plainEntry(def);
}

} // namespace scenes
