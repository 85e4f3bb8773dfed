// The closing song; its button ends the game.
#include "scenes/scenes.h"

namespace scenes {
namespace {

using namespace forms;

const SceneDef& definition() {
  static const SceneDef def{
      .name = "Form16",
      .caption = "Form16",
      .left = 4935,
      .top = 2190,
      .width = 4680,
      .height = 3195,
      .controls =
          {
              button("Command1", 240, 1200, 4215, 1815, "ごくろうさん！！")
                  .withFont({.face = "ＭＳ Ｐゴシック", .points = 21.75, .weight = 400})
                  .tab(1),
              label("Label1", 240, 120, 3975, 855,
                    "ボトロンぽんたの歌　　作詞：星川　陸　　　　　　　　　これくらいの　ペットボトルに　ドラ"
                    "イアイスと　お水を　ちょっといれて　ふたを閉めれば　はい出来上がり　　ボトロンぽんた　ぽ"
                    "んたくん")
                  .tab(0),
          },
  };
  return def;
}

class Form16 final : public Scene {
public:
  explicit Form16(Runtime& rt) : Scene(rt, definition()) {
    on("Command1", Event::Click, &Form16::Command1_Click);
  }

private:
  void Command1_Click() { End(); }
};

} // namespace

SceneEntry form16() { return entryOf<Form16>(definition()); }

} // namespace scenes
