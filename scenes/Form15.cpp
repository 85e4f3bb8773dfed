// An empty scene that nothing shows.
#include "scenes/scenes.h"

namespace scenes {

forms::SceneEntry form15() {
  static const forms::SceneDef def{
      .name = "Form15", .caption = "Form15", .left = 4995, .top = 2535, .width = 4680, .height = 3195};
  return plainEntry(def);
}

} // namespace scenes
