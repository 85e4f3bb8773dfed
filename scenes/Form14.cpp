// Caught at the café.
#include "scenes/scenes.h"

namespace scenes {

forms::SceneEntry form14() {
  using namespace forms;
  static const SceneDef def{
      .name = "Form14",
      .caption = "Form14",
      .left = 5370,
      .top = 2790,
      .width = 6225,
      .height = 4245,
  };
  return plainEntry(def);
}

} // namespace scenes
