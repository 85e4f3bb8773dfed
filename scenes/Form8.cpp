// Police station.
#include "scenes/scenes.h"

namespace scenes {

forms::SceneEntry form8() {
  using namespace forms;
  static const SceneDef def{
      .name = "Form8",
      .caption = "Form8",
      .left = 4995,
      .top = 2790,
      .width = 5175,
      .height = 5100,
  };
  return plainEntry(def);
}

} // namespace scenes
