// The title: the game's name, a warning and the credits in a drawn frame. It
// beeps every 100 ms and after 3 s hands over to the shop.
#include "scenes/scenes.h"

namespace scenes {
namespace {

using namespace forms;

const SceneDef& definition() {
  static const SceneDef def{
      .name = "Form1",
      .caption = "Form1",
      .left = 4440,
      .top = 2235,
      .width = 4680,
      .height = 3195,
      .backColor = kSysTitleText,
      .icon = "Form1",
      .controls =
          {
              timer("Timer2", 100, 480, 0),
              timer("Timer1", 3000, 0, 0),
              label("Label3", 360, 2160, 3855, 255, "").back(kSysHighlightText).tab(2),
              label("Label2", 2160, 2520, 2175, 375, "プログラム作成：森野　光　　　　　　　　絵：川辺大地")
                  .back(kSysHighlightText)
                  .fore(0x00FF0000)
                  .withFont({.face = "ＭＳ Ｐゴシック", .points = 9, .weight = 700})
                  .tab(1),
              label("Label1", 360, 360, 3855, 1575, "ボトロンゲーム　　2001")
                  .back(kSysTitleText)
                  .fore(0x000000FF)
                  .withFont({.face = "HG創英角ﾎﾟｯﾌﾟ体", .points = 36, .weight = 700})
                  .tab(0),
              line("Line4", 4440, 120, 120, 120),
              line("Line3", 120, 3000, 120, 120),
              line("Line2", 4440, 3000, 4440, 120),
              line("Line1", 120, 3000, 4440, 3000),
          },
  };
  return def;
}

class Form1 final : public Scene {
public:
  explicit Form1(Runtime& rt) : Scene(rt, definition()) {
    on("Timer2", Event::Timer, &Form1::Timer2_Timer);
    on("Timer1", Event::Timer, &Form1::Timer1_Timer);
  }

private:
  void Timer2_Timer() { Beep(); }

  void Timer1_Timer() {
    Show("Form2");
    Unload("Form1");
  }
};

} // namespace

SceneEntry form1() { return entryOf<Form1>(definition()); }

} // namespace scenes
